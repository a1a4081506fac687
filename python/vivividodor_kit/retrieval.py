"""Text to BM25 sparse vectors and ranking by sparse dot product."""

from __future__ import annotations

import heapq
import unicodedata
from typing import Callable, Dict, Iterable, List, Mapping, NamedTuple, Optional, Sequence

import vivividodor

from . import _native, formats
from .paths import ResourcePaths, default_paths

SparseVector = Mapping[str, float]


def is_term(token: str) -> bool:
    """Whether a token is worth indexing: it holds a letter or a digit."""
    return any(unicodedata.category(c)[0] in "LN" for c in token)


class Tokenizer:
    """Cuts text with `vivividodor.Jieba` and keeps the terms.

    `search` uses the query cut (long words plus their dictionary sub-words);
    `drop_stop_words` removes the words of the resources' stop-word list.
    Tokens without a letter or digit (spaces, punctuation) are always dropped.
    """

    def __init__(
        self,
        paths: Optional[Sequence[str]] = None,
        *,
        search: bool = False,
        drop_stop_words: bool = True,
    ):
        self.paths = ResourcePaths(*(paths if paths is not None else default_paths()))
        self.jieba, _ = _native.load_jieba(self.paths)
        self._cut = self.jieba.cut_for_search if search else self.jieba.cut
        self.stop_words = (
            frozenset(formats.read_stop_words(self.paths.stop_word_path)) if drop_stop_words else frozenset()
        )

    def cut(self, text: str) -> List[str]:
        """Every word of the cut, spaces and punctuation included."""
        return self._cut(text)

    def __call__(self, text: str) -> List[str]:
        return [w for w in self._cut(text) if is_term(w) and w not in self.stop_words]


def whitespace_tokens(text: str) -> List[str]:
    """Tokens of text that is already segmented: the fields between white space."""
    return [w for w in text.split() if is_term(w)]


def sparse_dot(a: SparseVector, b: SparseVector) -> float:
    if len(a) > len(b):
        a, b = b, a
    return sum(weight * b[key] for key, weight in a.items() if key in b)


class Hit(NamedTuple):
    score: float
    index: int  # position of the document in the indexed sequence, from 0
    text: str


class SparseIndex:
    """A BM25 model and the encoded documents of a corpus.

    Build it with `fit` (train on the documents, then encode them) or pass a
    loaded model and call `add` to only encode. Documents without any term
    are kept in their place but never match.
    """

    def __init__(self, tokenize: Callable[[str], List[str]], model=None, *, b: float = 0.75, k1: float = 1.2):
        self.tokenize = tokenize
        self.model = model if model is not None else vivividodor.BM25(b, k1)
        self.texts: List[str] = []
        self.vectors: List[Dict[str, float]] = []

    def fit(self, documents: Iterable[str]) -> int:
        """Train the model on the documents and index them; returns how many
        documents had terms."""
        texts = list(documents)
        token_lists = [self.tokenize(t) for t in texts]
        trained = 0
        for tokens in token_lists:
            if tokens:
                self.model.train(tokens)
                trained += 1
        if trained == 0:
            raise ValueError("no document has any term to index")
        self._encode(texts, token_lists)
        return trained

    def add(self, documents: Iterable[str]) -> None:
        """Index documents with the model as it is (no training)."""
        texts = list(documents)
        self._encode(texts, [self.tokenize(t) for t in texts])

    def _encode(self, texts: List[str], token_lists: List[List[str]]) -> None:
        for text, tokens in zip(texts, token_lists):
            self.texts.append(text)
            self.vectors.append(self.model.encode_document(tokens))

    def query_vector(self, query: str) -> Dict[str, float]:
        return self.model.encode_query(self.tokenize(query))

    def search(self, query: str, top_k: int = 10) -> List[Hit]:
        """The `top_k` documents sharing a term with the query, best first
        (ties in document order)."""
        q = self.query_vector(query)
        if not q or top_k <= 0:
            return []
        scored = (
            (sparse_dot(q, vector), i)
            for i, vector in enumerate(self.vectors)
            if any(key in vector for key in q)
        )
        best = heapq.nsmallest(top_k, scored, key=lambda pair: (-pair[0], pair[1]))
        return [Hit(score, i, self.texts[i]) for score, i in best]
