"""The `vivividodor` command: cut, index, encode, search, build-resources, demo.

Every subcommand prints its data on standard output; notes and errors go to
standard error, an error as one line, with a non-zero exit code (1 for a
failure, 2 for a wrong command line).
"""

from __future__ import annotations

import argparse
import json
import os
import sys
from pathlib import Path
from typing import Iterable, Iterator, Optional, Sequence, Tuple

import vivividodor

from . import _native, builder
from .paths import ResourcePaths, default_paths, resource_paths
from .retrieval import SparseIndex, Tokenizer, whitespace_tokens

PROG = "vivividodor"
SAMPLE_CORPUS = Path(__file__).resolve().parent / "data" / "sample_corpus.txt"
DEMO_QUERIES = ("明天的天气预报", "足球比赛的结果", "怎么做红烧肉", "人工智能和手机", "古代中国的历史", "西湖的风景")


class CommandError(Exception):
    """A failure to report as one line on stderr."""


class _Parser(argparse.ArgumentParser):
    def error(self, message: str) -> None:  # one line instead of usage + error
        self.exit(2, f"{self.prog}: error: {message} (see {self.prog} --help)\n")


# --------------------------------------------------------------------------
# Input and output helpers


def _input_lines(files: Sequence[str]) -> Iterator[Tuple[str, int, str]]:
    """(file name, line number, text without its line end) of each input line;
    no file or "-" reads standard input. Lines are read as they come, so a
    pipe is processed while it is still being written."""
    for name in files or ["-"]:
        if name == "-":
            buffer = getattr(sys.stdin, "buffer", None)
            if buffer is None:  # a text stream without bytes underneath
                for number, line in enumerate(sys.stdin, 1):
                    yield "<stdin>", number, line.rstrip("\n").rstrip("\r")
            else:
                yield from _decoded(buffer, "<stdin>")
            continue
        try:
            handle = open(name, "rb")
        except OSError as exc:
            raise CommandError(f"cannot read {name}: {exc.strerror or exc}") from None
        with handle:
            yield from _decoded(handle, name)


def _decoded(raw_lines: Iterable[bytes], label: str) -> Iterator[Tuple[str, int, str]]:
    for number, raw in enumerate(raw_lines, 1):
        if raw.endswith(b"\n"):
            raw = raw[:-1]
        if raw.endswith(b"\r"):
            raw = raw[:-1]
        if number == 1 and raw.startswith(b"\xef\xbb\xbf"):
            raw = raw[3:]
        try:
            yield label, number, raw.decode("utf-8")
        except UnicodeDecodeError:
            raise CommandError(f"{label}:{number}: not valid UTF-8") from None


def _write(text: str) -> None:
    sys.stdout.write(text + "\n")


def _note(text: str) -> None:
    print(f"{PROG}: {text}", file=sys.stderr)


def _resource_paths(args: argparse.Namespace) -> ResourcePaths:
    """The shipped resources, or a built directory, with single files replaced
    by the options that name them."""
    try:
        base = resource_paths(args.resources) if args.resources else default_paths()
    except FileNotFoundError as exc:
        raise CommandError(str(exc)) from None
    chosen = ResourcePaths(
        args.dict or base.dict_path,
        args.hmm or base.hmm_path,
        base.user_dict_path if args.user_dict is None else args.user_dict,
        args.idf or base.idf_path,
        args.stop_words or base.stop_word_path,
    )
    user_dicts = [p for p in chosen.user_dict_path.replace(";", "|").split("|") if p]
    for path in [chosen.dict_path, chosen.hmm_path, *user_dicts, chosen.idf_path, chosen.stop_word_path]:
        if not os.path.isfile(path):
            raise CommandError(f"resource file not found: {path}")
    return chosen


def _tokenizer(args: argparse.Namespace):
    """Whitespace fields for pre-segmented input, else the Jieba cut."""
    if getattr(args, "pretokenized", False):
        return whitespace_tokens
    paths = _resource_paths(args)
    return Tokenizer(paths, search=args.search, drop_stop_words=not args.keep_stop_words)


def _load_model(path: str):
    try:
        text = Path(path).read_text(encoding="utf-8")
    except OSError as exc:
        raise CommandError(f"cannot read model {path}: {exc.strerror or exc}") from None
    except UnicodeDecodeError:
        raise CommandError(f"model {path} is not UTF-8 text") from None
    model = vivividodor.BM25()
    with _native.captured_stderr() as log:
        try:
            model.load(text)
        except Exception as exc:
            raise CommandError(f"cannot load model {path}: {exc}") from None
    if log[0].strip():
        raise CommandError(f"model {path} is not a valid model file: {_native.first_line(log[0])}")
    return model


# --------------------------------------------------------------------------
# Subcommands


def cmd_cut(args: argparse.Namespace) -> int:
    paths = _resource_paths(args)
    jieba, _ = _native.load_jieba(paths)
    cut = jieba.cut_for_search if args.search else jieba.cut
    for _, _, line in _input_lines(args.files):
        words = cut(line)
        _write(json.dumps(words, ensure_ascii=False) if args.json else args.delimiter.join(words))
    return 0


def cmd_index(args: argparse.Namespace) -> int:
    tokenize = _tokenizer(args)
    model = vivividodor.BM25(args.b, args.k1)
    documents = 0
    empty = 0
    for _, _, line in _input_lines(args.files):
        tokens = tokenize(line)
        if not tokens:
            empty += 1
            continue
        model.train(tokens)
        documents += 1
    if documents == 0:
        raise CommandError("no input line has any term to index")
    try:
        model.dump(args.output)
    except RuntimeError as exc:
        raise CommandError(f"cannot write model {args.output}: {exc}") from None
    left_out = f" ({empty} lines without terms left out)" if empty else ""
    _note(f"indexed {documents} documents into {args.output}{left_out}")
    return 0


def cmd_encode(args: argparse.Namespace) -> int:
    model = _load_model(args.model)
    tokenize = _tokenizer(args)
    encode = model.encode_query if args.query else model.encode_document
    for _, _, line in _input_lines(args.files):
        _write(json.dumps(encode(tokenize(line)), ensure_ascii=False))
    return 0


def cmd_search(args: argparse.Namespace) -> int:
    if args.top_k < 1:
        raise CommandError("--top-k must be at least 1")
    tokenize = _tokenizer(args)
    corpus = [line for _, _, line in _input_lines([args.corpus])]
    if args.model:
        index = SparseIndex(tokenize, _load_model(args.model))
        index.add(corpus)
    else:
        index = SparseIndex(tokenize, b=args.b, k1=args.k1)
        try:
            index.fit(corpus)
        except ValueError as exc:
            raise CommandError(f"{args.corpus}: {exc}") from None
    queries = args.queries or [line for _, _, line in _input_lines(["-"]) if line.strip()]
    for query in queries:
        hits = index.search(query, args.top_k)
        if args.json:
            results = [
                {"rank": r, "line": h.index + 1, "score": h.score, "text": h.text}
                for r, h in enumerate(hits, 1)
            ]
            _write(json.dumps({"query": query, "results": results}, ensure_ascii=False))
            continue
        _write(f"query: {query}")
        for rank, hit in enumerate(hits, 1):
            _write(f"{rank:3d}. {hit.score:.4f}  line {hit.index + 1}: {hit.text}")
        if not hits:
            _write("     (no line shares a term with the query)")
    return 0


def cmd_build(args: argparse.Namespace) -> int:
    common = dict(
        stop_words=args.stop_words,
        user_words=args.user_words,
        smoothing=args.smoothing,
        default_tag=args.default_tag,
        skip_bad_lines=args.skip_bad_lines,
        check=not args.no_check,
        progress=args.progress,
        report=lambda message: print(f"{PROG}: {message}", file=sys.stderr),
    )
    if args.min_frequency is not None:
        common["min_frequency"] = args.min_frequency
    if args.corpus:
        report = builder.build_from_corpus(
            args.corpus, args.output, corpus_format=args.format, idf_unit=args.idf_unit, **common
        )
    else:
        report = builder.build_from_frequencies(args.frequencies, args.output, **common)
    _note(report.summary())
    return 0


def cmd_demo(args: argparse.Namespace) -> int:
    tokenize = _tokenizer(args)
    corpus = [line for _, _, line in _input_lines([str(SAMPLE_CORPUS)])]
    index = SparseIndex(tokenize)
    index.fit(corpus)
    _write(f"Indexed {len(corpus)} paragraphs of the sample corpus with the shipped resources")
    _write("(query cut: long words and their dictionary sub-words; stop words and punctuation dropped).")
    for query in args.queries or DEMO_QUERIES:
        _write("")
        _write(f"query: {query}")
        _write(f"  terms: {' / '.join(tokenize(query))}")
        hits = index.search(query, args.top_k)
        for rank, hit in enumerate(hits, 1):
            _write(f"  {rank}. {hit.score:.4f}  {hit.text}")
        if not hits:
            _write("  (no paragraph shares a term with the query)")
    return 0


# --------------------------------------------------------------------------
# The command line


def _add_resource_options(parser: argparse.ArgumentParser) -> None:
    group = parser.add_argument_group("resources (default: the shipped ones)")
    group.add_argument("--resources", metavar="DIR", help="a directory written by build-resources")
    group.add_argument("--dict", metavar="FILE", help="main dictionary")
    group.add_argument("--hmm", metavar="FILE", help="HMM model")
    group.add_argument("--user-dict", metavar="FILES", help="user dictionaries, separated by '|' or ';' ('' for none)")
    group.add_argument("--idf", metavar="FILE", help="IDF table")
    group.add_argument("--stop-words", metavar="FILE", help="stop-word list")


def _add_term_options(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("--search", action="store_true", help="use the query cut (adds sub-words of long words)")
    parser.add_argument("--keep-stop-words", action="store_true", help="keep stop words as terms")
    parser.add_argument(
        "--pretokenized", action="store_true", help="input is already segmented: terms are separated by white space"
    )
    _add_resource_options(parser)


def _add_bm25_options(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("--b", type=float, default=0.75, help="length normalisation (default 0.75)")
    parser.add_argument("--k1", type=float, default=1.2, help="term-frequency saturation (default 1.2)")


def build_parser() -> argparse.ArgumentParser:
    parser = _Parser(prog=PROG, description="Chinese word segmentation and BM25 sparse vectors.")
    sub = parser.add_subparsers(dest="command", metavar="COMMAND", parser_class=_Parser)
    sub.required = True

    p = sub.add_parser("cut", help="cut lines into words", description="Cut each input line into words.")
    p.add_argument("files", nargs="*", metavar="FILE", help="input files (default: standard input)")
    p.add_argument("--search", action="store_true", help="the query cut: long words and their sub-words")
    p.add_argument("--delimiter", default=" / ", help="between words (default ' / ')")
    p.add_argument("--json", action="store_true", help="print each line's words as a JSON list")
    _add_resource_options(p)
    p.set_defaults(run=cmd_cut)

    p = sub.add_parser("index", help="train BM25 on documents and save the model",
                       description="Cut each input line (one document a line), train BM25 and dump the model.")
    p.add_argument("files", nargs="*", metavar="FILE", help="input files (default: standard input)")
    p.add_argument("-o", "--output", required=True, metavar="MODEL", help="model file to write")
    _add_bm25_options(p)
    _add_term_options(p)
    p.set_defaults(run=cmd_index)

    p = sub.add_parser("encode", help="encode lines into sparse vectors (JSON lines)",
                       description="Encode each input line as a document or a query: one JSON object a line.")
    p.add_argument("files", nargs="*", metavar="FILE", help="input files (default: standard input)")
    p.add_argument("-m", "--model", required=True, metavar="MODEL", help="model file written by index")
    kind = p.add_mutually_exclusive_group(required=True)
    kind.add_argument("--query", action="store_true", help="encode queries (idf weights)")
    kind.add_argument("--document", action="store_true", help="encode documents (term-frequency weights)")
    _add_term_options(p)
    p.set_defaults(run=cmd_encode)

    p = sub.add_parser("search", help="rank the lines of a corpus against queries",
                       description="Rank the lines of CORPUS against each query by the dot product of "
                                   "their sparse vectors. Queries come from the command line or, "
                                   "if none is given, one a line from standard input.")
    p.add_argument("corpus", metavar="CORPUS", help="one document a line")
    p.add_argument("queries", nargs="*", metavar="QUERY")
    p.add_argument("-k", "--top-k", type=int, default=10, help="results per query (default 10)")
    p.add_argument("-m", "--model", metavar="MODEL", help="use this model instead of training on CORPUS")
    p.add_argument("--json", action="store_true", help="one JSON object per query")
    _add_bm25_options(p)
    _add_term_options(p)
    p.set_defaults(run=cmd_search)

    p = sub.add_parser("build-resources", help="build the five resource files",
                       description="Build dictionary, HMM model, user dictionary, IDF table and stop words.")
    source = p.add_mutually_exclusive_group(required=True)
    source.add_argument("--corpus", nargs="+", metavar="FILE", help="segmented text or CoNLL-U files")
    source.add_argument("--frequencies", nargs="+", metavar="FILE", help="'word frequency [tag]' lists")
    p.add_argument("-o", "--output", required=True, metavar="DIR", help="directory to write")
    p.add_argument("--format", choices=("auto", "text", "conllu"), default="auto",
                   help="corpus format (default: by the .conllu suffix)")
    p.add_argument("--idf-unit", choices=("sentence", "document"), default="sentence",
                   help="what counts as a document for the IDF of a corpus (default sentence)")
    p.add_argument("--stop-words", metavar="FILE", help="stop words, one a line (default: the built-in list)")
    p.add_argument("--user-words", metavar="FILE", help="user dictionary lines to ship (default: none)")
    p.add_argument("--min-frequency", type=float, metavar="N",
                   help="leave rarer words out of the dictionary (default 1 for a corpus, 0 for lists)")
    p.add_argument("--smoothing", type=float, default=1.0, help="additive smoothing of the HMM (default 1)")
    p.add_argument("--default-tag", default="x", help="tag of words given without one (default x)")
    p.add_argument("--skip-bad-lines", action="store_true", help="report bad input lines and go on without them")
    p.add_argument("--no-check", action="store_true", help="do not load the result into vivividodor.Jieba")
    bar = p.add_mutually_exclusive_group()
    bar.add_argument("--progress", dest="progress", action="store_true", default=None, help="always show progress")
    bar.add_argument("--no-progress", dest="progress", action="store_false", help="never show progress")
    p.set_defaults(run=cmd_build)

    p = sub.add_parser("demo", help="index the sample corpus and answer a few queries",
                       description="Index the sample corpus with the shipped resources and answer queries.")
    p.add_argument("queries", nargs="*", metavar="QUERY", help="your own queries (default: a few built in)")
    p.add_argument("-k", "--top-k", type=int, default=3, help="results per query (default 3)")
    p.set_defaults(run=cmd_demo, search=True, keep_stop_words=False, pretokenized=False,
                   resources=None, dict=None, hmm=None, user_dict=None, idf=None, stop_words=None)
    return parser


def _parse(parser: argparse.ArgumentParser, argv: Optional[Sequence[str]]) -> argparse.Namespace:
    """Like parse_args, but words after options still count as input files or
    queries (`search CORPUS -k 3 QUERY`), which argparse alone refuses once the
    positional list has been taken."""
    args, extras = parser.parse_known_args(argv)
    target = getattr(args, "queries", getattr(args, "files", None))
    options = [e for e in extras if e.startswith("-") and e != "-"]
    if options or (extras and target is None):
        parser.error(f"unrecognized arguments: {' '.join(options or extras)}")
    if extras:
        target.extend(extras)
    return args


def _silence_stdout() -> None:
    """After the reader of our output went away, let the interpreter's final
    flush go nowhere instead of failing."""
    try:
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, sys.stdout.fileno())
    except (OSError, ValueError, AttributeError):
        pass


def main(argv: Optional[Sequence[str]] = None) -> int:
    parser = build_parser()
    try:
        args = _parse(parser, argv)
    except SystemExit as exit_:
        return int(exit_.code or 0) if not isinstance(exit_.code, str) else 2
    try:
        return args.run(args)
    except (CommandError, builder.BuildError) as exc:
        message = str(exc)
    except RuntimeError as exc:  # the engine's errors, e.g. resources that do not load
        message = str(exc)
    except BrokenPipeError:
        _silence_stdout()
        return 0
    except OSError as exc:
        message = f"{str(exc.filename) + ': ' if exc.filename else ''}{exc.strerror or exc}"
    except KeyboardInterrupt:
        return 130
    one_line = " ".join(part.strip() for part in message.splitlines() if part.strip())
    print(f"{PROG}: error: {one_line}", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
