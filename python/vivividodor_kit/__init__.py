"""Pure-Python companion of the `vivividodor` module: the shipped default
resources, a builder for new ones, retrieval helpers and the `vivividodor`
command.

    import vivividodor
    from vivividodor_kit import default_paths

    jieba = vivividodor.Jieba(*default_paths())
    jieba.cut("今天天气很好")
"""

from .builder import (
    BuildError,
    BuildReport,
    InputError,
    LineProblem,
    ResourceCheckError,
    build_from_corpus,
    build_from_frequencies,
    check_resources,
)
from .formats import ResourceFormatError
from .paths import ResourcePaths, default_paths, resource_paths
from .retrieval import Hit, SparseIndex, Tokenizer, is_term, sparse_dot, whitespace_tokens
from .stopwords import builtin_stop_words

__all__ = [
    "BuildError",
    "BuildReport",
    "Hit",
    "InputError",
    "LineProblem",
    "ResourceCheckError",
    "ResourceFormatError",
    "ResourcePaths",
    "SparseIndex",
    "Tokenizer",
    "build_from_corpus",
    "build_from_frequencies",
    "builtin_stop_words",
    "check_resources",
    "default_paths",
    "is_term",
    "resource_paths",
    "sparse_dot",
    "whitespace_tokens",
]
