"""Where the resource files live: the shipped defaults and the fixed file
names of a resource directory written by the builder."""

from __future__ import annotations

from pathlib import Path
from typing import NamedTuple, Union


class ResourcePaths(NamedTuple):
    """The five resource paths in the order `vivividodor.Jieba` takes them,
    so that ``Jieba(*paths)`` works."""

    dict_path: str
    hmm_path: str
    user_dict_path: str
    idf_path: str
    stop_word_path: str


# File names inside a resource directory, in constructor order.
RESOURCE_FILE_NAMES = ResourcePaths(
    dict_path="dictionary.txt",
    hmm_path="hmm_model.txt",
    user_dict_path="user_dictionary.txt",
    idf_path="idf.txt",
    stop_word_path="stop_words.txt",
)

DEFAULT_RESOURCE_DIR = Path(__file__).resolve().parent / "resources"


def resource_paths(directory: Union[str, Path]) -> ResourcePaths:
    """The five paths of a resource directory (whether or not they exist)."""
    base = Path(directory)
    return ResourcePaths(*(str(base / name) for name in RESOURCE_FILE_NAMES))


def default_paths() -> ResourcePaths:
    """The shipped resources: ``vivividodor.Jieba(*default_paths())``."""
    paths = resource_paths(DEFAULT_RESOURCE_DIR)
    missing = [p for p in paths if not Path(p).is_file()]
    if missing:
        raise FileNotFoundError(
            f"the default resources are missing from this installation: {', '.join(missing)}"
        )
    return paths
