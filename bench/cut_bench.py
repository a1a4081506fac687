"""Segmentation throughput of vivividodor.Jieba through the Python API.

Cuts the lines of the PKU test text (repeated to a few MB) with `cut` and
`cut_for_search`, on one thread and on two threads sharing one instance, and
prints MB/s of UTF-8 input (median of several rounds), the dictionary load
time and the peak memory of the process.
"""

import argparse
import os
import platform
import resource
import statistics
import threading
import time

import vivividodor

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_TEXT = os.path.join(HERE, "..", "..", "shared", "corpus", "sighan2005-pku", "pku_test.utf8")


def default_resources():
    try:
        from vivividodor_kit import default_paths
    except ImportError:
        return None
    return list(default_paths())


def read_lines(path, megabytes, lines_per_call):
    with open(path, encoding="utf-8") as text:
        lines = [line.strip() for line in text if line.strip()]
    size = sum(len(line.encode("utf-8")) for line in lines)
    repeats = max(1, int(megabytes * 1e6 / size + 0.5))
    lines = lines * repeats
    return ["".join(lines[i:i + lines_per_call]) for i in range(0, len(lines), lines_per_call)]


def cut_all(cut, lines):
    for line in lines:
        cut(line)


def seconds_on_threads(cut, lines, threads):
    """Wall time for `threads` threads each cutting an equal share of lines."""
    shares = [lines[i::threads] for i in range(threads)]
    workers = [threading.Thread(target=cut_all, args=(cut, share)) for share in shares]
    start = time.perf_counter()
    for worker in workers:
        worker.start()
    for worker in workers:
        worker.join()
    return time.perf_counter() - start


def peak_rss_mb():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--text", default=DEFAULT_TEXT)
    parser.add_argument("--megabytes", type=float, default=4.0)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--lines-per-call", type=int, default=1,
                        help="join this many lines into one sentence per call; every call "
                             "hands the interpreter lock over, which short calls feel on two threads")
    parser.add_argument("--resources", nargs=5, metavar="PATH",
                        help="dict, hmm, user dict, idf, stop words (default: shipped)")
    args = parser.parse_args()

    paths = args.resources or default_resources()
    if paths is None:
        parser.error("no shipped resources: pass --resources")
    lines = read_lines(args.text, args.megabytes, args.lines_per_call)
    megabytes = sum(len(line.encode("utf-8")) for line in lines) / 1e6

    rss_before = peak_rss_mb()
    start = time.perf_counter()
    tokenizer = vivividodor.Jieba(*paths)
    load_seconds = time.perf_counter() - start
    rss_loaded = peak_rss_mb()

    print(f"machine: {platform.machine()} {os.cpu_count()} cores, Python {platform.python_version()}")
    print(f"dictionary: {paths[0]}")
    print(f"load: {load_seconds * 1000:.0f} ms, peak RSS {rss_before:.0f} MB before, "
          f"{rss_loaded:.0f} MB after")
    print(f"text: {len(lines)} calls of {args.lines_per_call} line(s), {megabytes:.1f} MB; "
          f"median of {args.rounds} rounds")

    results = {}
    for name in ("cut", "cut_for_search"):
        cut = getattr(tokenizer, name)
        cut_all(cut, lines[:2000])  # warm up
        for threads in (1, 2):
            times = [seconds_on_threads(cut, lines, threads) for _ in range(args.rounds)]
            results[name, threads] = megabytes / statistics.median(times)

    print(f"{'method':<16} {'1 thread':>10} {'2 threads':>10} {'scaling':>8}")
    for name in ("cut", "cut_for_search"):
        one, two = results[name, 1], results[name, 2]
        print(f"{name:<16} {one:>6.2f} MB/s {two:>6.2f} MB/s {two / one:>7.2f}x")
    print(f"peak RSS at the end: {peak_rss_mb():.0f} MB")


if __name__ == "__main__":
    main()
