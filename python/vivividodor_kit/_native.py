"""Building the native tokenizer, and the capture of what its loaders write on
the process's standard error."""

from __future__ import annotations

import contextlib
import os
import sys
import tempfile
from typing import Iterator, List

import vivividodor


@contextlib.contextmanager
def captured_stderr() -> Iterator[List[str]]:
    """Redirect file descriptor 2 for the duration of the block; afterwards
    the list holds the captured text as its one element. The native loaders
    log there directly, bypassing sys.stderr."""
    result: List[str] = []
    sys.stderr.flush()
    saved = os.dup(2)
    try:
        with tempfile.TemporaryFile() as sink:
            os.dup2(sink.fileno(), 2)
            try:
                yield result
            finally:
                sys.stderr.flush()
                os.dup2(saved, 2)
                sink.seek(0)
                result.append(sink.read().decode("utf-8", "replace"))
    finally:
        os.close(saved)


def first_line(text: str) -> str:
    for line in text.splitlines():
        if line.strip():
            return line.strip()
    return ""


def load_jieba(paths):
    """Build a Jieba from five paths. Raises RuntimeError carrying the engine's
    own log line when the resources do not load; returns (jieba, log text)."""
    with captured_stderr() as log:
        try:
            jieba = vivividodor.Jieba(*paths)
        except Exception as exc:  # the engine's failure type is its own choice
            failure = exc
        else:
            failure = None
    text = log[0]
    if failure is not None:
        detail = first_line(str(failure)) or first_line(text) or type(failure).__name__
        raise RuntimeError(f"the resources do not load: {detail}") from failure
    return jieba, text
