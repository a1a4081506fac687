"""Trains and encodes a real corpus with vivividodor.BM25 and with a pure-Python
implementation of the same formulas, side by side, and prints tokens per second
and the ratios.

Documents are the lines of the hand-segmented PKU test set (words separated by
white space). Each figure is the median of several rounds.
"""

import argparse
import math
import os
import platform
import statistics
import time
from collections import Counter

import vivividodor

DEFAULT_CORPUS = os.path.join(
    os.path.dirname(os.path.abspath(__file__)),
    "..", "..", "shared", "corpus", "sighan2005-pku", "pku_test_gold.utf8",
)


class PythonBM25:
    """The same statistics and weights as vivividodor.BM25, in plain Python."""

    def __init__(self, b=0.75, k1=1.2):
        self.b, self.k1 = b, k1
        self.doc_count = 0
        self.doc_length_total = 0
        self.doc_length_average = 0.0
        self.token_frequency = Counter()

    def train(self, tokens):
        if not tokens:
            raise RuntimeError("trainning tokens_vec should not be empty")
        self.token_frequency.update(tokens)
        self.doc_count += 1
        self.doc_length_total += len(tokens)
        self.doc_length_average = self.doc_length_total / self.doc_count

    def _check_initialized(self):
        if self.doc_count == 0 or abs(self.doc_length_average) < 1e-9:
            raise RuntimeError("BM25 has not been initialized")

    def idf(self, token):
        n = self.token_frequency.get(token)
        return math.log((self.doc_count + 1) / ((1.0 if n is None else n) + 0.5))

    def encode_document(self, tokens):
        if not tokens:
            return {}
        self._check_initialized()
        k = ((len(tokens) / self.doc_length_average) * self.b + (1.0 - self.b)) * self.k1
        counts = Counter(tokens)
        return {t: c / (k + c) for t, c in sorted(counts.items())}

    def encode_query(self, tokens):
        if not tokens:
            return {}
        self._check_initialized()
        weights = {t: self.idf(t) for t in sorted(set(tokens))}
        total = sum(weights.values())
        return {t: w / total for t, w in weights.items()}


def read_documents(path):
    with open(path, encoding="utf-8") as corpus:
        documents = [line.split() for line in corpus]
    return [d for d in documents if d]


def seconds(run):
    start = time.perf_counter()
    run()
    return time.perf_counter() - start


def operations(make_model, documents):
    """The three timed steps over the whole corpus, and the trained model."""
    def train():
        model = make_model()
        for document in documents:
            model.train(document)
        return model

    model = train()
    return {
        "train": train,
        "encode_document": lambda: [model.encode_document(d) for d in documents],
        "encode_query": lambda: [model.encode_query(d) for d in documents],
    }, model


def median_times(contenders, rounds):
    """Median seconds per contender and step; rounds alternate between the
    contenders so that machine noise hits both alike."""
    times = {name: {step: [] for step in steps} for name, steps in contenders.items()}
    for _ in range(rounds):
        for name, steps in contenders.items():
            for step, run in steps.items():
                times[name][step].append(seconds(run))
    return {name: {step: statistics.median(t) for step, t in by_step.items()}
            for name, by_step in times.items()}


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--corpus", default=DEFAULT_CORPUS)
    parser.add_argument("--rounds", type=int, default=7)
    args = parser.parse_args()

    documents = read_documents(args.corpus)
    tokens = sum(len(d) for d in documents)
    print(f"machine: {platform.machine()} {platform.processor() or ''} {os.cpu_count()} cores, "
          f"Python {platform.python_version()}")
    print(f"corpus: {len(documents)} documents, {tokens} tokens; median of {args.rounds} rounds")

    native_steps, native_model = operations(vivividodor.BM25, documents)
    python_steps, python_model = operations(PythonBM25, documents)
    medians = median_times({"native": native_steps, "python": python_steps}, args.rounds)
    native, python = medians["native"], medians["python"]

    # Both must agree before their speeds mean anything.
    for document in documents[:50]:
        for name in ("encode_document", "encode_query"):
            a = getattr(native_model, name)(document)
            b = getattr(python_model, name)(document)
            assert list(a) == list(b) and all(math.isclose(a[t], b[t]) for t in a), name

    print(f"{'operation':<16} {'vivividodor':>14} {'pure Python':>14} {'ratio':>7}")
    for name in ("train", "encode_document", "encode_query"):
        ours, theirs = tokens / native[name], tokens / python[name]
        print(f"{name:<16} {ours:>12,.0f}/s {theirs:>12,.0f}/s {ours / theirs:>6.2f}x")


if __name__ == "__main__":
    main()
