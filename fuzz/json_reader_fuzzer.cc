// The JSON reader on arbitrary bytes. Besides never failing other than by its
// two number errors, the writer's text of whatever it read must read back to
// the same value.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "fuzz/fuzz_support.h"
#include "search/bm25/_json.h"

using vorda::typing::text::json::JSON;

namespace {

// "%f" writes a non-finite number as text the reader does not take back.
bool AllFinite(const JSON& value) {
  bool ok = false;
  switch (value.JSONType()) {
    case JSON::Class::Floating:
      return std::isfinite(value.ToFloat(ok));
    case JSON::Class::Object:
      for (const auto& member : value.ObjectRange()) {
        if (!AllFinite(member.second)) return false;
      }
      return true;
    case JSON::Class::Array:
      for (const JSON& element : value.ArrayRange()) {
        if (!AllFinite(element)) return false;
      }
      return true;
    default:
      return true;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vivividodor_fuzz::SilenceEngineLog();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  JSON value;
  try {
    value = JSON::Load(text);
  } catch (const std::invalid_argument& e) {
    FUZZ_CHECK(std::string(e.what()) == "stol" || std::string(e.what()) == "stod");
    return 0;
  } catch (const std::out_of_range& e) {
    FUZZ_CHECK(std::string(e.what()) == "stol" || std::string(e.what()) == "stod");
    return 0;
  }
  if (!AllFinite(value)) return 0;
  // A number as the very last byte of a text is refused, so the written text
  // gets a trailing space, as a file ending in a line feed would.
  const std::string written = value.dump();
  const JSON again = JSON::Load(written + " ");
  FUZZ_CHECK(again.JSONType() == value.JSONType());
  FUZZ_CHECK(again.dump() == written);
  return 0;
}
