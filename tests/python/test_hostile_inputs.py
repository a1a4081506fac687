"""Hostile inputs at the Python surface.

Every case ends in a clear Python exception or a correct result: no crash, no
hang, no memory that stays behind.
"""

import os
import random
import subprocess
import sys
import textwrap

import pytest

from vivividodor import BM25, Jieba

FIXTURES = os.path.join(os.path.dirname(__file__), "..", "fixtures")
PATHS = {
    "dict_path": os.path.join(FIXTURES, "jieba_dict.utf8"),
    "hmm_path": os.path.join(FIXTURES, "jieba_hmm_model.utf8"),
    "user_dict_path": os.path.join(FIXTURES, "jieba_user.utf8"),
    "idf_path": os.path.join(FIXTURES, "jieba_idf.utf8"),
    "stop_word_path": os.path.join(FIXTURES, "jieba_stop_words.utf8"),
}
SENTENCE = "今天天气真好，我们喜欢北京大学。"

GARBAGE = bytes(random.Random(5).randrange(256) for _ in range(4096))
# One line of about 50 MB: long fields between single spaces, no line feed.
LINE_50MB = ("词" * 1000 + " ") * 16_667


def rss_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


@pytest.fixture(scope="module")
def tokenizer():
    return Jieba(**PATHS)


@pytest.fixture(scope="module")
def resources(tmp_path_factory):
    """Hostile stand-ins for a resource file, by kind."""
    root = tmp_path_factory.mktemp("hostile")
    (root / "empty").write_bytes(b"")
    (root / "garbage").write_bytes(GARBAGE)
    (root / "line_50mb").write_text(LINE_50MB, encoding="utf-8")
    return {
        "directory": str(root),
        "empty": str(root / "empty"),
        "garbage": str(root / "garbage"),
        "50 MB line": str(root / "line_50mb"),
    }


READ_FAILED = r"^exp: \[!ifs\.bad\(\)\] false\. read .* failed$"
ANY_CHECK = r"^exp: \[.*\] false\. "
# What each resource argument does with each kind of file: the message of the
# RuntimeError it raises, or None when it builds a tokenizer that cuts right.
RESOURCE_CASES = {
    "dict_path": {
        "directory": READ_FAILED,
        "empty": r"^exp: \[!static_node_infos_\.empty\(\)\] false\. $",
        "garbage": ANY_CHECK,
        "50 MB line": r"^exp: \[buf\.size\(\) == DICT_COLUMN_NUM\] false\. split result illegal",
    },
    "hmm_path": {
        "directory": r"^exp: \[!ifile\.bad\(\)\] false\. read .* failed$",
        "empty": r"^exp: \[GetLine\(ifile, line\)\] false\. $",
        "garbage": ANY_CHECK,
        "50 MB line": r"^exp: \[tmp\.size\(\) == STATUS_SUM\] false\. $",
    },
    # The other three take any content: unusable lines are skipped.
    "user_dict_path": {"directory": READ_FAILED, "empty": None, "garbage": None, "50 MB line": None},
    "idf_path": {"directory": READ_FAILED, "empty": None, "garbage": None, "50 MB line": None},
    "stop_word_path": {"directory": READ_FAILED, "empty": None, "garbage": None, "50 MB line": None},
}


@pytest.mark.parametrize(
    "argument, kind",
    [(argument, kind) for argument, kinds in RESOURCE_CASES.items() for kind in kinds],
)
def test_hostile_resource_file(argument, kind, resources, capfd):
    expected = RESOURCE_CASES[argument][kind]
    paths = dict(PATHS, **{argument: resources[kind]})
    if expected is None:
        tokenizer = Jieba(**paths)
        assert "".join(tokenizer.cut(SENTENCE)) == SENTENCE
        assert tokenizer.cut_for_search("北京大学")[-1] == "北京大学"
    else:
        with pytest.raises(RuntimeError, match=expected):
            Jieba(**paths)
        assert " FATAL exp: [" in capfd.readouterr().err


@pytest.mark.parametrize("argument", sorted(PATHS))
def test_path_with_a_nul_byte_opens_nothing(argument):
    # The system would see only the part before the NUL: a file that exists.
    path = PATHS[argument] + "\0/more"
    with pytest.raises(RuntimeError, match=r"^exp: \[ifi?l?e?s?\.is_open\(\)\] false\. open ") as error:
        Jieba(**dict(PATHS, **{argument: path}))
    assert path + " failed" in str(error.value)


def test_dump_to_a_path_with_a_nul_byte_writes_nothing(tmp_path):
    model = BM25()
    model.train(["a"])
    target = tmp_path / "model.json"
    for path in (str(target) + "\0.x", "/dev/null\0" + str(target)):
        with pytest.raises(RuntimeError, match="^Failed to dump: Unable to open file$"):
            model.dump(path)
    assert list(tmp_path.iterdir()) == []


def test_a_50mb_line_without_separators_cuts_in_bounded_memory():
    # One piece of 16.7 million characters. The dictionary search keeps a few
    # bytes per character, not a candidate record of a few hundred bytes each
    # (over 5 GB for this line); the peak is measured in a process of its own.
    script = textwrap.dedent(
        """
        import resource, sys
        from vivividodor import Jieba
        paths = dict(zip(["dict_path", "hmm_path", "user_dict_path", "idf_path",
                          "stop_word_path"], sys.argv[1:]))
        tokenizer = Jieba(**paths)
        line = "北京大学" * 4_200_000
        before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
        words = tokenizer.cut(line)
        growth = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before
        assert words == ["北京大学"] * 4_200_000
        print(growth * 1024)
        """
    )
    argv = [PATHS[name] for name in ("dict_path", "hmm_path", "user_dict_path", "idf_path",
                                     "stop_word_path")]
    done = subprocess.run([sys.executable, "-c", script, *argv], capture_output=True, text=True,
                          timeout=120)
    assert done.returncode == 0, done.stderr
    assert int(done.stdout) < 2 * 1024**3


@pytest.mark.parametrize(
    "sentence",
    ["我们\0喜欢\0北京", "\0", "\0\0北京大学\0", "a\0b 1\0\0.5", b"\xe5\x8c\x97\0\xe4\xba\xac"],
)
def test_nul_bytes_in_sentences_are_characters(tokenizer, sentence):
    text = sentence.decode() if isinstance(sentence, bytes) else sentence
    words = tokenizer.cut(sentence)
    assert "".join(words) == text
    assert all(words)
    assert all(word == "\0" for word in words if "\0" in word)  # no word of this dictionary
    search = tokenizer.cut_for_search(sentence)
    assert [w for w in search if w in words] == words


def test_nul_bytes_in_dictionary_words(tmp_path):
    user = tmp_path / "user.utf8"
    user.write_bytes("北\0京\n\0\n".encode())
    tokenizer = Jieba(**dict(PATHS, user_dict_path=str(user)))
    assert tokenizer.cut("我们北\0京") == ["我们", "北\0京"]


def test_nul_bytes_in_tokens_survive_the_model_file(tmp_path):
    model = BM25()
    model.train(["a\0b", "\0", "a"])
    model.train(["\0", "c"])
    path = tmp_path / "model.json"
    model.dump(str(path))
    loaded = BM25()
    loaded.load(path.read_bytes())
    query = ["a\0b", "\0", "a", "c"]
    assert loaded.encode_query(query) == model.encode_query(query)
    assert loaded.encode_document(query) == model.encode_document(query)


SURROGATE = "ab\ud800cd"


@pytest.mark.parametrize(
    "call",
    [
        lambda t, m: t.cut(SURROGATE),
        lambda t, m: t.cut_for_search(sentence=SURROGATE),
        lambda t, m: Jieba(**dict(PATHS, dict_path=SURROGATE)),
        lambda t, m: Jieba(**dict(PATHS, stop_word_path=SURROGATE)),
        lambda t, m: m.train(["a", SURROGATE]),
        lambda t, m: m.encode_document([SURROGATE]),
        lambda t, m: m.encode_query([SURROGATE]),
        lambda t, m: m.load(SURROGATE),
        lambda t, m: m.dump(SURROGATE),
    ],
)
def test_surrogates_in_str_arguments_raise_type_error(tokenizer, call):
    model = BM25()
    model.train(["a", "b"])
    with pytest.raises(TypeError, match="incompatible"):
        call(tokenizer, model)
    assert model.encode_query(["a"]) == {"a": 1.0}


MODEL_TEXT = (
    '{"_b": 0.75, "_doc_count": 2, "_doc_length_average": 1.5,'
    ' "_doc_token_frequency": {"a": 2, "b": 1}, "_k1": 1.2} '
)
HOSTILE_MODEL_TEXTS = {
    "deep arrays": "[" * 1_000_000,
    "deep objects": '{"a":' * 1_000_000,
    "deep table": MODEL_TEXT.replace('{"a": 2', '{"a": ' + "[" * 100_000 + "2"),
    "deep balanced": "[" * 600 + "]" * 600 + " ",
    "garbage": GARBAGE,
    "nul bytes": MODEL_TEXT.replace(", ", ",\0"),
    "number overflow": MODEL_TEXT.replace('"_doc_count": 2', '"_doc_count": ' + "9" * 30),
    "50 MB token": MODEL_TEXT.replace('"b": 1', '"' + "b" * 50_000_000 + '": "x"'),
}


@pytest.mark.parametrize("name", sorted(HOSTILE_MODEL_TEXTS))
def test_hostile_model_texts_raise_and_change_nothing(name):
    model = BM25(0.5, 2.0)
    model.train(["x", "y", "x"])
    before = model.encode_query(["x", "a", "b"]), model.encode_document(["x", "a"])
    with pytest.raises((RuntimeError, ValueError, IndexError)):
        model.load(HOSTILE_MODEL_TEXTS[name])
    assert (model.encode_query(["x", "a", "b"]), model.encode_document(["x", "a"])) == before


def test_constructing_and_dropping_tokenizers_keeps_memory_flat(tmp_path):
    # A dictionary big enough that a lost tokenizer would show: thousands of
    # words, so a few hundred lost ones come to far more than the bound.
    rng = random.Random(3)
    words = {"".join(chr(0x4E00 + rng.randrange(2000)) for _ in range(3)) for _ in range(5000)}
    big = tmp_path / "dict.utf8"
    big.write_text("".join(f"{w} {rng.randrange(1, 999)} n\n" for w in words), encoding="utf-8")
    good = dict(PATHS, dict_path=str(big))
    bad = dict(good, stop_word_path=str(tmp_path / "missing"))  # fails last, all else built

    def churn(count):
        for _ in range(count):
            Jieba(**good).cut(SENTENCE)
            with pytest.raises(RuntimeError):
                Jieba(**bad)

    churn(20)
    before = rss_bytes()
    churn(200)
    assert rss_bytes() - before < 16 * 1024**2
