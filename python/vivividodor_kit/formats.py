"""Writers and checkers for the five resource files that `vivividodor.Jieba` reads.

The writers produce exactly the line layouts the native loaders accept; the
checkers read a file back with the same rules as those loaders (fields split at
single spaces, numbers read by prefix, lines ending at LF) and raise
`ResourceFormatError` naming the file and line of the first problem. The
checkers are stricter than the loaders where the loaders would quietly load
something other than what was meant (a frequency of 0, a user-dictionary line
with four fields, an empty stop word), because a file we write should mean
exactly what it says.
"""

from __future__ import annotations

import math
import re
from pathlib import Path
from typing import Dict, Iterable, Iterator, List, Optional, Sequence, Tuple, Union

PathLike = Union[str, "Path"]

# State order of the HMM file: every per-state line and column follows it.
STATES = "BEMS"
B, E, M, S = range(4)

# The score the engine gives an impossible event; written for transitions and
# start states that no word shape allows.
IMPOSSIBLE = -3.14e100
IMPOSSIBLE_TEXT = "-3.14e+100"

# Tag of a dictionary word whose source gave none.
DEFAULT_TAG = "x"

# ASCII white space as the engine's trimming sees it, plus the other C0
# controls, which have no business inside a word.
_CONTROL = {chr(c) for c in range(0x20)} | {" ", "\x7f"}
_BAD_IN_WORD = re.compile("[\x00-\x20\x7f\ufeff]")

# A decimal number as we write and accept it: no sign, no "inf"/"nan", no
# underscores or hex, which Python's float() would take but the engine's
# prefix conversion reads differently.
_DECIMAL = re.compile(r"(?:[0-9]+(?:\.[0-9]*)?|\.[0-9]+)(?:[eE][+-]?[0-9]+)?\Z")
_SIGNED_DECIMAL = re.compile(r"[+-]?(?:[0-9]+(?:\.[0-9]*)?|\.[0-9]+)(?:[eE][+-]?[0-9]+)?\Z")


class ResourceFormatError(ValueError):
    """A resource file, or a line meant for one, breaks its format."""

    def __init__(self, path: Optional[PathLike], line: Optional[int], message: str):
        self.path = None if path is None else str(path)
        self.line = line
        self.reason = message
        where = ""
        if self.path is not None:
            where = f"{self.path}:{line}: " if line is not None else f"{self.path}: "
        super().__init__(where + message)


# --------------------------------------------------------------------------
# Field checks shared by the builder (for input lines) and the checkers.


def word_problem(word: str) -> Optional[str]:
    """Why `word` cannot be a dictionary word, or None if it can."""
    if not word:
        return "empty word"
    if _BAD_IN_WORD.search(word) is None:
        return None
    if "\ufeff" in word:
        return f"word {word!r} contains a byte-order mark"
    shown = ", ".join(f"U+{ord(c):04X}" for c in sorted({c for c in word if c in _CONTROL}))
    return f"word {word!r} contains white space or control characters ({shown})"


def tag_problem(tag: str) -> Optional[str]:
    """Why `tag` cannot be a part-of-speech tag, or None if it can."""
    if not tag:
        return "empty tag"
    if _BAD_IN_WORD.search(tag):
        return f"tag {tag!r} contains white space or control characters"
    return None


def parse_frequency(text: str) -> Optional[float]:
    """A non-negative finite decimal number, or None if `text` is not one."""
    if not _DECIMAL.match(text):
        return None
    value = float(text)
    return value if math.isfinite(value) else None


def format_frequency(value: float) -> str:
    """Whole numbers without a fraction, others in their shortest exact form."""
    if float(value).is_integer() and abs(value) < 1e15:
        return str(int(value))
    return repr(float(value))


def format_log(value: float) -> str:
    """A log probability: the engine's impossible score, or six decimals."""
    if value == -math.inf or value <= IMPOSSIBLE:
        return IMPOSSIBLE_TEXT
    return f"{value:.6f}"


def format_idf(value: float) -> str:
    return f"{value:.6g}"


# --------------------------------------------------------------------------
# Writers. Each takes already-validated values; they only lay the lines out.


def _write_lines(path: PathLike, lines: Iterable[str]) -> int:
    count = 0
    with open(path, "w", encoding="utf-8", newline="\n") as out:
        for line in lines:
            out.write(line)
            out.write("\n")
            count += 1
    return count


def write_dictionary(path: PathLike, entries: Iterable[Tuple[str, float, str]]) -> int:
    """Main dictionary: "word frequency tag", one entry a line."""
    return _write_lines(path, (f"{w} {format_frequency(f)} {t}" for w, f, t in entries))


def write_user_dictionary(
    path: PathLike, entries: Iterable[Tuple[str, Optional[int], Optional[str]]]
) -> int:
    """User dictionary: "word", "word tag" or "word frequency tag"."""

    def line(word: str, freq: Optional[int], tag: Optional[str]) -> str:
        if freq is not None:
            return f"{word} {freq} {tag or DEFAULT_TAG}"
        return f"{word} {tag}" if tag else word

    return _write_lines(path, (line(*entry) for entry in entries))


class HmmParameters:
    """Log probabilities of the four-state model, states in B, E, M, S order."""

    def __init__(
        self,
        start: Sequence[float],
        transitions: Sequence[Sequence[float]],
        emissions: Sequence[Dict[str, float]],
    ):
        if len(start) != 4 or len(transitions) != 4 or len(emissions) != 4:
            raise ValueError("an HMM has four states")
        if any(len(row) != 4 for row in transitions):
            raise ValueError("every transition row has four entries")
        self.start = list(start)
        self.transitions = [list(row) for row in transitions]
        self.emissions = [dict(e) for e in emissions]


def write_hmm(path: PathLike, model: HmmParameters) -> None:
    """Nine significant lines: start, four transition rows, four emission maps."""
    lines: List[str] = [
        "# Four-state character model: B (word start), E (word end),",
        "# M (inside a word), S (one-character word). Natural logarithms;",
        f"# {IMPOSSIBLE_TEXT} marks what no word shape allows.",
        "# start probabilities: B E M S",
        " ".join(format_log(v) for v in model.start),
    ]
    for state, row in zip(STATES, model.transitions):
        lines.append(f"# transitions from {state} to: B E M S")
        lines.append(" ".join(format_log(v) for v in row))
    for state, emission in zip(STATES, model.emissions):
        for char in emission:
            if len(char) != 1 or char in ",:" or ord(char) < 0x80:
                raise ValueError(f"cannot write an emission for {char!r}")
        lines.append(f"# emissions of {state}: character:log probability")
        lines.append(",".join(f"{c}:{format_log(v)}" for c, v in sorted(emission.items())))
    _write_lines(path, lines)


def write_idf(path: PathLike, entries: Iterable[Tuple[str, float]]) -> int:
    """IDF table: "word value", one word a line."""
    return _write_lines(path, (f"{w} {format_idf(v)}" for w, v in entries))


def write_stop_words(path: PathLike, words: Iterable[str]) -> int:
    """Stop words, one a line, no empty line (it would make "" a stop word)."""
    return _write_lines(path, words)


# --------------------------------------------------------------------------
# Reading files back the way the engine does.


def engine_split(text: str, separators: str) -> List[str]:
    """Split at each separator character on its own; a separator at the very
    end gives no empty last field, two in a row give an empty one between."""
    if not text:
        return []
    if len(separators) == 1:
        fields = text.split(separators)
    else:
        fields = re.split("[" + re.escape(separators) + "]", text)
    if text[-1] in separators:
        fields.pop()
    return fields


def read_lines(path: PathLike) -> Iterator[Tuple[int, str]]:
    """(line number from 1, text) for each line up to each LF, as getline
    would: a final LF ends the last line rather than starting an empty one."""
    data = Path(path).read_bytes()
    if not data:
        return
    pieces = data.split(b"\n")
    if data.endswith(b"\n"):
        pieces.pop()
    for number, raw in enumerate(pieces, 1):
        try:
            yield number, raw.decode("utf-8")
        except UnicodeDecodeError:
            raise ResourceFormatError(path, number, "not valid UTF-8") from None


def _number_prefix(text: str) -> float:
    """What strtod would read from the start of `text` (0.0 for none)."""
    match = re.match(r"\s*([+-]?(?:[0-9]+(?:\.[0-9]*)?|\.[0-9]+)(?:[eE][+-]?[0-9]+)?)", text)
    return float(match.group(1)) if match else 0.0


def check_dictionary(path: PathLike) -> int:
    """Check a main dictionary; returns its number of entries."""
    total = 0.0
    count = 0
    for number, line in read_lines(path):
        fields = engine_split(line, " ")
        if len(fields) != 3:
            raise ResourceFormatError(path, number, f"expected 'word frequency tag', got {line!r}")
        word, freq_text, tag = fields
        problem = word_problem(word) or tag_problem(tag)
        if problem:
            raise ResourceFormatError(path, number, problem)
        freq = parse_frequency(freq_text)
        if freq is None or freq <= 0:
            raise ResourceFormatError(path, number, f"frequency {freq_text!r} is not a positive number")
        total += freq
        count += 1
    if count == 0:
        raise ResourceFormatError(path, None, "the dictionary has no entry")
    if not math.isfinite(total):
        raise ResourceFormatError(path, None, "the frequencies add up to more than a double holds")
    return count


def check_user_dictionary(path: PathLike) -> int:
    """Check a user dictionary; returns its number of words."""
    count = 0
    for number, line in read_lines(path):
        if not line:
            continue
        fields = engine_split(line, " ")
        if not 1 <= len(fields) <= 3:
            raise ResourceFormatError(path, number, f"expected 'word [frequency] [tag]', got {line!r}")
        problem = word_problem(fields[0])
        if problem is None and len(fields) >= 2:
            problem = tag_problem(fields[-1])
        if problem is None and len(fields) == 3 and not (
            fields[1].isdigit() and fields[1].isascii() and 0 < int(fields[1]) < 2**31
        ):
            problem = f"frequency {fields[1]!r} is not a positive whole number"
        if problem:
            raise ResourceFormatError(path, number, problem)
        count += 1
    return count


def _significant_lines(path: PathLike) -> Iterator[Tuple[int, str]]:
    for number, line in read_lines(path):
        text = line.strip(" \t\n\v\f\r")
        if text and not text.startswith("#"):
            yield number, text


def check_hmm(path: PathLike) -> HmmParameters:
    """Check an HMM model file and return what the engine would load from it.

    Beyond the layout, each row of probabilities must add up to 1 (within the
    rounding of the written values), since the segmenter compares sums of them.
    """
    lines = list(_significant_lines(path))
    if len(lines) < 9:
        raise ResourceFormatError(path, None, f"an HMM file needs nine lines of values, found {len(lines)}")
    rows: List[List[float]] = []
    for number, text in lines[:5]:
        fields = engine_split(text, " ")
        if len(fields) != 4 or not all(_SIGNED_DECIMAL.match(f) for f in fields):
            raise ResourceFormatError(path, number, f"expected four numbers, got {text!r}")
        rows.append([float(f) for f in fields])
        _check_distribution(path, number, rows[-1])
    emissions: List[Dict[str, float]] = []
    for number, text in lines[5:9]:
        emission: Dict[str, float] = {}
        for entry in engine_split(text, ","):
            parts = entry.split(":")
            if len(parts) != 2 or len(parts[0]) != 1 or not _SIGNED_DECIMAL.match(parts[1]):
                raise ResourceFormatError(path, number, f"bad emission entry {entry!r}")
            emission[parts[0]] = float(parts[1])
        _check_distribution(path, number, list(emission.values()))
        emissions.append(emission)
    return HmmParameters(rows[0], rows[1:5], emissions)


def _check_distribution(path: PathLike, number: int, logs: List[float]) -> None:
    if any(v > 1e-9 for v in logs):
        raise ResourceFormatError(path, number, "a log probability is above 0")
    mass = math.fsum(math.exp(v) for v in logs if v > IMPOSSIBLE)
    if abs(mass - 1.0) > 1e-3:
        raise ResourceFormatError(path, number, f"the probabilities add up to {mass:.6f}, not 1")


def check_idf(path: PathLike) -> int:
    """Check an IDF table; returns its number of words."""
    count = 0
    for number, line in read_lines(path):
        fields = engine_split(line, " ")
        if len(fields) != 2:
            raise ResourceFormatError(path, number, f"expected 'word value', got {line!r}")
        problem = word_problem(fields[0])
        if problem is None and not _SIGNED_DECIMAL.match(fields[1]):
            problem = f"value {fields[1]!r} is not a number"
        if problem:
            raise ResourceFormatError(path, number, problem)
        count += 1
    return count


def check_stop_words(path: PathLike) -> int:
    """Check a stop-word list; returns its number of words."""
    count = 0
    for number, line in read_lines(path):
        if not line:
            raise ResourceFormatError(path, number, "empty line (it would make the empty string a stop word)")
        if line != line.strip(" \t\v\f\r"):
            raise ResourceFormatError(path, number, f"stop word {line!r} has white space around it")
        count += 1
    return count


def read_dictionary_words(path: PathLike) -> Iterator[Tuple[str, float, str]]:
    """(word, frequency, tag) of every line of a checked main dictionary."""
    for _, line in read_lines(path):
        word, freq, tag = engine_split(line, " ")
        yield word, _number_prefix(freq), tag


def read_stop_words(path: PathLike) -> List[str]:
    return [line for _, line in read_lines(path)]
