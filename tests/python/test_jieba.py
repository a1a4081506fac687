import os
import random
import threading
import time

import pytest

import vivividodor
from vivividodor import Jieba

FIXTURES = os.path.join(os.path.dirname(__file__), "..", "fixtures")
RESOURCES = {
    "dict_path": "jieba_dict.utf8",
    "hmm_path": "jieba_hmm_model.utf8",
    "user_dict_path": "jieba_user.utf8",
    "idf_path": "jieba_idf.utf8",
    "stop_word_path": "jieba_stop_words.utf8",
}
PATHS = {name: os.path.join(FIXTURES, file) for name, file in RESOURCES.items()}

SENTENCES = [
    "",
    "我们喜欢北京大学",
    "今天天气真好，我们喜欢云计算。",
    "北京大学生活 hello world 123 x1.2 2026-12-11",
    "云朵海洋\t蓝天\n小明",
    "ÀÉ€😀 mixed 中文 and English；标点！",
]


@pytest.fixture(scope="module")
def tokenizer():
    return Jieba(**PATHS)


def test_module_offers_both_classes():
    assert {"BM25", "Jieba"} <= set(dir(vivividodor))


def test_cut_examples(tokenizer):
    assert tokenizer.cut("") == []
    assert tokenizer.cut_for_search("") == []
    assert tokenizer.cut("我们喜欢北京大学") == ["我们", "喜欢", "北京大学"]
    assert tokenizer.cut_for_search("我们喜欢北京大学") == ["我们", "喜欢", "北京", "大学", "北京大学"]
    assert tokenizer.cut("a b") == ["a", " ", "b"]


def random_sentence(rng):
    alphabet = "我们喜欢北京大学生活今天天气真好云朵海洋蓝天小明 ab12.，。\t\n€😀"
    return "".join(rng.choice(alphabet) for _ in range(rng.randint(0, 40)))


def test_cut_covers_the_sentence_and_search_keeps_its_words(tokenizer):
    rng = random.Random(7)
    for sentence in SENTENCES + [random_sentence(rng) for _ in range(300)]:
        words = tokenizer.cut(sentence)
        assert "".join(words) == sentence
        assert all(words)
        search = tokenizer.cut_for_search(sentence)
        position = 0
        for word in words:
            position = search.index(word, position) + 1


def test_arguments(tokenizer):
    assert tokenizer.cut(sentence="我们喜欢北京大学") == tokenizer.cut("我们喜欢北京大学")
    reordered = dict(reversed(list(PATHS.items())))
    assert Jieba(**reordered).cut("今天天气真好") == tokenizer.cut("今天天气真好")
    for bad in (1, None, ["我们"]):
        with pytest.raises(TypeError):
            tokenizer.cut(bad)
        with pytest.raises(TypeError):
            tokenizer.cut_for_search(bad)
    with pytest.raises(TypeError):
        Jieba(PATHS["dict_path"])


def test_bytes_input(tokenizer, capfd):
    sentence = "今天天气真好，我们喜欢云计算。"
    assert tokenizer.cut(sentence.encode()) == tokenizer.cut(sentence)
    assert tokenizer.cut(bytearray(sentence.encode())) == tokenizer.cut(sentence)
    # A truncated sequence at the end: the sentence cannot be decoded.
    assert tokenizer.cut("我们".encode() + b"\xe5\x8c") == []
    assert "decode failed. " in capfd.readouterr().err
    # A stray continuation byte passes through and cannot become a str.
    with pytest.raises(UnicodeDecodeError):
        tokenizer.cut(b"ab\x80cd")


@pytest.mark.parametrize(
    "argument, message",
    [
        ("dict_path", "exp: [ifs.is_open()] false. open /no/such/file failed."),
        ("user_dict_path", "exp: [ifs.is_open()] false. open /no/such/file failed"),
        ("hmm_path", "exp: [ifile.is_open()] false. open /no/such/file failed"),
        ("idf_path", "exp: [ifs.is_open()] false. open /no/such/file failed"),
        ("stop_word_path", "exp: [ifs.is_open()] false. open /no/such/file failed"),
    ],
)
def test_unopenable_resource_raises_with_the_log_message(argument, message, capfd):
    paths = dict(PATHS, **{argument: "/no/such/file"})
    with pytest.raises(RuntimeError) as error:
        Jieba(**paths)
    assert str(error.value) == message
    assert capfd.readouterr().err.endswith(" FATAL " + message + "\n")


def test_malformed_resources_raise(capfd):
    for argument, file in (("dict_path", "jieba_bad_dict.utf8"), ("hmm_path", "jieba_bad_hmm.utf8")):
        paths = dict(PATHS, **{argument: os.path.join(FIXTURES, file)})
        with pytest.raises(RuntimeError, match=r"^exp: \["):
            Jieba(**paths)
    assert "FATAL" in capfd.readouterr().err


def test_message_quoting_bytes_that_are_not_utf8_stays_a_runtime_error(tmp_path, capfdbinary):
    # The log line keeps the raw bytes; the exception shows them escaped
    # instead of failing to become a str (a UnicodeDecodeError).
    bad = tmp_path / "dict.utf8"
    bad.write_bytes(b"\xff\xfe 1\n")
    with pytest.raises(RuntimeError) as error:
        Jieba(**dict(PATHS, dict_path=str(bad)))
    message = "exp: [buf.size() == DICT_COLUMN_NUM] false. split result illegal, line:"
    assert str(error.value) == message + "\\xff\\xfe 1"
    assert capfdbinary.readouterr().err.endswith(message.encode() + b"\xff\xfe 1\n")


def test_threads_share_one_instance(tokenizer):
    rng = random.Random(11)
    sentences = [random_sentence(rng) * 20 for _ in range(200)]
    expected = [(tokenizer.cut(s), tokenizer.cut_for_search(s)) for s in sentences]
    results = [None] * 8
    def work(slot):
        results[slot] = [(tokenizer.cut(s), tokenizer.cut_for_search(s)) for s in sentences]
    threads = [threading.Thread(target=work, args=(slot,)) for slot in range(8)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert all(result == expected for result in results)


def test_cut_releases_the_interpreter_lock(tokenizer):
    # One long sentence of characters the dictionary does not know keeps the
    # HMM busy; a Python thread must keep running meanwhile.
    sentence = "云朵海洋" * 400_000
    ticks = 0
    done = threading.Event()
    def count():
        nonlocal ticks
        while not done.is_set():
            ticks += 1
            time.sleep(0)
    counter = threading.Thread(target=count)
    counter.start()
    time.sleep(0.05)
    before = ticks
    start = time.perf_counter()
    tokenizer.cut(sentence)
    elapsed = time.perf_counter() - start
    during = ticks - before
    done.set()
    counter.join()
    assert elapsed > 0.05, "the cut was too short to show anything"
    assert during > 100
