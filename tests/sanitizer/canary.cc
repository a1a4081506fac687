// One deliberate fault per mode, for a sanitizer build to catch. The tests
// around it pass only if the run fails with the sanitizer's report: proof that
// leak detection is on and that no report is merely printed and recovered
// from.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

int Leak() {
  void* volatile block = std::malloc(64);
  std::memset(block, 1, 64);
  block = nullptr;
  return 0;
}

int HeapOverflow() {
  char* volatile block = static_cast<char*>(std::malloc(8));
  volatile int past_the_end = 8;
  block[past_the_end] = 1;
  std::free(block);
  return 0;
}

int SignedOverflow() {
  volatile int largest = INT_MAX;
  const int sum = largest + 1;
  std::printf("%d\n", sum);
  return 0;
}

int DataRace() {
  static int shared = 0;
  std::thread first([] { shared++; });
  std::thread second([] { shared++; });
  first.join();
  second.join();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "leak") return Leak();
  if (mode == "heap-overflow") return HeapOverflow();
  if (mode == "signed-overflow") return SignedOverflow();
  if (mode == "data-race") return DataRace();
  std::fprintf(stderr, "usage: %s leak|heap-overflow|signed-overflow|data-race\n", argv[0]);
  return 2;
}
