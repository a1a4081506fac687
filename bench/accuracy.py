"""Scores the shipped default resources on the SIGHAN 2005 PKU test set.

Segments pku_test.utf8 with vivividodor.Jieba(*default_paths()) (the
dictionary path with the HMM for unknown stretches) and, in the same run, with
a plain forward maximum-matching segmenter over the same dictionary as the
baseline. Prints word precision, recall and F1 against pku_test_gold.utf8,
recall of gold words in and out of pku_training_words.utf8, the ratio of the
two F1 scores and the machine it ran on. Exits with 1 when the DAG+HMM cut
does not beat the baseline's F1.

    python3 bench/accuracy.py [--corpus-dir DIR] [--resources DIR]
"""

import argparse
import os
import platform
import sys
import time
from typing import Callable, Iterable, List, NamedTuple, Sequence, Set, Tuple

import vivividodor
from vivividodor_kit import default_paths, resource_paths
from vivividodor_kit.formats import read_dictionary_words

DEFAULT_CORPUS_DIR = os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..", "shared", "corpus", "sighan2005-pku"
)


def read_lines(path: str) -> List[str]:
    with open(path, encoding="utf-8", newline="") as handle:
        return [line.rstrip("\r\n") for line in handle]


def spans(words: Iterable[str]) -> Set[Tuple[int, int]]:
    result = set()
    start = 0
    for word in words:
        result.add((start, start + len(word)))
        start += len(word)
    return result


class Score(NamedTuple):
    precision: float
    recall: float
    f1: float
    recall_iv: float
    recall_oov: float
    mismatched_lines: int
    seconds: float


def score(
    segment: Callable[[str], List[str]], texts: Sequence[str], gold: Sequence[List[str]], known: Set[str]
) -> Score:
    predicted_total = gold_total = correct = 0
    iv_total = iv_hit = oov_total = oov_hit = 0
    mismatched = 0
    started = time.perf_counter()
    predictions = [[w for w in segment(t) if w.strip()] for t in texts]
    seconds = time.perf_counter() - started
    for words, reference in zip(predictions, gold):
        if "".join(words) != "".join(reference):
            mismatched += 1
        predicted = spans(words)
        predicted_total += len(words)
        gold_total += len(reference)
        start = 0
        for word in reference:
            span = (start, start + len(word))
            start += len(word)
            hit = span in predicted
            correct += hit
            if word in known:
                iv_total += 1
                iv_hit += hit
            else:
                oov_total += 1
                oov_hit += hit
    precision = correct / predicted_total if predicted_total else 0.0
    recall = correct / gold_total if gold_total else 0.0
    f1 = 2 * precision * recall / (precision + recall) if precision + recall else 0.0
    return Score(
        precision, recall, f1,
        iv_hit / iv_total if iv_total else 0.0,
        oov_hit / oov_total if oov_total else 0.0,
        mismatched, seconds,
    )


def forward_maximum_matching(words: Set[str]) -> Callable[[str], List[str]]:
    """The longest dictionary word at each position, else one character."""
    longest = max(len(w) for w in words)

    def segment(text: str) -> List[str]:
        result = []
        i = 0
        while i < len(text):
            for length in range(min(longest, len(text) - i), 0, -1):
                if length == 1 or text[i : i + length] in words:
                    result.append(text[i : i + length])
                    i += length
                    break
        return result

    return segment


def machine() -> str:
    cpu = platform.processor() or platform.machine()
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as info:
            for line in info:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return f"{platform.platform()}, {cpu}, {os.cpu_count()} cores, Python {platform.python_version()}"


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--corpus-dir", default=DEFAULT_CORPUS_DIR, help="directory of the PKU files")
    parser.add_argument("--resources", help="a resource directory to score instead of the shipped one")
    args = parser.parse_args(argv)
    corpus = os.path.abspath(args.corpus_dir)
    texts = read_lines(os.path.join(corpus, "pku_test.utf8"))
    gold = [line.split() for line in read_lines(os.path.join(corpus, "pku_test_gold.utf8"))]
    known = {w.strip() for w in read_lines(os.path.join(corpus, "pku_training_words.utf8")) if w.strip()}
    if len(texts) != len(gold):
        print(f"accuracy: {len(texts)} test lines but {len(gold)} gold lines", file=sys.stderr)
        return 2

    paths = resource_paths(args.resources) if args.resources else default_paths()
    jieba = vivividodor.Jieba(*paths)
    dictionary = {w for w, _, _ in read_dictionary_words(paths.dict_path)}

    results = [
        ("DAG+HMM (Jieba.cut)", score(jieba.cut, texts, gold, known)),
        ("forward max. matching", score(forward_maximum_matching(dictionary), texts, gold, known)),
    ]
    gold_words = sum(map(len, gold))
    oov = sum(1 for line in gold for w in line if w not in known)
    print(f"machine: {machine()}")
    print(f"resources: {os.path.dirname(paths.dict_path)} ({len(dictionary)} dictionary words)")
    print(f"test set: {len(texts)} lines, {gold_words} gold words, {oov / gold_words:.1%} out of the training words")
    print()
    print(f"{'segmenter':24} {'P':>7} {'R':>7} {'F1':>7} {'R(iv)':>7} {'R(oov)':>7} {'seconds':>8}")
    for name, s in results:
        print(
            f"{name:24} {s.precision:7.4f} {s.recall:7.4f} {s.f1:7.4f} {s.recall_iv:7.4f} {s.recall_oov:7.4f} {s.seconds:8.2f}"
        )
        if s.mismatched_lines:
            print(f"  warning: {s.mismatched_lines} lines whose words do not spell the gold text")
    ours, baseline = results[0][1], results[1][1]
    print()
    print(f"F1 ratio DAG+HMM / baseline: {ours.f1 / baseline.f1:.4f} ({ours.f1 - baseline.f1:+.4f})")
    if ours.f1 <= baseline.f1:
        print("FAIL: the DAG+HMM cut does not beat forward maximum matching", file=sys.stderr)
        return 1
    print("the DAG+HMM cut beats forward maximum matching")
    return 0


if __name__ == "__main__":
    sys.exit(main())
