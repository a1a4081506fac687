"""vivividodor against peers from PyPI, on the same text, in one run.

Word segmentation: vivividodor.Jieba (`cut` and `cut_for_search`, shipped
default resources) against pkuseg, spacy-pkuseg, thulac (segmentation only)
and snownlp, each with the model its package ships. Speed is MB/s of UTF-8
input on one and two threads; accuracy is word precision, recall and F1 of the
whole SIGHAN 2005 PKU test text against its gold segmentation (the scoring of
bench/accuracy.py).

BM25: vivividodor.BM25 against rank-bm25, bm25s and the pure-Python encoder
of bench/bm25_bench.py, building per-document data for the gold file's lines
and then answering queries (the same lines), with the gold words as tokens.

Every contender runs in its own Python process (bench/peer_workers.py), so
the peak memory (VmHWM, the peak RSS of that process image) is that
contender's own. Rounds alternate between the contenders and each figure is
the median over the rounds. Writes
bench/results/peers.md, peers.png and peers.json.

    python3 bench/peers.py [--rounds 7] [--bm25-rounds 15] [--no-install]

Missing peers are installed with pip, one at a time (bench/requirements.txt);
a peer that cannot be installed or fails to run is a row saying so.
"""

import argparse
import datetime
import json
import os
import select
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

CORPUS_DIR = os.path.join(HERE, "..", "..", "shared", "corpus", "sighan2005-pku")
RESULTS_DIR = os.path.join(HERE, "results")
REQUIREMENTS = os.path.join(HERE, "requirements.txt")

# pip distribution -> whether pkuseg-style build (no build isolation) is needed
NO_BUILD_ISOLATION = {"pkuseg"}

SEGMENTERS = [  # (name in peer_workers.SEGMENTERS, pip distribution or None for ours)
    ("vivividodor cut", None),
    ("vivividodor cut_for_search", None),
    ("pkuseg", "pkuseg"),
    ("spacy-pkuseg", "spacy-pkuseg"),
    ("thulac", "thulac"),
    ("snownlp", "snownlp"),
]
OURS_CUT = "vivividodor cut"
SEGMENTER_NOTES = {
    "vivividodor cut": "shipped default resources; two threads share one instance",
    "vivividodor cut_for_search": "F1 not scored: the search cut adds overlapping sub-words",
    "pkuseg": "default model inside the wheel; two threads share one instance",
    "spacy-pkuseg": "default model is downloaded at first use",
    "thulac": "seg_only=True; one instance per thread (a shared one corrupts its decoder)",
    "snownlp": "SnowNLP(text).words; one global model",
}

ENCODERS = [
    ("vivividodor BM25", None),
    ("pure Python (bm25_bench.PythonBM25)", None),
    ("rank-bm25 BM25Okapi", "rank-bm25"),
    ("bm25s", "bm25s"),
    ("vivividodor_kit SparseIndex", None),
]
OURS_BM25 = "vivividodor BM25"
PEER_ENCODERS = ("pure Python (bm25_bench.PythonBM25)", "rank-bm25 BM25Okapi", "bm25s")
STEPS = {  # what the documents step and the queries step do, per contender
    "vivividodor BM25": (
        "`train` every document, then `encode_document` each (dict term -> weight)",
        "`encode_query` each (dict term -> idf share); no scoring",
    ),
    "pure Python (bm25_bench.PythonBM25)": (
        "the same as vivividodor.BM25 in plain Python",
        "the same as vivividodor.BM25 in plain Python",
    ),
    "rank-bm25 BM25Okapi": (
        "`BM25Okapi(corpus)`: term counts per document, lengths, idf; the length normalisation is left to query time",
        "`get_scores(query)`: the BM25 score of every document (no top-k)",
    ),
    "bm25s": (
        "`BM25().index(tokens)`: vocabulary and a sparse matrix of every document's term weights",
        "`retrieve(queries, k=10)`: score every document from the matrix, keep the top 10",
    ),
    "vivividodor_kit SparseIndex": (
        "`SparseIndex(str.split).fit(texts)`: vivividodor.BM25 train + encode_document, kept in a list",
        "`search(query, top_k=10)`: encode_query, then a Python dot product with every document vector",
    ),
}
# Contenders whose query step scores every document in Python get a share of the queries.
SLOW_QUERY_STRIDE = {"rank-bm25 BM25Okapi": 20, "vivividodor_kit SparseIndex": 10}


# ------------------------------------------------------------- installation


def read_requirements():
    pins = {}
    with open(REQUIREMENTS, encoding="utf-8") as handle:
        for line in handle:
            line = line.split("#", 1)[0].strip()
            if "==" in line:
                name, pinned = line.split("==", 1)
                pins[name.strip()] = pinned.strip()
    return pins


def installed_version(distribution):
    from importlib.metadata import PackageNotFoundError, version

    try:
        return version(distribution)
    except PackageNotFoundError:
        return None


def pip_install(distribution, pinned, extra=()):
    command = [
        sys.executable,
        "-m",
        "pip",
        "install",
        "--disable-pip-version-check",
        *extra,
        f"{distribution}=={pinned}",
    ]
    print("  $ python3", " ".join(command[1:]), flush=True)
    done = subprocess.run(command, check=False, capture_output=True, text=True)
    if done.returncode == 0:
        return None
    lines = [line.strip() for line in (done.stderr + done.stdout).splitlines() if line.strip()]
    errors = [line for line in lines if line.startswith("ERROR")]
    return (errors or lines or ["pip failed"])[-1][:200]


def ensure_installed(install):
    """Installs the missing pins; returns {distribution: reason} for those that
    are still missing."""
    pins = read_requirements()
    missing = [name for name in pins if installed_version(name) is None]
    problems = {}
    if missing and not install:
        for name in missing:
            problems[name] = "not installed (run without --no-install, or see bench/requirements.txt)"
        return problems
    for name in missing:
        print(f"installing {name}=={pins[name]}", flush=True)
        if name in NO_BUILD_ISOLATION:
            reason = pip_install(name, pins[name], ("--no-build-isolation",))
        else:
            reason = pip_install(name, pins[name])
        if reason:
            problems[name] = f"pip install failed: {reason}"
    return problems


# ----------------------------------------------------------------- workers


class WorkerFailed(Exception):
    pass


class Worker:
    """One contender in its own process (bench/peer_workers.py)."""

    def __init__(self, kind, name, config, log_dir, timeout):
        self.name = name
        self.log_path = os.path.join(log_dir, name.replace(" ", "_").replace("/", "_") + ".log")
        self.log = open(self.log_path, "w", encoding="utf-8")  # noqa: SIM115 - open as long as the worker
        self.process = subprocess.Popen(
            [sys.executable, os.path.join(HERE, "peer_workers.py"), kind, name, json.dumps(config)],
            stdin=subprocess.PIPE,
            stdout=subprocess.PIPE,
            stderr=self.log,
            text=True,
            encoding="utf-8",
        )
        self.info = self._read(timeout)

    def _last_error_line(self):
        self.log.flush()
        try:
            with open(self.log_path, encoding="utf-8", errors="replace") as handle:
                lines = [line.strip() for line in handle if line.strip()]
        except OSError:
            return ""
        return lines[-1][:200] if lines else ""

    def _read(self, timeout):
        ready, _, _ = select.select([self.process.stdout], [], [], timeout)
        if not ready:
            self.close()
            raise WorkerFailed(f"no answer within {timeout:.0f} s")
        line = self.process.stdout.readline()
        if not line:
            code = self.process.wait()
            raise WorkerFailed(f"exited with code {code}: {self._last_error_line()}")
        answer = json.loads(line)
        if not answer.pop("ok"):
            raise WorkerFailed(answer["error"][:200])
        return answer

    def ask(self, timeout, **request):
        try:
            self.process.stdin.write(json.dumps(request) + "\n")
            self.process.stdin.flush()
        except BrokenPipeError:
            code = self.process.wait()
            raise WorkerFailed(f"exited with code {code}: {self._last_error_line()}") from None
        return self._read(timeout)

    def close(self):
        if self.process.poll() is None:
            try:
                self.process.stdin.write(json.dumps({"op": "quit"}) + "\n")
                self.process.stdin.flush()
                self.process.wait(timeout=30)
            except (BrokenPipeError, subprocess.TimeoutExpired):
                self.process.kill()
                self.process.wait()
        self.log.close()


def explain(error):
    """A failure as one short table cell."""
    if any(mark in error for mark in ("ConnectionError", "NameResolutionError", "Max retries exceeded")):
        return (
            "it downloads its model at first use, and this machine reaches no host "
            "but the package registries (ConnectionError)"
        )
    return error.replace("|", "/")[:160]


def start_workers(kind, contenders, config, problems, log_dir, timeout):
    """Starts each contender and runs its single full pass (which is what
    the peak memory is taken after). Returns the running workers and a result
    record for every contender, failed ones included."""
    workers, results = {}, {}
    for name, distribution in contenders:
        record = results[name] = {"name": name, "distribution": distribution, "error": None}
        if distribution in problems:
            record["error"] = problems[distribution]
            print(f"{name}: {record['error']}", flush=True)
            continue
        print(f"{name}: loading", flush=True)
        try:
            worker = Worker(kind, name, config, log_dir, timeout)
            record.update(worker.info)
            record.update(worker.ask(timeout, op="full_pass"))
        except WorkerFailed as failure:
            record["error"] = f"failed to run: {explain(str(failure))}"
            print(f"{name}: {record['error']} (log: {os.path.join(log_dir, '')})", flush=True)
            continue
        workers[name] = worker
    return workers, results


def alternate_rounds(workers, measurements, rounds, timeout, results):
    """Runs every measurement of every worker once per round; the order of
    the contenders rotates between rounds so that no one always goes first.
    Stores the median seconds as results[name]["medians"][label]."""
    names = list(workers)
    samples = {name: {label: [] for label, _ in measurements(name)} for name in names}
    for round_number in range(rounds):
        order = names[round_number % len(names) :] + names[: round_number % len(names)] if names else []
        print(f"round {round_number + 1}/{rounds}", flush=True)
        for name in order:
            if name not in workers:
                continue
            try:
                for label, request in measurements(name):
                    samples[name][label].append(workers[name].ask(timeout, op="time", **request)["seconds"])
            except WorkerFailed as failure:
                results[name]["error"] = f"failed while timed: {explain(str(failure))}"
                workers.pop(name).close()
    for name in names:
        if results[name]["error"] is None:
            results[name]["medians"] = {label: statistics.median(s) for label, s in samples[name].items()}
            results[name]["rounds"] = {label: s for label, s in samples[name].items()}


# ------------------------------------------------------------- the two parts


def run_segmenters(args, problems, log_dir):
    text = os.path.join(args.corpus_dir, "pku_test.utf8")
    config = {
        "text": text,
        "sample_stride": args.sample_stride,
        "repeats": {name: args.our_repeats for name, distribution in SEGMENTERS if distribution is None},
        "resources": args.resources,
    }
    workers, results = start_workers("segmenter", SEGMENTERS, config, problems, log_dir, args.timeout)

    def measurements(name):
        return [(f"{threads} thread", {"threads": threads}) for threads in (1, 2)]

    try:
        alternate_rounds(workers, measurements, args.rounds, args.timeout, results)
    finally:
        for worker in workers.values():
            worker.close()

    # Scoring is done here, not in the contenders' processes, so that it
    # weighs on none of them.
    try:
        from accuracy import read_lines, score
    except Exception as error:  # noqa: BLE001 - speed is still worth reporting
        print(f"F1 not scored: bench/accuracy.py does not import ({error})", flush=True)
        return results, None
    texts = read_lines(text)
    gold = [line.split() for line in read_lines(os.path.join(args.corpus_dir, "pku_test_gold.utf8"))]
    known = {w.strip() for w in read_lines(os.path.join(args.corpus_dir, "pku_training_words.utf8")) if w.strip()}
    for name, record in results.items():
        words = record.pop("words", None)
        if words is None or name == "vivividodor cut_for_search":
            continue
        answers = iter(words)
        record["score"] = score(lambda _text, answers=answers: next(answers), texts, gold, known)._asdict()
    text_info = {
        "lines": len(texts),
        "bytes": sum(len(t.encode("utf-8")) for t in texts),
        "gold_words": sum(map(len, gold)),
    }
    return results, text_info


def run_encoders(args, problems, log_dir):
    config = {
        "corpus": os.path.join(args.corpus_dir, "pku_test_gold.utf8"),
        "query_strides": SLOW_QUERY_STRIDE,
    }
    workers, results = start_workers("encoder", ENCODERS, config, problems, log_dir, args.timeout)

    def measurements(name):
        steps = [("documents", {"step": "documents"}), ("queries", {"step": "queries"})]
        if name == OURS_BM25:  # the two halves of the documents step
            steps += [("train", {"step": "train_only"}), ("encode", {"step": "encode_documents_only"})]
        return steps

    try:
        alternate_rounds(workers, measurements, args.bm25_rounds, args.timeout, results)
    finally:
        for worker in workers.values():
            worker.close()
    return results


# ------------------------------------------------------------------ output


def machine_line():
    try:
        from accuracy import machine

        return machine()
    except Exception:  # noqa: BLE001
        import platform

        return f"{platform.platform()}, {os.cpu_count()} cores, Python {platform.python_version()}"


def fmt_rate(value, unit=""):
    if value >= 100:
        return f"{value:,.0f}{unit}"
    if value >= 1:
        return f"{value:.2f}{unit}"
    return f"{value:.3f}{unit}"


def segmenter_rates(record):
    medians = record.get("medians")
    if not medians:
        return None
    mb = record["sample_bytes"] / 1e6
    return {threads: mb / medians[f"{threads} thread"] for threads in (1, 2)}


def encoder_rates(record):
    medians = record.get("medians")
    if not medians:
        return None
    return {
        "documents": record["document_tokens"] / medians["documents"],
        "queries": record["query_tokens"] / medians["queries"],
    }


def f_one(ours, peer):
    if ours.get("score") and peer.get("score"):
        return f"; F1 {ours['score']['f1']:.3f} against its {peer['score']['f1']:.3f}"
    return ""


def goals(segmenters, encoders):
    """Each goal with its verdict and the margin, for the table and the note."""
    found = []
    ours = segmenter_rates(segmenters[OURS_CUT])
    peer_rates = {
        n: segmenter_rates(r) for n, r in segmenters.items() if r["distribution"] is not None and segmenter_rates(r)
    }
    if ours and peer_rates:
        fastest = max(peer_rates, key=lambda n: peer_rates[n][1])
        ratio = ours[1] / peer_rates[fastest][1]
        found.append(
            {
                "goal": "`cut` at least 10x the fastest peer (one thread)",
                "met": ratio >= 10,
                "detail": f"{ratio:.1f}x {fastest} ({fmt_rate(ours[1])} vs {fmt_rate(peer_rates[fastest][1])} MB/s)"
                + f_one(segmenters[OURS_CUT], segmenters[fastest]),
                "ratio": ratio,
            }
        )
        fastest2 = max(peer_rates, key=lambda n: peer_rates[n][2])
        ratio2 = ours[2] / peer_rates[fastest2][2]
        found.append(
            {
                "goal": "`cut` at least 10x the fastest peer (two threads)",
                "met": ratio2 >= 10,
                "detail": f"{ratio2:.1f}x {fastest2} ({fmt_rate(ours[2])} vs {fmt_rate(peer_rates[fastest2][2])} MB/s)"
                + f_one(segmenters[OURS_CUT], segmenters[fastest2]),
                "ratio": ratio2,
            }
        )
    ours_bm25 = encoder_rates(encoders[OURS_BM25])
    for step in ("documents", "queries"):
        rates = {n: encoder_rates(encoders[n])[step] for n in PEER_ENCODERS if encoder_rates(encoders[n])}
        if not ours_bm25 or not rates:
            continue
        fastest = max(rates, key=rates.get)
        ratio = ours_bm25[step] / rates[fastest]
        found.append(
            {
                "goal": f"BM25 {step} step faster than every peer",
                "met": ratio > 1,
                "detail": f"{ratio:.2f}x the fastest peer, {fastest} "
                f"({fmt_rate(ours_bm25[step])} vs {fmt_rate(rates[fastest])} tokens/s)",
                "ratio": ratio,
                "fastest": fastest,
                "step": step,
            }
        )
    return found


def markdown(report):
    seg, enc, text = report["segmenters"], report["encoders"], report["text"]
    out = []
    add = out.append
    add("# vivividodor against peers")
    add("")
    add(
        f"Measured {report['date']} on {report['machine']}, with `python3 bench/peers.py` "
        f"(median of {report['rounds']} rounds for segmentation and {report['bm25_rounds']} for BM25; "
        "the rounds alternate between the contenders; timed runs pause the cyclic garbage collector, as timeit does; "
        "each contender runs in its own process and its peak memory is that process's peak RSS, "
        "VmHWM; ru_maxrss is not used because a child inherits its parent's high-water mark across exec)."
    )
    add("")
    add("![vivividodor against peers](peers.png)")
    add("")
    add("## Word segmentation")
    add("")
    sample = next((r for r in seg.values() if r.get("sample_bytes") and r["distribution"]), None)
    ours = seg[OURS_CUT]
    if text:
        add(
            f"Text: SIGHAN 2005 PKU `pku_test.utf8`, {text['lines']:,} lines, {text['bytes'] / 1e6:.2f} MB "
            f"of UTF-8; F1 against `pku_test_gold.utf8` ({text['gold_words']:,} words) on the whole file "
            "(word spans by character offsets, the scoring of bench/accuracy.py). "
            f"Speed is timed on every {report['sample_stride']}th line"
            + (
                f" ({sample['sample_lines']} lines, {sample['sample_bytes'] / 1e6:.3f} MB), which each peer cuts once per round"
                if sample
                else ""
            )
            + (
                f" and vivividodor {report['our_repeats']} times over ({ours['sample_bytes'] / 1e6:.2f} MB) per round"
                if ours.get("sample_bytes")
                else ""
            )
            + "; two threads split the lines between them."
        )
        add("")
    add(
        "| segmenter | version | F1 | P | R | R (OOV) | MB/s, 1 thread | MB/s, 2 threads "
        "| `cut` is faster by | MB per round | load s | peak RSS MB | notes |"
    )
    add("|---|---|---|---|---|---|---|---|---|---|---|---|---|")
    ours_rates = segmenter_rates(ours)
    for name, _ in SEGMENTERS:
        r = seg[name]
        if r["error"]:
            add(
                f"| {name} | {r.get('version', '-')} | {r['error'].replace('|', '/')} |  |  |  |  |  |  |  |  |  | "
                f"{SEGMENTER_NOTES[name]} |"
            )
            continue
        s = r.get("score")
        scores = (
            f"{s['f1']:.4f} | {s['precision']:.4f} | {s['recall']:.4f} | {s['recall_oov']:.4f}"
            if s
            else "- | - | - | -"
        )
        rates = segmenter_rates(r)
        if r["distribution"] and ours_rates:
            faster = f"{ours_rates[1] / rates[1]:.1f}x / {ours_rates[2] / rates[2]:.1f}x"
        else:
            faster = "-"
        note = SEGMENTER_NOTES[name]
        if s and s["mismatched_lines"]:
            note += f"; {s['mismatched_lines']} lines whose words do not spell the text"
        add(
            f"| {name} | {r['version']} | {scores} | {fmt_rate(rates[1])} | {fmt_rate(rates[2])} | {faster} "
            f"| {r['sample_bytes'] / 1e6:.3f} | {r['load_seconds']:.2f} | {r['peak_mb']:.0f} | {note} |"
        )
    add("")
    add(
        "`cut` is faster by: vivividodor `cut` MB/s over the peer's, one thread / two threads. "
        "Peak RSS: after loading and cutting the whole file once on one thread "
        f"(a bare worker with the text loaded: about {ours.get('baseline_mb', 0):.0f} MB)."
    )
    add("")

    add("## BM25 sparse encoding")
    add("")
    base = (
        enc[OURS_BM25]
        if enc[OURS_BM25].get("documents")
        else next((r for r in enc.values() if r.get("documents")), None)
    )
    if base:
        add(
            f"Corpus: the {base['documents']:,} non-empty lines of `pku_test_gold.utf8` as documents, "
            f"their {base['document_tokens']:,} gold words as tokens (b=0.75, k1=1.2 for every library); "
            "queries: the same lines, all of them or, for the slow contenders, every "
            + ", ".join(f"{stride}th for {name}" for name, stride in SLOW_QUERY_STRIDE.items())
            + " (the column queries measured). "
            "Rates are tokens per second (document tokens for the documents step, query tokens for the queries step)."
        )
        add("")
    add(
        "| encoder | version | documents, tokens/s | vivividodor is faster by | queries measured "
        "| queries, tokens/s | vivividodor is faster by | peak RSS MB |"
    )
    add("|---|---|---|---|---|---|---|---|")
    ours_bm25 = encoder_rates(enc[OURS_BM25])
    for name, _ in ENCODERS:
        r = enc[name]
        if r["error"]:
            add(f"| {name} | {r.get('version', '-')} | {r['error'].replace('|', '/')} |  |  |  |  |  |")
            continue
        rates = encoder_rates(r)
        if name != OURS_BM25 and ours_bm25:
            faster_d = f"{ours_bm25['documents'] / rates['documents']:.2f}x"
            faster_q = f"{ours_bm25['queries'] / rates['queries']:.2f}x"
        else:
            faster_d = faster_q = "-"
        add(
            f"| {name} | {r['version']} | {fmt_rate(rates['documents'])} | {faster_d} | {r['queries']:,} "
            f"| {fmt_rate(rates['queries'])} | {faster_q} | {r['peak_mb']:.0f} |"
        )
    add("")
    add("What each step does:")
    add("")
    add("| encoder | documents step | queries step |")
    add("|---|---|---|")
    for name, _ in ENCODERS:
        add(f"| {name} | {STEPS[name][0]} | {STEPS[name][1]} |")
    add("")
    add(
        "The peers' query step does more than ours: it scores every document, where `encode_query` "
        "stops at the query vector. vivividodor_kit SparseIndex is our own score-every-document path, "
        "shown for that comparison and not counted as a peer. "
        "Peak RSS: after one documents step and one queries step "
        f"(a bare worker with the corpus loaded: about {enc[OURS_BM25].get('baseline_mb', 0):.0f} MB)."
    )
    add("")

    add("## Goals")
    add("")
    for g in report["goals"]:
        add(f"- {'met' if g['met'] else 'NOT met'}: {g['goal']}: {g['detail']}.")
    ours_record = enc[OURS_BM25]
    for g in report["goals"]:
        if g["met"] or "step" not in g:
            continue
        add("")
        shortfall = 1 / g["ratio"] - 1
        line = (
            f"Not met by {shortfall:.0%}: our BM25 {g['step']} step takes {shortfall:.0%} more time than "
            f"{g['fastest']}'s ({g['ratio']:.2f}x its speed)."
        )
        medians = ours_record.get("medians", {})
        if g["step"] == "documents" and "train" in medians:
            peers_ms = ", ".join(
                f"{n} {encoders_ms:.1f} ms"
                for n in PEER_ENCODERS
                if (encoders_ms := enc[n].get("medians", {}).get("documents", 0) * 1e3)
            )
            line += (
                f" For the whole corpus, ours is `train` {medians['train'] * 1e3:.1f} ms plus `encode_document` "
                f"{medians['encode'] * 1e3:.1f} ms (timed apart; together {medians['documents'] * 1e3:.1f} ms), "
                f"against {peers_ms}."
            )
        add(line)
    if report.get("profile_note"):
        add("")
        add(report["profile_note"])
    add("")
    return "\n".join(out)


def short_rate(value, unit):
    for scale, suffix in ((1e6, "M"), (1e3, "k")):
        if value >= scale:
            return f"{value / scale:.3g}{suffix} {unit}"
    return f"{value:.3g} {unit}"


def chart(report, path):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    seg, enc = report["segmenters"], report["encoders"]
    figure, axes = plt.subplots(1, 3, figsize=(18, 6.6), gridspec_kw={"width_ratios": [1.2, 1.2, 0.85]})
    first, second = "#1f6fb4", "#f0a04b"

    def panel(axis, rows, series, title, xlabel):
        """rows: (label, ours, failure or None); series: (name, color, values, texts)."""
        positions = list(range(len(rows)))[::-1]
        height = 0.8 / len(series)
        every = []
        for k, (name, color, values, texts) in enumerate(series):
            offset = (len(series) - 1) / 2 * height - k * height
            ys = [p + offset for p in positions]
            axis.barh(ys, [v or 0 for v in values], height=height, color=color, label=name)
            every += [v for v in values if v]
            for y, value, text in zip(ys, values, texts):
                if value:
                    axis.text(value * 1.12, y, text, va="center", fontsize=7.5)
        low, high = min(every) / 3, max(every) * 15
        for p, (label, _ours, failure) in zip(positions, rows):
            if failure:
                axis.text(low * 1.3, p, failure, va="center", fontsize=8, color="#b00020")
        axis.set_xscale("log")
        axis.set_xlim(low, high)
        axis.set_yticks(positions)
        axis.set_yticklabels([label for label, _, _ in rows], fontsize=9)
        for tick, (_, ours, _) in zip(axis.get_yticklabels(), rows):
            if ours:
                tick.set_fontweight("bold")
        axis.set_title(title, fontsize=11)
        axis.set_xlabel(xlabel)
        axis.grid(axis="x", alpha=0.3)
        if len(series) > 1:
            axis.legend(loc="upper center", bbox_to_anchor=(0.5, -0.11), ncol=len(series), fontsize=8, frameon=False)

    def failure(record):
        if not record["error"]:
            return None
        return "not installed" if "install" in record["error"] else "failed to run (see table)"

    rows, one, two, one_text, two_text = [], [], [], [], []
    for name, distribution in SEGMENTERS:
        r = seg[name]
        rates = segmenter_rates(r) if not r["error"] else None
        rows.append((name.replace("vivividodor ", "vivividodor\n"), distribution is None, failure(r)))
        one.append(rates and rates[1])
        two.append(rates and rates[2])
        f1 = f", F1 {r['score']['f1']:.3f}" if r.get("score") else ""
        one_text.append(f"{rates[1]:.3g} MB/s{f1}" if rates else "")
        two_text.append(f"{rates[2]:.3g} MB/s" if rates else "")
    panel(
        axes[0],
        rows,
        [("1 thread", first, one, one_text), ("2 threads", second, two, two_text)],
        "Segmentation of the PKU test text",
        "MB/s of UTF-8 input (log scale)",
    )

    rows, docs, queries, docs_text, queries_text = [], [], [], [], []
    for name, distribution in ENCODERS:
        r = enc[name]
        rates = encoder_rates(r) if not r["error"] else None
        label = name.replace(" (", "\n(").replace(" BM25Okapi", "\nBM25Okapi").replace(" SparseIndex", "\nSparseIndex")
        rows.append((label, name.startswith("vivividodor"), failure(r)))
        docs.append(rates and rates["documents"])
        queries.append(rates and rates["queries"])
        docs_text.append(short_rate(rates["documents"], "tokens/s") if rates else "")
        queries_text.append(short_rate(rates["queries"], "tokens/s") if rates else "")
    panel(
        axes[1],
        rows,
        [("documents step", first, docs, docs_text), ("queries step", second, queries, queries_text)],
        "BM25 on the PKU gold words",
        "tokens per second (log scale)",
    )

    rows, memory, memory_text = [], [], []
    for group, contenders in ((seg, SEGMENTERS), (enc, ENCODERS)):
        for name, distribution in contenders:
            if name == "vivividodor cut_for_search":
                continue
            r = group[name]
            label = name.replace(" (bm25_bench.PythonBM25)", " BM25").replace("vivividodor cut", "vivividodor Jieba")
            rows.append((label, name.startswith("vivividodor"), failure(r)))
            memory.append(None if r["error"] else r["peak_mb"])
            memory_text.append("" if r["error"] else f"{r['peak_mb']:.0f} MB")
    panel(
        axes[2],
        rows,
        [("peak RSS", first, memory, memory_text)],
        "Peak memory of each contender's process",
        "MB (log scale)",
    )

    figure.text(
        0.5,
        0.005,
        "What each BM25 step does differs between the libraries (the peers' queries step scores "
        "every document): see peers.md. Segmentation speed is timed on a sample of the lines, F1 on the whole file.",
        ha="center",
        fontsize=8,
        color="#444444",
    )
    figure.suptitle(f"vivividodor (bold) against peers: {report['machine']}, {report['date']}", fontsize=10)
    figure.tight_layout(rect=(0, 0.03, 1, 0.96))
    figure.savefig(path, dpi=110)
    plt.close(figure)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=7, help="rounds of the segmentation part")
    parser.add_argument(
        "--bm25-rounds", type=int, default=15, help="rounds of the BM25 part (its steps take milliseconds)"
    )
    parser.add_argument("--corpus-dir", default=CORPUS_DIR)
    parser.add_argument(
        "--sample-stride", type=int, default=5, help="speed is timed on every Nth line of the test text"
    )
    parser.add_argument(
        "--our-repeats", type=int, default=40, help="how many times vivividodor cuts the sample per round"
    )
    parser.add_argument(
        "--resources", nargs=5, metavar="PATH", help="vivividodor resources (default: the shipped ones)"
    )
    parser.add_argument("--out", default=RESULTS_DIR)
    parser.add_argument("--timeout", type=float, default=900, help="seconds a contender may take for one request")
    parser.add_argument("--no-install", action="store_true", help="do not pip install missing peers")
    parser.add_argument("--skip", action="append", default=[], help="leave out a part: segmentation or bm25")
    args = parser.parse_args()

    report = {
        "date": datetime.date.today().isoformat(),
        "machine": machine_line(),
        "rounds": args.rounds,
        "bm25_rounds": args.bm25_rounds,
        "sample_stride": args.sample_stride,
        "our_repeats": args.our_repeats,
    }
    print(f"machine: {report['machine']}", flush=True)
    problems = ensure_installed(not args.no_install)
    os.makedirs(args.out, exist_ok=True)
    log_dir = tempfile.mkdtemp(prefix="vivividodor-peers-")
    print(f"contender logs: {log_dir}", flush=True)

    report["segmenters"], report["text"] = ({}, None)
    if "segmentation" not in args.skip:
        report["segmenters"], report["text"] = run_segmenters(args, problems, log_dir)
    report["encoders"] = {}
    if "bm25" not in args.skip:
        report["encoders"] = run_encoders(args, problems, log_dir)
    if args.skip:
        with open(os.path.join(args.out, "peers.json"), "w", encoding="utf-8") as handle:
            json.dump(report, handle, ensure_ascii=False, indent=1)
        print("partial run: wrote peers.json only")
        return 0

    report["goals"] = goals(report["segmenters"], report["encoders"])
    # A hand-written profile of the last shortfall: shown only while a goal is
    # still missed, since it describes the code as it was then.
    profile_path = os.path.join(HERE, "peers_profile.md")
    if os.path.exists(profile_path) and not all(g["met"] for g in report["goals"]):
        with open(profile_path, encoding="utf-8") as handle:
            report["profile_note"] = handle.read().strip()

    with open(os.path.join(args.out, "peers.json"), "w", encoding="utf-8") as handle:
        json.dump(report, handle, ensure_ascii=False, indent=1)
    text = markdown(report)
    with open(os.path.join(args.out, "peers.md"), "w", encoding="utf-8") as handle:
        handle.write(text)
    try:
        chart(report, os.path.join(args.out, "peers.png"))
    except ImportError as error:
        print(f"no chart: matplotlib is missing ({error})", flush=True)
    print()
    print(text)
    print(f"wrote {os.path.join(args.out, 'peers.md')}, peers.png and peers.json")
    return 0


if __name__ == "__main__":
    sys.exit(main())
