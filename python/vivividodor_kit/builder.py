"""Builds the five resource files of `vivividodor.Jieba` from data.

Two kinds of source:

- a segmented corpus (one sentence a line, words separated by white space, or
  CoNLL-U): word counts give the dictionary, the B/E/M/S position of every
  character gives the HMM, and the sentences or documents give the IDF table;
- a word-frequency list ("word frequency [tag]" a line): the dictionary
  directly, an HMM estimated from the frequency-weighted words themselves, and
  IDF values from the words' shares of the total frequency.

Stop words come from a file or from the built-in list. All five files are
written to a scratch directory, read back with the loaders' rules, loaded into
`vivividodor.Jieba`, and only then moved into the output directory, so a failed
build leaves the output directory as it was.
"""

from __future__ import annotations

import math
import os
import re
import shutil
import sys
import tempfile
from collections import Counter, defaultdict
from dataclasses import dataclass, field
from pathlib import Path
from typing import Callable, Dict, Iterator, List, Optional, Sequence, Tuple, Union

from . import formats
from ._native import load_jieba
from .formats import B, E, M, S, HmmParameters
from .paths import RESOURCE_FILE_NAMES, ResourcePaths, resource_paths
from .stopwords import builtin_stop_words

PathLike = Union[str, os.PathLike]
Sources = Union[PathLike, Sequence[PathLike]]
Reporter = Callable[[str], None]

# Inputs at least this large get a progress bar (when stderr is a terminal).
PROGRESS_THRESHOLD_BYTES = 1 << 20

# Word shapes allow only these moves: a word starts in B or S, B is followed
# by M or E, M by M or E, and a word end (E or S) by the start of the next.
ALLOWED_START = (B, S)
ALLOWED_NEXT = {B: (E, M), E: (B, S), M: (E, M), S: (B, S)}

# Sentences the load check cuts; every cut must give the sentence back.
CHECK_SENTENCES = (
    "今天天气很好，我们去公园散步。",
    "Python 3.11 和 C++17 都能调用这个模块。",
    "",
)


class BuildError(Exception):
    """The resources could not be built; nothing was written."""


class InputError(BuildError):
    """Input lines that cannot be used. `problems` lists them all."""

    def __init__(self, problems: Sequence["LineProblem"]):
        self.problems = list(problems)
        first = self.problems[0]
        more = len(self.problems) - 1
        message = str(first)
        if more:
            message += f" (and {more} more bad line{'s' if more > 1 else ''})"
        super().__init__(message + "; nothing was written")


class ResourceCheckError(BuildError):
    """The written files did not pass the load check."""


@dataclass(frozen=True)
class LineProblem:
    path: str
    line: int
    message: str

    def __str__(self) -> str:
        return f"{self.path}:{self.line}: {self.message}"


@dataclass
class BuildReport:
    """What a build wrote. `paths` can be passed to ``Jieba(*paths)``."""

    paths: ResourcePaths
    words: int
    left_out_words: int
    min_frequency: float
    characters: int
    idf_units: int
    idf_unit: str
    stop_words: int
    user_words: int
    skipped: List[LineProblem] = field(default_factory=list)
    checked: bool = False

    def summary(self) -> str:
        parts = [f"{self.words} words"]
        if self.left_out_words:
            rule = (
                f"below frequency {formats.format_frequency(self.min_frequency)}"
                if self.min_frequency > 0
                else "with frequency 0"
            )
            parts[0] += f" ({self.left_out_words} {rule} left out)"
        parts.append(f"{self.characters} characters in the HMM")
        parts.append(f"IDF from {self.idf_units} {self.idf_unit}{'' if self.idf_units == 1 else 's'}")
        parts.append(f"{self.stop_words} stop words")
        if self.user_words:
            parts.append(f"{self.user_words} user words")
        if self.skipped:
            parts.append(f"{len(self.skipped)} bad lines left out")
        checked = "loaded into vivividodor.Jieba" if self.checked else "NOT checked with vivividodor.Jieba"
        directory = os.path.dirname(self.paths.dict_path)
        return f"wrote {directory}: " + ", ".join(parts) + f"; {checked}"


# --------------------------------------------------------------------------
# Reading input lines


class _Problems:
    """Collects bad input lines; in skipping mode reports each one as it goes."""

    def __init__(self, skip: bool, report: Reporter):
        self.skip = skip
        self.report = report
        self.items: List[LineProblem] = []

    def add(self, path: PathLike, line: int, message: str, what: str = "line") -> None:
        problem = LineProblem(str(path), line, message)
        self.items.append(problem)
        if self.skip:
            self.report(f"warning: {problem}; {what} left out")

    def raise_if_fatal(self) -> None:
        if self.items and not self.skip:
            raise InputError(self.items)


def _stderr_report(message: str) -> None:
    print(message, file=sys.stderr)


class _NoBar:
    def update(self, n: int) -> None:
        pass

    def close(self) -> None:
        pass


def _progress_bar(total: int, desc: str, progress: Optional[bool]):
    show = progress if progress is not None else (
        total >= PROGRESS_THRESHOLD_BYTES and sys.stderr.isatty()
    )
    if not show:
        return _NoBar()
    from tqdm import tqdm

    return tqdm(total=total, desc=desc, unit="B", unit_scale=True, leave=False, file=sys.stderr)


def _as_list(sources: Sources) -> List[str]:
    if isinstance(sources, (str, os.PathLike)):
        return [os.fspath(sources)]
    result = [os.fspath(s) for s in sources]
    if not result:
        raise BuildError("no input file given")
    return result


def numbered_lines(
    path: PathLike, progress: Optional[bool] = None
) -> Iterator[Tuple[int, Optional[str], Optional[str]]]:
    """(line number, text, problem) for every line of a UTF-8 file. The text
    has its line end (LF or CRLF) and a leading byte-order mark removed; a
    line that is not UTF-8 comes with text None and the problem."""
    try:
        size = os.path.getsize(path)
        handle = open(path, "rb")
    except OSError as exc:
        raise BuildError(f"cannot read {path}: {exc.strerror or exc}") from None
    bar = _progress_bar(size, os.path.basename(os.fspath(path)), progress)
    try:
        with handle:
            for number, raw in enumerate(handle, 1):
                bar.update(len(raw))
                if raw.endswith(b"\n"):
                    raw = raw[:-1]
                    if raw.endswith(b"\r"):
                        raw = raw[:-1]
                if number == 1 and raw.startswith(b"\xef\xbb\xbf"):
                    raw = raw[3:]
                try:
                    yield number, raw.decode("utf-8"), None
                except UnicodeDecodeError as exc:
                    yield number, None, f"not valid UTF-8 (byte {exc.start + 1} of the line)"
    finally:
        bar.close()


# A sentence: its words with their tags (None when the source gives none),
# and whether it starts a new document.
Sentence = Tuple[List[Tuple[str, Optional[str]]], bool]


def read_text_corpus(path: PathLike, problems: _Problems, progress: Optional[bool]) -> Iterator[Sentence]:
    """One sentence a line, words separated by white space; an empty line
    separates documents."""
    new_document = True
    for number, text, problem in numbered_lines(path, progress):
        if problem is None and text is not None and not text.strip():
            new_document = True
            continue
        if problem is None:
            words = text.split()
            problem = next(filter(None, (formats.word_problem(w) for w in words)), None)
        if problem is not None:
            problems.add(path, number, problem)
            continue
        yield [(w, None) for w in words], new_document
        new_document = False


_CONLLU_RANGE = re.compile(r"[0-9]+-[0-9]+\Z")
_CONLLU_EMPTY_NODE = re.compile(r"[0-9]+\.[0-9]+\Z")
_CONLLU_NEWDOC = re.compile(r"#\s*newdoc(?:\s|\Z)")


def read_conllu_corpus(path: PathLike, problems: _Problems, progress: Optional[bool]) -> Iterator[Sentence]:
    """CoNLL-U: words from the FORM column of the word lines, tags from UPOS;
    "# newdoc" comments start documents. A sentence with a bad line is left
    out whole, since its character positions would no longer be right."""
    words: List[Tuple[str, Optional[str]]] = []
    bad = False
    new_document = True
    for number, text, problem in numbered_lines(path, progress):
        if problem is None and text is not None:
            if not text.strip():
                if words and not bad:
                    yield words, new_document
                    new_document = False
                words, bad = [], False
                continue
            if text.startswith("#"):
                if _CONLLU_NEWDOC.match(text):
                    new_document = True
                continue
            columns = text.split("\t")
            if len(columns) != 10:
                problem = f"expected 10 tab-separated columns, got {len(columns)}"
            elif _CONLLU_RANGE.match(columns[0]) or _CONLLU_EMPTY_NODE.match(columns[0]):
                continue
            elif not (columns[0].isascii() and columns[0].isdigit()):
                problem = f"bad word ID {columns[0]!r}"
            else:
                form, upos = columns[1], columns[3]
                problem = formats.word_problem(form)
                tag = None if upos == "_" else upos
                if problem is None and tag is not None:
                    problem = formats.tag_problem(tag)
                if problem is None:
                    words.append((form, tag))
                    continue
        problems.add(path, number, problem, what="its sentence")
        bad = True
    if words and not bad:
        yield words, new_document


def read_frequency_list(
    path: PathLike, problems: _Problems, progress: Optional[bool]
) -> Iterator[Tuple[str, float, Optional[str]]]:
    """(word, frequency, tag or None) for each line "word frequency [tag]",
    fields separated by tabs or spaces; empty lines are skipped."""
    for number, text, problem in numbered_lines(path, progress):
        if problem is None and text is not None:
            if not text.strip(" \t"):
                continue
            fields = [f for f in re.split(r"[ \t]+", text.strip(" \t"))]
            if len(fields) not in (2, 3):
                problem = f"expected 'word frequency [tag]', got {len(fields)} fields"
            else:
                word, freq_text = fields[0], fields[1]
                tag = fields[2] if len(fields) == 3 else None
                freq = formats.parse_frequency(freq_text)
                problem = formats.word_problem(word)
                if problem is None and freq is None:
                    problem = f"frequency {freq_text!r} is not a non-negative number"
                if problem is None and tag is not None:
                    problem = formats.tag_problem(tag)
                if problem is None:
                    yield word, freq, tag
                    continue
        problems.add(path, number, problem)


def read_stop_word_file(path: PathLike, problems: _Problems) -> List[str]:
    """One stop word a line; surrounding white space and empty lines ignored."""
    words: List[str] = []
    for number, text, problem in numbered_lines(path, progress=False):
        if problem is None and text is not None:
            word = text.strip()
            if not word:
                continue
            problem = formats.word_problem(word)
            if problem is None:
                words.append(word)
                continue
        problems.add(path, number, problem)
    return list(dict.fromkeys(words))


def read_user_words(
    path: PathLike, problems: _Problems
) -> List[Tuple[str, Optional[int], Optional[str]]]:
    """User dictionary lines: "word", "word tag" or "word frequency tag"."""
    entries: List[Tuple[str, Optional[int], Optional[str]]] = []
    for number, text, problem in numbered_lines(path, progress=False):
        if problem is None and text is not None:
            if not text.strip(" \t"):
                continue
            fields = re.split(r"[ \t]+", text.strip(" \t"))
            freq: Optional[int] = None
            tag: Optional[str] = None
            if len(fields) > 3:
                problem = f"expected 'word [frequency] [tag]', got {len(fields)} fields"
            else:
                problem = formats.word_problem(fields[0])
                if problem is None and len(fields) == 3:
                    if fields[1].isascii() and fields[1].isdigit() and 0 < int(fields[1]) < 2**31:
                        freq = int(fields[1])
                    else:
                        problem = f"frequency {fields[1]!r} is not a positive whole number"
                if problem is None and len(fields) >= 2:
                    tag = fields[-1]
                    problem = formats.tag_problem(tag)
            if problem is None:
                entries.append((fields[0], freq, tag))
                continue
        problems.add(path, number, problem)
    return entries


# --------------------------------------------------------------------------
# Estimating the model


def labels(length: int) -> List[int]:
    """The states of a word's characters: S alone, else B, M..., E."""
    if length == 1:
        return [S]
    return [B] + [M] * (length - 2) + [E]


class HmmCounts:
    """Weighted counts of starts, transitions and emissions."""

    def __init__(self) -> None:
        self.start = [0.0] * 4
        self.transitions = [[0.0] * 4 for _ in range(4)]
        self.emissions: List[Counter] = [Counter() for _ in range(4)]

    def _emit(self, word: str, states: List[int], weight: float) -> None:
        for char, state in zip(word, states):
            # ASCII never reaches the model: the segmenter groups it by rule.
            if ord(char) >= 0x80:
                self.emissions[state][char] += weight

    def add_word(self, word: str, weight: float = 1.0) -> None:
        """A word on its own: its emissions and the moves inside it."""
        states = labels(len(word))
        self._emit(word, states, weight)
        for a, b in zip(states, states[1:]):
            self.transitions[a][b] += weight

    def add_sentence(self, words: Sequence[str], weight: float = 1.0) -> None:
        """A segmented sentence: also its first state and the moves between words."""
        states: List[int] = []
        for word in words:
            word_states = labels(len(word))
            self._emit(word, word_states, weight)
            states.extend(word_states)
        if not states:
            return
        self.start[states[0]] += weight
        for a, b in zip(states, states[1:]):
            self.transitions[a][b] += weight

    def add_word_boundaries(self, single: float, longer: float) -> None:
        """Starts and word-to-word moves from the length distribution: the next
        word is one character long with the share `single` of the weight."""
        for row in (self.start, self.transitions[E], self.transitions[S]):
            row[S] += single
            row[B] += longer

    def characters(self) -> List[str]:
        chars = set()
        for emission in self.emissions:
            chars.update(emission)
        return sorted(chars)

    def parameters(self, smoothing: float) -> HmmParameters:
        """Log probabilities with additive smoothing: every move a word shape
        allows gets some probability, and every character seen in any state
        gets an emission in all four states."""
        if not smoothing > 0:
            raise BuildError("the smoothing constant must be positive")
        start = _log_distribution(self.start, ALLOWED_START, smoothing)
        transitions = [_log_distribution(self.transitions[s], ALLOWED_NEXT[s], smoothing) for s in range(4)]
        chars = self.characters()
        if not chars:
            raise BuildError("the input holds no non-ASCII character, so the HMM would have no emissions")
        emissions: List[Dict[str, float]] = []
        for counts in self.emissions:
            total = math.fsum(counts.values()) + smoothing * len(chars)
            emissions.append({c: math.log((counts[c] + smoothing) / total) for c in chars})
        return HmmParameters(start, transitions, emissions)


def _log_distribution(counts: Sequence[float], allowed: Sequence[int], smoothing: float) -> List[float]:
    total = math.fsum(counts[i] for i in allowed) + smoothing * len(allowed)
    return [
        math.log((counts[i] + smoothing) / total) if i in allowed else formats.IMPOSSIBLE
        for i in range(4)
    ]


def _tag_of(tags: Counter, default_tag: str) -> str:
    if not tags:
        return default_tag
    best = max(tags.values())
    return min(t for t, n in tags.items() if n == best)


# --------------------------------------------------------------------------
# The two builders


def build_from_corpus(
    corpus: Sources,
    output_dir: PathLike,
    *,
    corpus_format: str = "auto",
    idf_unit: str = "sentence",
    stop_words: Optional[PathLike] = None,
    user_words: Optional[PathLike] = None,
    min_frequency: float = 1,
    smoothing: float = 1.0,
    default_tag: str = formats.DEFAULT_TAG,
    skip_bad_lines: bool = False,
    check: bool = True,
    progress: Optional[bool] = None,
    report: Reporter = _stderr_report,
) -> BuildReport:
    """Build the five resources from segmented text or CoNLL-U files.

    `corpus_format` is "text", "conllu" or "auto" (by the ".conllu" suffix).
    `idf_unit` is "sentence" or "document" (documents: paragraphs separated by
    empty lines in text, "# newdoc" in CoNLL-U). Words seen fewer than
    `min_frequency` times stay out of the dictionary (they still train the
    HMM). Bad lines raise `InputError`, or with `skip_bad_lines` are reported
    through `report` and left out. With `check` the files must load into
    `vivividodor.Jieba` before anything is moved into `output_dir`.
    """
    if idf_unit not in ("sentence", "document"):
        raise BuildError(f"unknown IDF unit {idf_unit!r}: use 'sentence' or 'document'")
    if corpus_format not in ("auto", "text", "conllu"):
        raise BuildError(f"unknown corpus format {corpus_format!r}: use 'auto', 'text' or 'conllu'")
    _check_options(min_frequency, smoothing, default_tag)
    problems = _Problems(skip_bad_lines, report)
    counts: Counter = Counter()
    tags: Dict[str, Counter] = defaultdict(Counter)
    hmm = HmmCounts()
    document_frequency: Counter = Counter()
    units = 0
    unit_words: set = set()

    def close_unit() -> None:
        nonlocal units, unit_words
        if unit_words:
            document_frequency.update(unit_words)
            units += 1
        unit_words = set()

    for path in _as_list(corpus):
        fmt = corpus_format
        if fmt == "auto":
            fmt = "conllu" if str(path).lower().endswith(".conllu") else "text"
        reader = read_conllu_corpus if fmt == "conllu" else read_text_corpus
        close_unit()  # a file never continues the previous file's document
        for sentence, new_document in reader(path, problems, progress):
            if idf_unit == "sentence" or new_document:
                close_unit()
            words = [w for w, _ in sentence]
            counts.update(words)
            for word, tag in sentence:
                if tag is not None:
                    tags[word][tag] += 1
            hmm.add_sentence(words)
            unit_words.update(words)
    close_unit()
    problems.raise_if_fatal()
    if idf_unit == "document" and units == 1:
        report("warning: the corpus is a single document, so every IDF value is 0 "
               "(documents are separated by empty lines, or by '# newdoc' in CoNLL-U)")

    dictionary = _dictionary_entries(counts, tags, min_frequency, default_tag)
    idf = [(word, math.log(units / document_frequency[word])) for word, _, _ in dictionary]
    return _finish(
        output_dir, dictionary, len(counts) - len(dictionary), min_frequency, hmm, smoothing,
        idf, units, idf_unit, stop_words, user_words, problems, check,
    )


def build_from_frequencies(
    word_lists: Sources,
    output_dir: PathLike,
    *,
    stop_words: Optional[PathLike] = None,
    user_words: Optional[PathLike] = None,
    min_frequency: float = 0,
    smoothing: float = 1.0,
    default_tag: str = formats.DEFAULT_TAG,
    skip_bad_lines: bool = False,
    check: bool = True,
    progress: Optional[bool] = None,
    report: Reporter = _stderr_report,
) -> BuildReport:
    """Build the five resources from word-frequency lists.

    A word listed more than once has its frequencies added up. Words whose
    frequency is 0 or below `min_frequency` stay out of the dictionary; every
    word trains the HMM in proportion to its frequency: emissions from each
    character's position in the word, moves from the word-length
    distribution. The IDF of a word is ln(total frequency / its frequency).
    Other options as for `build_from_corpus`.
    """
    _check_options(min_frequency, smoothing, default_tag)
    problems = _Problems(skip_bad_lines, report)
    counts: Counter = Counter()
    tags: Dict[str, Counter] = defaultdict(Counter)
    for path in _as_list(word_lists):
        for word, freq, tag in read_frequency_list(path, problems, progress):
            counts[word] += freq
            if tag is not None:
                tags[word][tag] += freq if freq > 0 else 1
    problems.raise_if_fatal()

    hmm = HmmCounts()
    single = longer = 0.0
    for word, freq in counts.items():
        if freq > 0:
            hmm.add_word(word, freq)
            if len(word) == 1:
                single += freq
            else:
                longer += freq
    hmm.add_word_boundaries(single, longer)
    total = single + longer
    if not math.isfinite(total):
        raise BuildError("the frequencies add up to more than a double holds")

    dictionary = _dictionary_entries(counts, tags, min_frequency, default_tag)
    idf = [(word, math.log(total / freq)) for word, freq, _ in dictionary]
    return _finish(
        output_dir, dictionary, len(counts) - len(dictionary), min_frequency, hmm, smoothing,
        idf, len(counts), "listed word", stop_words, user_words, problems, check,
    )


def _check_options(min_frequency: float, smoothing: float, default_tag: str) -> None:
    if not (isinstance(min_frequency, (int, float)) and math.isfinite(min_frequency) and min_frequency >= 0):
        raise BuildError(f"the minimum frequency must be a non-negative number, not {min_frequency!r}")
    if not (isinstance(smoothing, (int, float)) and math.isfinite(smoothing) and smoothing > 0):
        raise BuildError(f"the smoothing constant must be a positive number, not {smoothing!r}")
    problem = formats.tag_problem(default_tag)
    if problem:
        raise BuildError(f"bad default tag: {problem}")


def _dictionary_entries(
    counts: Counter, tags: Dict[str, Counter], min_frequency: float, default_tag: str
) -> List[Tuple[str, float, str]]:
    """Dictionary lines in code-point order. Frequency 0 never goes in: the
    engine would give it the weight minus infinity."""
    return [
        (word, freq, _tag_of(tags.get(word, Counter()), default_tag))
        for word, freq in sorted(counts.items())
        if freq > 0 and freq >= min_frequency
    ]


def _finish(
    output_dir: PathLike,
    dictionary: List[Tuple[str, float, str]],
    left_out: int,
    min_frequency: float,
    hmm: HmmCounts,
    smoothing: float,
    idf: List[Tuple[str, float]],
    units: int,
    unit_name: str,
    stop_words: Optional[PathLike],
    user_words: Optional[PathLike],
    problems: _Problems,
    check: bool,
) -> BuildReport:
    if not dictionary:
        raise BuildError("the input gives no word for the dictionary; nothing was written")
    stops = builtin_stop_words() if stop_words is None else read_stop_word_file(stop_words, problems)
    users = [] if user_words is None else read_user_words(user_words, problems)
    problems.raise_if_fatal()
    if not stops:
        raise BuildError(f"{stop_words}: no stop word in the file; nothing was written")
    model = hmm.parameters(smoothing)

    def write(directory: Path) -> ResourcePaths:
        paths = resource_paths(directory)
        formats.write_dictionary(paths.dict_path, dictionary)
        formats.write_hmm(paths.hmm_path, model)
        formats.write_user_dictionary(paths.user_dict_path, users)
        formats.write_idf(paths.idf_path, idf)
        formats.write_stop_words(paths.stop_word_path, stops)
        return paths

    final = write_checked(output_dir, write, check)
    return BuildReport(
        paths=final,
        words=len(dictionary),
        left_out_words=left_out,
        min_frequency=min_frequency,
        characters=len(hmm.characters()),
        idf_units=units,
        idf_unit=unit_name,
        stop_words=len(stops),
        user_words=len(users),
        skipped=list(problems.items),
        checked=check,
    )


# --------------------------------------------------------------------------
# Checking and moving into place


def validate_files(paths: ResourcePaths) -> None:
    """Read the five files back with the loaders' rules (see formats)."""
    formats.check_dictionary(paths.dict_path)
    formats.check_hmm(paths.hmm_path)
    formats.check_user_dictionary(paths.user_dict_path)
    formats.check_idf(paths.idf_path)
    formats.check_stop_words(paths.stop_word_path)


def check_resources(paths: Sequence[str]) -> None:
    """Load the five files into `vivividodor.Jieba` and cut a few sentences.

    Raises `ResourceCheckError` if the construction fails, the loaders log any problem, or a cut does not give its sentence
    back."""
    try:
        jieba, log = load_jieba(paths)
    except RuntimeError as exc:
        raise ResourceCheckError(str(exc)) from None
    logged = [line for line in log.splitlines() if line.strip()]
    if logged:
        raise ResourceCheckError(
            f"loading the resources logged {len(logged)} problem line(s), first: {logged[0]}"
        )
    for sentence in CHECK_SENTENCES:
        words = jieba.cut(sentence)
        if "".join(words) != sentence:
            raise ResourceCheckError(f"the loaded resources cut {sentence!r} into {words!r}")


def write_checked(output_dir: PathLike, write: Callable[[Path], ResourcePaths], check: bool) -> ResourcePaths:
    """Write into a scratch directory beside the output, validate, optionally
    load-check, then move the five files into `output_dir`."""
    output = Path(output_dir)
    try:
        output.mkdir(parents=True, exist_ok=True)
        scratch = Path(tempfile.mkdtemp(prefix=".building-", dir=output))
    except OSError as exc:
        raise BuildError(f"cannot write to {output}: {exc.strerror or exc}") from None
    try:
        try:
            paths = write(scratch)
        except OSError as exc:
            raise BuildError(f"cannot write to {output}: {exc.strerror or exc}") from None
        try:
            validate_files(paths)
        except formats.ResourceFormatError as exc:
            raise ResourceCheckError(f"a written file breaks its format: {exc}") from None
        if check:
            check_resources(paths)
        final = resource_paths(output)
        for name in RESOURCE_FILE_NAMES:
            os.replace(scratch / name, output / name)
        return final
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
