import io
import json
import sys
from pathlib import Path

import pytest

import vivividodor
from vivividodor_kit.cli import main

FIXTURES = Path(__file__).resolve().parents[1] / "fixtures"
DOCUMENTS = str(FIXTURES / "kit_documents.txt")


def run(capsys, *argv, stdin=None):
    if stdin is not None:
        sys.stdin = io.TextIOWrapper(io.BytesIO(stdin.encode("utf-8")), encoding="utf-8")
    try:
        code = main(list(argv))
    finally:
        sys.stdin = sys.__stdin__
    out, err = capsys.readouterr()
    return code, out, err


def error_line(err):
    lines = err.splitlines()
    assert len(lines) == 1, err
    assert lines[0].startswith("vivividodor")
    return lines[0]


@pytest.fixture
def model(tmp_path, capsys):
    path = tmp_path / "model.json"
    code, out, err = run(capsys, "index", "--pretokenized", DOCUMENTS, "-o", str(path))
    assert code == 0, err
    return path


def test_index_trains_one_document_a_line_and_dumps(model, capsys):
    data = json.loads(model.read_text(encoding="utf-8"))
    assert data["_doc_count"] == 4  # the empty line is no document
    assert data["_doc_token_frequency"]["北京"] == 2
    assert data["_b"] == 0.75 and data["_k1"] == 1.2


def test_index_reports_lines_without_terms(tmp_path, capsys):
    code, _, err = run(capsys, "index", "--pretokenized", DOCUMENTS, "-o", str(tmp_path / "m.json"), "--b", "0.5")
    assert code == 0
    assert "indexed 4 documents" in err and "1 lines without terms" in err
    assert json.loads((tmp_path / "m.json").read_text(encoding="utf-8"))["_b"] == 0.5


def test_encode_writes_one_json_vector_a_line(model, capsys):
    reference = vivividodor.BM25()
    reference.load(model.read_text(encoding="utf-8"))
    code, out, _ = run(capsys, "encode", "--pretokenized", "-m", str(model), "--query", stdin="北京 足球\n\n未知\n")
    assert code == 0
    lines = [json.loads(l) for l in out.splitlines()]
    assert lines == [reference.encode_query(["北京", "足球"]), {}, {"未知": 1.0}]
    code, out, _ = run(capsys, "encode", "--pretokenized", "-m", str(model), "--document", DOCUMENTS)
    assert code == 0
    first = json.loads(out.splitlines()[0])
    assert first == pytest.approx(reference.encode_document("北京 天气 晴朗 适合 散步".split()))
    assert len(out.splitlines()) == 5


def test_search_ranks_lines_by_dot_product(capsys):
    code, out, _ = run(capsys, "search", "--pretokenized", DOCUMENTS, "北京 足球", "-k", "2")
    assert code == 0
    lines = out.splitlines()
    assert lines[0] == "query: 北京 足球"
    assert "line 5: 北京 足球 比赛 门票" in lines[1]
    assert len(lines) == 3
    code, out, _ = run(capsys, "search", "--pretokenized", DOCUMENTS, "--json", stdin="红烧肉\n没有\n")
    results = [json.loads(l) for l in out.splitlines()]
    assert [r["query"] for r in results] == ["红烧肉", "没有"]
    assert [(h["rank"], h["line"]) for h in results[0]["results"]] == [(1, 3)]
    assert results[1]["results"] == []


def test_search_with_a_saved_model_scores_like_the_model(model, capsys):
    code, out, _ = run(capsys, "search", "--pretokenized", DOCUMENTS, "-m", str(model), "--json", "北京")
    assert code == 0
    hits = json.loads(out)["results"]
    assert [h["line"] for h in hits] == [5, 1]  # the shorter document first
    reference = vivividodor.BM25()
    reference.load(model.read_text(encoding="utf-8"))
    doc = reference.encode_document("北京 天气 晴朗 适合 散步".split())
    assert hits[1]["score"] == pytest.approx(doc["北京"])  # a one-term query weighs 1.0


def test_build_resources_from_corpus_and_from_frequencies(tmp_path, capsys):
    code, _, err = run(capsys, "build-resources", "--corpus", str(FIXTURES / "kit_corpus.txt"), "-o", str(tmp_path / "a"), "--no-check")
    assert code == 0, err
    assert "10 words" in err
    assert (tmp_path / "a" / "dictionary.txt").read_text(encoding="utf-8").startswith("。 3 x\n")
    code, _, err = run(
        capsys, "build-resources", "--frequencies", str(FIXTURES / "kit_frequencies.txt"),
        "-o", str(tmp_path / "b"), "--no-check", "--min-frequency", "100",
    )
    assert code == 0, err
    assert "3 words (3 below frequency 100 left out)" in err


def test_build_resources_bad_input_is_one_error_line(tmp_path, capsys):
    bad = str(FIXTURES / "kit_corpus_bad.txt")
    code, _, err = run(capsys, "build-resources", "--corpus", bad, "-o", str(tmp_path), "--no-check")
    assert code == 1
    assert error_line(err).startswith(f"vivividodor: error: {bad}:2: not valid UTF-8")
    assert not (tmp_path / "dictionary.txt").exists()
    code, _, err = run(capsys, "build-resources", "--corpus", bad, "-o", str(tmp_path), "--no-check", "--skip-bad-lines")
    assert code == 0
    assert [l.split(": ")[2] for l in err.splitlines()[:2]] == [f"{bad}:2", f"{bad}:4"]


@pytest.mark.parametrize(
    "argv, fragment",
    [
        (["encode", "--pretokenized", "-m", "/nonexistent/model.json", "--query"], "cannot read model /nonexistent/model.json"),
        (["index", "--pretokenized", "/nonexistent/docs.txt", "-o", "m.json"], "cannot read /nonexistent/docs.txt"),
        (["search", "--pretokenized", DOCUMENTS, "x", "-k", "0"], "--top-k must be at least 1"),
        (["build-resources", "--frequencies", str(FIXTURES / "kit_frequencies.txt"), "-o", "x", "--smoothing", "0"], "smoothing"),
    ],
)
def test_failures_are_one_line_and_exit_1(argv, fragment, capsys, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    code, out, err = run(capsys, *argv, stdin="")
    assert code == 1
    assert fragment in error_line(err)


def test_index_of_nothing_fails(tmp_path, capsys):
    code, _, err = run(capsys, "index", "--pretokenized", "-o", str(tmp_path / "m.json"), stdin="\n \n")
    assert code == 1 and "no input line has any term" in error_line(err)


def test_bad_model_text_fails(tmp_path, capsys):
    broken = tmp_path / "broken.json"
    broken.write_text("{ not json", encoding="utf-8")
    code, _, err = run(capsys, "encode", "--pretokenized", "-m", str(broken), "--query", stdin="a\n")
    assert code == 1 and f"model {broken}" in error_line(err)


@pytest.mark.parametrize("argv", [[], ["nonsense"], ["cut", "--no-such-option"], ["encode", "-m", "m.json"]])
def test_usage_errors_are_one_line_and_exit_2(argv, capsys):
    code, _, err = run(capsys, *argv)
    assert code == 2
    assert "error:" in error_line(err)


def test_invalid_utf8_input_names_the_line(tmp_path, capsys):
    path = tmp_path / "bad.txt"
    path.write_bytes(b"a b\nc \xff d\n")
    code, _, err = run(capsys, "index", "--pretokenized", str(path), "-o", str(tmp_path / "m.json"))
    assert code == 1 and f"{path}:2: not valid UTF-8" in error_line(err)


def test_cut_lines_from_stdin_and_files(tmp_path, capsys):
    code, out, _ = run(capsys, "cut", stdin="今天天气很好\n\n我们喜欢北京\r\n")
    assert code == 0
    assert out.splitlines() == ["今天 / 天气 / 很好", "", "我们 / 喜欢 / 北京"]
    path = tmp_path / "in.txt"
    path.write_text("北京 天气\n", encoding="utf-8")
    code, out, _ = run(capsys, "cut", "--delimiter", "|", str(path), "-", stdin="我们\n")
    assert out.splitlines() == ["北京| |天气", "我们"]
    code, out, _ = run(capsys, "cut", "--json", str(path))
    assert json.loads(out) == ["北京", " ", "天气"]


def test_cut_for_search_adds_sub_words(capsys):
    code, out, _ = run(capsys, "cut", "--search", "--json", stdin="中华人民共和国\n")
    words = json.loads(out)
    assert code == 0 and words[-1] == "中华人民共和国" and len(words) > 1


def test_cut_with_built_resources(tmp_path, capsys):
    run(capsys, "build-resources", "--corpus", str(FIXTURES / "kit_corpus.txt"), "-o", str(tmp_path))
    code, out, _ = run(capsys, "cut", "--resources", str(tmp_path), stdin="研究生喜欢北京\n")
    assert code == 0 and out == "研究生 / 喜欢 / 北京\n"
    code, _, err = run(capsys, "cut", "--dict", str(tmp_path / "missing.txt"), stdin="x\n")
    assert code == 1 and "resource file not found" in error_line(err)


def test_index_search_and_encode_with_the_default_cut(tmp_path, capsys):
    corpus = tmp_path / "corpus.txt"
    corpus.write_text("今天北京天气很好\n昨晚的足球比赛很精彩\n红烧肉要用冰糖\n", encoding="utf-8")
    code, _, err = run(capsys, "index", str(corpus), "-o", str(tmp_path / "m.json"))
    assert code == 0, err
    data = json.loads((tmp_path / "m.json").read_text(encoding="utf-8"))
    assert "天气" in data["_doc_token_frequency"] and "的" not in data["_doc_token_frequency"]
    code, out, _ = run(capsys, "search", str(corpus), "足球比赛", "-k", "1")
    assert code == 0 and "line 2:" in out.splitlines()[1]
    code, out, _ = run(capsys, "encode", "-m", str(tmp_path / "m.json"), "--query", stdin="北京天气\n")
    assert set(json.loads(out)) == {"北京", "天气"}


def test_demo_answers_its_queries(capsys):
    code, out, _ = run(capsys, "demo", "-k", "2")
    assert code == 0
    assert out.count("query: ") == 6
    assert "足球" in out.split("query: 足球比赛的结果")[1].splitlines()[2]
    code, out, _ = run(capsys, "demo", "大熊猫吃竹子", "-k", "1")
    assert "大熊猫" in out.splitlines()[-1]
