import math

import pytest

import vivividodor
from vivividodor import BM25


def two_document_model(**kwargs):
    model = BM25(**kwargs)
    model.train(["a", "a", "b"])
    model.train(["b", "c"])
    return model


def test_module_offers_the_classes_and_no_docstring():
    assert vivividodor.__doc__ is None
    assert "BM25" in dir(vivividodor)


def test_worked_example_encodings_in_key_order():
    model = two_document_model()
    document = model.encode_document(["a", "b", "a"])
    assert list(document) == ["a", "b"]
    assert document["a"] == pytest.approx(2 / 3.38)
    assert document["b"] == pytest.approx(1 / 2.38)
    query = model.encode_query(["c", "a", "c"])
    assert list(query) == ["a", "c"]
    assert query["a"] == pytest.approx(0.208256, abs=1e-6)
    assert query["c"] == pytest.approx(0.791744, abs=1e-6)
    assert model.encode_query(["z"]) == {"z": 1.0}


def test_negative_idf_example():
    model = BM25()
    model.train(["a", "a", "b"])
    query = model.encode_query(["a", "b"])
    assert query["a"] == pytest.approx(-3.457525, abs=1e-6)
    assert query["b"] == pytest.approx(4.457525, abs=1e-6)


def test_ids_and_strings_share_keys():
    by_ids = BM25()
    by_ids.train([1, 1, 2])
    by_ids.train([2, 3])
    by_strings = BM25()
    by_strings.train(["1", "1", "2"])
    by_strings.train(["2", "3"])
    for model in (by_ids, by_strings):
        query = model.encode_query([3, 1, 3])
        assert list(query) == [1, 3]
        assert query[1] == pytest.approx(0.208256, abs=1e-6)
        assert query[3] == pytest.approx(0.791744, abs=1e-6)


def test_leading_zero_string_is_not_the_id():
    model = BM25()
    model.train([42, 42, 42, 7])
    # "042" is unseen and "7" was seen once: equal idf.
    assert model.encode_query(["042", "7"]) == {"042": 0.5, "7": 0.5}
    assert model.encode_query(["42", "7"])["42"] != 0.5


@pytest.mark.parametrize(
    "args, kwargs, b, k1",
    [
        ((), {}, 0.75, 1.2),
        ((0.5,), {}, 0.5, 1.2),
        ((), {"k1": 2.0}, 0.75, 2.0),
        ((1, 2), {}, 1.0, 2.0),
        ((), {"b": 0.0, "k1": 1.0}, 0.0, 1.0),
    ],
)
def test_constructor_argument_forms(args, kwargs, b, k1):
    model = BM25(*args, **kwargs)
    model.train(["a", "a", "b"])
    model.train(["b", "c"])
    dl, avgdl = 3, 2.5
    length_factor = ((dl / avgdl) * b + (1 - b)) * k1
    assert model.encode_document(["a", "b", "a"])["a"] == pytest.approx(
        2 / (length_factor + 2), rel=1e-12
    )


def test_constructor_refuses_non_numbers():
    with pytest.raises(TypeError):
        BM25("0.75")


def test_empty_lists_resolve_to_the_string_overloads():
    fresh = BM25()
    assert fresh.encode_document([]) == {}
    assert fresh.encode_query([]) == {}
    assert fresh.encode_query(()) == {}
    with pytest.raises(RuntimeError) as error:
        fresh.train([])
    assert str(error.value) == "trainning tokens_vec should not be empty"


@pytest.mark.parametrize("method", ["encode_document", "encode_query"])
@pytest.mark.parametrize("tokens", [["a"], [1]])
def test_untrained_model_refuses_to_encode(method, tokens):
    with pytest.raises(RuntimeError) as error:
        getattr(BM25(), method)(tokens)
    assert str(error.value) == "BM25 has not been initialized"


@pytest.mark.parametrize(
    "bad",
    [["a", 1], [1, "a"], [[1, 2], [3]], [1.5], "ab", b"ab", [None], [2**63]],
)
def test_unaccepted_arguments_raise_type_error_and_change_nothing(bad):
    model = two_document_model()
    before = model.encode_query(["a", "c", "z"])
    for method in (model.train, model.encode_document, model.encode_query):
        with pytest.raises(TypeError):
            method(bad)
    assert model.encode_query(["a", "c", "z"]) == before


def test_bytes_tokens_equal_their_str():
    model = BM25()
    model.train([b"\xe5\x8c\x97", bytearray(b"x"), "x"])
    model.train(["y"])
    # "北" was trained once as bytes, "x" twice (bytearray and str).
    query = model.encode_query(["北", "x"])
    n, documents_plus_one = {"北": 1, "x": 2}, 3
    idf = {t: math.log(documents_plus_one / (n[t] + 0.5)) for t in n}
    total = sum(idf.values())
    assert query == pytest.approx({t: idf[t] / total for t in idf})
    assert model.encode_document([b"x", "x"]) == model.encode_document(["x", "x"])


def test_invalid_utf8_bytes_key_cannot_become_str():
    model = two_document_model()
    with pytest.raises(UnicodeDecodeError):
        model.encode_document([b"\xff"])


def test_keys_iterate_in_ascending_order():
    model = two_document_model()
    assert list(model.encode_document(["b", "a", "b"])) == ["a", "b"]
    assert list(model.encode_query([3, 1])) == [1, 3]
    assert list(model.encode_query(["中", "ab", "a"])) == ["a", "ab", "中"]


class Tokens:
    """A sequence that is neither a list nor a tuple."""

    def __init__(self, items):
        self.items = list(items)

    def __len__(self):
        return len(self.items)

    def __getitem__(self, index):
        return self.items[index]


class Text(str):
    pass


@pytest.mark.parametrize("make", [list, tuple, Tokens])
@pytest.mark.parametrize("method", ["encode_document", "encode_query"])
def test_results_have_plain_str_keys_whatever_the_tokens_came_in(make, method):
    model = two_document_model()
    tokens = make([Text("b"), b"a", "c", bytearray(b"\xe4\xb8\xad"), "b", "c"])
    result = getattr(model, method)(tokens)
    expected = getattr(model, method)(["b", "a", "c", "中", "b", "c"])
    assert result == expected
    assert list(result) == ["a", "b", "c", "中"]
    assert all(type(key) is str for key in result)
