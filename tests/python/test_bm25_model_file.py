import pytest

from vivividodor import BM25

UNTRAINED_TEXT = """{
  "_b" : 0.750000,
  "_doc_count" : 0,
  "_doc_length_average" : 0.000000,
  "_doc_token_frequency" : {

  },
  "_k1" : 1.200000
}"""


def dumped_text(model, tmp_path):
    path = tmp_path / "model.json"
    model.dump(str(path))
    return path.read_text(encoding="utf-8")


def test_untrained_model_round_trip(tmp_path):
    text = dumped_text(BM25(), tmp_path)
    assert text == UNTRAINED_TEXT
    restored = BM25(0.1, 0.2)
    restored.load(text)
    assert dumped_text(restored, tmp_path) == UNTRAINED_TEXT
    with pytest.raises(RuntimeError, match="^BM25 has not been initialized$"):
        restored.encode_query(["a"])


def test_trained_model_round_trip_restores_parameters_and_statistics(tmp_path):
    model = BM25(0.5, 2.0)
    model.train(["北京", "天气", "北京"])
    model.train([7, 7, 3])
    model.train(["tab\tand\nline", 'quote"', "back\\slash"])
    restored = BM25(0.9, 0.9)
    restored.load(dumped_text(model, tmp_path))
    for tokens in (["北京", "晴", "7"], [7, 3, 99], ["tab\tand\nline", 'quote"', "back\\slash"]):
        assert restored.encode_query(tokens) == model.encode_query(tokens)
        assert restored.encode_document(tokens) == model.encode_document(tokens)


def test_load_accepts_bytes_and_wants_the_text_itself(tmp_path):
    path = tmp_path / "model.json"
    BM25().dump(str(path))
    BM25().load(path.read_bytes())
    with pytest.raises(RuntimeError, match="^load doc_count failed$"):
        BM25().load(str(path))


@pytest.mark.parametrize(
    "text, error, message",
    [
        ("", RuntimeError, "json data should not be empty"),
        ("{}", RuntimeError, "load doc_count failed"),
        ('{"_doc_count": 1, "_doc_length_average": 1.0, "_b": 0.5, "_k1": 2}',
         RuntimeError, "load k1 failed"),
        ('{"_doc_count": 99999999999999999999}', IndexError, "stol"),
        ('{"_doc_count": -}', ValueError, "stol"),
    ],
)
def test_refused_texts_raise_and_change_nothing(tmp_path, text, error, message):
    model = BM25()
    model.train(["a", "a", "b"])
    before = dumped_text(model, tmp_path)
    with pytest.raises(error) as raised:
        model.load(text)
    assert str(raised.value) == message
    assert dumped_text(model, tmp_path) == before


def test_dump_errors(tmp_path):
    with pytest.raises(RuntimeError, match="^Failed to dump: Unable to open file$"):
        BM25().dump(str(tmp_path / "missing" / "model.json"))
    with pytest.raises(RuntimeError, match="^Failed to dump: Unable to write file$"):
        BM25().dump("/dev/full")
    with pytest.raises(TypeError):
        BM25().dump(3)
