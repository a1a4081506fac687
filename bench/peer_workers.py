"""One contender of bench/peers.py, alone in its own Python process.

Each contender runs in a fresh interpreter so that its peak memory counts
only its own library, model and work. The parent talks to
it with one JSON object per line: it sends requests on stdin and reads answers
on the file descriptor that was stdout when the process started. Whatever the
library itself prints goes to stderr, so that chatter (thulac greets on load)
cannot break the protocol.

    python3 bench/peer_workers.py KIND NAME CONFIG_JSON

KIND is `segmenter` or `encoder`. The first answer tells whether the
contender loaded; then the parent asks for timed runs until it sends
{"op": "quit"}.
"""

import contextlib
import functools
import gc
import json
import os
import resource
import sys
import threading
import time
import traceback
import types

HERE = os.path.dirname(os.path.abspath(__file__))


def peak_rss_mb():
    """Peak resident memory of this process, in MB.

    On Linux this is VmHWM: ru_maxrss would also count the parent's pages,
    because a child keeps the high-water mark of the memory it was forked
    with across exec (a worker started by a 300 MB parent reports 300 MB
    before it has done anything). VmHWM belongs to the image that exec
    made, so it starts from this interpreter alone."""
    try:
        with open("/proc/self/status", encoding="ascii") as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1]) / 1024
    except OSError:
        pass
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024


@contextlib.contextmanager
def collector_paused():
    """Timed runs go without the cyclic garbage collector, as timeit does:
    when its passes fall depends on everything allocated before, which adds
    noise that belongs to no contender. Full passes keep it on."""
    gc.collect()
    gc.disable()
    try:
        yield
    finally:
        gc.enable()


def read_lines(path):
    """Lines without their ends (the test text has CRLF), blank ones kept so
    that line numbers match the gold file."""
    with open(path, encoding="utf-8", newline="") as handle:
        return [line.rstrip("\r\n") for line in handle]


def read_documents(path):
    with open(path, encoding="utf-8") as handle:
        return [words for words in (line.split() for line in handle) if words]


def version(distribution):
    try:
        from importlib.metadata import version as installed_version

        return installed_version(distribution)
    except Exception:  # noqa: BLE001 - a missing version is not worth failing for
        return "?"


# ---------------------------------------------------------------- segmenters
#
# Each factory returns (cut, make_cut_for_thread, distribution). `cut` maps one
# line to a list of words. `make_cut_for_thread` is None when one instance can
# be shared by threads; otherwise it builds a separate instance per thread
# (thulac's decoder keeps per-call state in the instance and corrupts it when
# two threads share one).


def our_resources(config):
    if config.get("resources"):
        return list(config["resources"])
    try:
        from vivividodor_kit import default_paths

        return list(default_paths())
    except Exception:  # noqa: BLE001 - the kit may not be installed yet
        base = os.path.join(HERE, "..", "python", "vivividodor_kit", "resources")
        names = ("dictionary.txt", "hmm_model.txt", "user_dictionary.txt", "idf.txt", "stop_words.txt")
        return [os.path.join(base, name) for name in names]


def vivividodor_segmenter(method):
    def factory(config):
        import vivividodor

        tokenizer = vivividodor.Jieba(*our_resources(config))
        return getattr(tokenizer, method), None, "vivividodor"

    return factory


def pkuseg_segmenter(config):
    import pkuseg

    model = pkuseg.pkuseg()  # the default model shipped inside the wheel
    return model.cut, None, "pkuseg"


def spacy_pkuseg_segmenter(config):
    import spacy_pkuseg

    model = spacy_pkuseg.pkuseg()  # its default model
    return model.cut, None, "spacy-pkuseg"


def thulac_segmenter(config):
    import thulac

    def make():
        model = thulac.thulac(seg_only=True)

        def cut(text):
            return [word for word, _tag in model.cut(text, text=False)]

        return cut

    return make(), make, "thulac"


def snownlp_segmenter(config):
    from snownlp import SnowNLP

    def cut(text):
        return SnowNLP(text).words if text else []

    return cut, None, "snownlp"


SEGMENTERS = {
    "vivividodor cut": vivividodor_segmenter("cut"),
    "vivividodor cut_for_search": vivividodor_segmenter("cut_for_search"),
    "pkuseg": pkuseg_segmenter,
    "spacy-pkuseg": spacy_pkuseg_segmenter,
    "thulac": thulac_segmenter,
    "snownlp": snownlp_segmenter,
}


class Segmenter:
    def __init__(self, name, config):
        self.full_text = read_lines(config["text"])
        stride = config["sample_stride"]
        self.sample = [line for line in self.full_text[::stride] if line] * config["repeats"].get(name, 1)
        self.baseline_mb = peak_rss_mb()
        start = time.perf_counter()
        self.cut, self.make_cut, self.distribution = SEGMENTERS[name](config)
        self.cut("预热")  # some libraries finish loading on the first call
        self.load_seconds = time.perf_counter() - start

    def info(self):
        return {
            "load_seconds": self.load_seconds,
            "baseline_mb": self.baseline_mb,
            "version": version(self.distribution),
            "sample_lines": len(self.sample),
            "sample_bytes": sum(len(line.encode("utf-8")) for line in self.sample),
        }

    def op_full_pass(self, request):
        """Cuts the whole test text once: the words for F1 and the peak memory
        of exactly this work."""
        start = time.perf_counter()
        words = [self.cut(line) if line else [] for line in self.full_text]
        seconds = time.perf_counter() - start
        return {"seconds": seconds, "words": words, "peak_mb": peak_rss_mb()}

    def op_time(self, request):
        threads = request["threads"]
        if threads == 1:
            cuts = [self.cut]
        else:
            cuts = [self.cut] + [self.make_cut() if self.make_cut else self.cut for _ in range(threads - 1)]
        shares = [self.sample[i::threads] for i in range(threads)]

        def work(cut, share):
            for line in share:
                cut(line)

        workers = [threading.Thread(target=work, args=pair) for pair in zip(cuts, shares)]
        with collector_paused():
            start = time.perf_counter()
            for worker in workers:
                worker.start()
            for worker in workers:
                worker.join()
            seconds = time.perf_counter() - start
        return {"seconds": seconds}


# ------------------------------------------------------------------ encoders
#
# Each contender has a "documents" step (from token lists to whatever the
# library keeps per document) and a "queries" step (from query token lists to
# the library's per-query result). What each step means is spelled out in the
# table that peers.py writes.


def python_reference():
    """PythonBM25 from bench/bm25_bench.py, without loading the native module
    that bm25_bench imports for its own main(): this process should weigh only
    the pure-Python encoder."""
    sys.path.insert(0, HERE)
    stubbed = "vivividodor" not in sys.modules
    if stubbed:
        sys.modules["vivividodor"] = types.ModuleType("vivividodor")
    try:
        from bm25_bench import PythonBM25
    finally:
        if stubbed:
            del sys.modules["vivividodor"]
    return PythonBM25


class TrainAndEncode:
    """vivividodor.BM25 and the pure-Python reference: train on every
    document, then encode every document and every query."""

    def __init__(self, make_model, documents):
        self.make_model = make_model
        self.documents = documents
        self.model = self.documents_step()[0]

    def documents_step(self):
        model = self.make_model()
        for document in self.documents:
            model.train(document)
        return model, [model.encode_document(d) for d in self.documents]

    def train_only(self):
        model = self.make_model()
        for document in self.documents:
            model.train(document)
        return model

    def encode_documents_only(self):
        return [self.model.encode_document(d) for d in self.documents]

    def queries_step(self, queries):
        return [self.model.encode_query(q) for q in queries]


def vivividodor_encoder(documents):
    import vivividodor

    return TrainAndEncode(vivividodor.BM25, documents), "vivividodor"


def reference_encoder(documents):
    return TrainAndEncode(python_reference(), documents), None


class RankBM25:
    def __init__(self, documents):
        from rank_bm25 import BM25Okapi

        self.make = BM25Okapi
        self.documents = documents
        self.index = self.documents_step()

    def documents_step(self):
        return self.make(self.documents, k1=1.2, b=0.75)

    def queries_step(self, queries):
        return [self.index.get_scores(q) for q in queries]


def rank_bm25_encoder(documents):
    return RankBM25(documents), "rank-bm25"


class BM25S:
    def __init__(self, documents):
        import bm25s

        self.bm25s = bm25s
        self.documents = documents
        self.index = self.documents_step()

    def documents_step(self):
        retriever = self.bm25s.BM25(k1=1.2, b=0.75)
        retriever.index(self.documents, show_progress=False)
        return retriever

    def queries_step(self, queries):
        return self.index.retrieve(queries, k=10, show_progress=False, n_threads=0)


def bm25s_encoder(documents):
    return BM25S(documents), "bm25s"


class KitSparseIndex:
    """vivividodor_kit.SparseIndex: our BM25 plus the kit's ranking, the
    closest thing we ship to the peers' score-every-document query step."""

    def __init__(self, documents):
        from vivividodor_kit import SparseIndex

        self.make = SparseIndex
        self.texts = [" ".join(d) for d in documents]
        self.index = self.documents_step()

    def documents_step(self):
        index = self.make(str.split)
        index.fit(self.texts)
        return index

    def queries_step(self, queries):
        return [self.index.search(" ".join(q), top_k=10) for q in queries]


def kit_encoder(documents):
    return KitSparseIndex(documents), "vivividodor"


ENCODERS = {
    "vivividodor BM25": vivividodor_encoder,
    "pure Python (bm25_bench.PythonBM25)": reference_encoder,
    "rank-bm25 BM25Okapi": rank_bm25_encoder,
    "bm25s": bm25s_encoder,
    "vivividodor_kit SparseIndex": kit_encoder,
}


class Encoder:
    def __init__(self, name, config):
        self.documents = read_documents(config["corpus"])
        stride = config["query_strides"].get(name, 1)
        self.queries = self.documents[::stride]
        self.baseline_mb = peak_rss_mb()
        start = time.perf_counter()
        self.contender, self.distribution = ENCODERS[name](self.documents)
        self.load_seconds = time.perf_counter() - start  # includes one documents step

    def info(self):
        return {
            "baseline_mb": self.baseline_mb,
            "version": version(self.distribution) if self.distribution else "-",
            "documents": len(self.documents),
            "document_tokens": sum(map(len, self.documents)),
            "queries": len(self.queries),
            "query_tokens": sum(map(len, self.queries)),
        }

    def op_full_pass(self, request):
        """One queries step on top of the documents step done at load: the
        peak memory of exactly this contender's work."""
        start = time.perf_counter()
        self.contender.queries_step(self.queries)
        return {"seconds": time.perf_counter() - start, "peak_mb": peak_rss_mb()}

    def op_time(self, request):
        step = request["step"]
        if step == "documents":
            run = self.contender.documents_step
        elif step == "queries":
            run = functools.partial(self.contender.queries_step, self.queries)
        else:  # the two halves of our documents step, for the closing note
            run = getattr(self.contender, step)
        with collector_paused():
            start = time.perf_counter()
            result = run()
            seconds = time.perf_counter() - start
        del result  # freeing what a step built is not part of building it
        return {"seconds": seconds}


# ------------------------------------------------------------------ protocol


def main():
    kind, name, config = sys.argv[1], sys.argv[2], json.loads(sys.argv[3])
    answers = os.fdopen(os.dup(1), "w", buffering=1, encoding="utf-8")
    os.dup2(2, 1)
    sys.stdout = sys.stderr

    def answer(obj):
        answers.write(json.dumps(obj, ensure_ascii=False) + "\n")
        answers.flush()

    try:
        worker = (Segmenter if kind == "segmenter" else Encoder)(name, config)
    except BaseException as error:  # noqa: BLE001 - any failure is a row in the table
        traceback.print_exc()
        answer({"ok": False, "error": f"{type(error).__name__}: {error}"})
        return 1
    answer({"ok": True, **worker.info()})

    for line in sys.stdin:
        request = json.loads(line)
        if request["op"] == "quit":
            break
        try:
            answer({"ok": True, **getattr(worker, "op_" + request["op"])(request)})
        except BaseException as error:  # noqa: BLE001
            traceback.print_exc()
            answer({"ok": False, "error": f"{type(error).__name__}: {error}"})
    return 0


if __name__ == "__main__":
    sys.exit(main())
