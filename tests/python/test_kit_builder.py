import math
from pathlib import Path

import pytest

import vivividodor
from vivividodor_kit import (
    BuildError,
    InputError,
    ResourceCheckError,
    ResourceFormatError,
    build_from_corpus,
    build_from_frequencies,
    builtin_stop_words,
    check_resources,
)
from vivividodor_kit import formats
from vivividodor_kit.builder import validate_files

FIXTURES = Path(__file__).resolve().parents[1] / "fixtures"
IMPOSSIBLE = "-3.14e+100"


def fixture(name):
    return str(FIXTURES / name)


def read(path):
    return Path(path).read_text(encoding="utf-8")


def idf_table(path):
    return {w: float(v) for w, v in (line.split(" ") for line in read(path).splitlines())}


def test_corpus_gives_counts_positions_and_sentence_idf(tmp_path):
    report = build_from_corpus(fixture("kit_corpus.txt"), tmp_path, check=False)
    assert read(report.paths.dict_path) == (
        "。 3 x\n今天 1 x\n北京 2 x\n喜欢 2 x\n天气 2 x\n好 1 x\n很 1 x\n我们 1 x\n研究 1 x\n研究生 1 x\n"
    )
    hmm_lines = [l for l in read(report.paths.hmm_path).splitlines() if not l.startswith("#")]
    assert len(hmm_lines) == 9
    # All three sentences start with a longer word: B 3 of 3, smoothed over B and S.
    assert hmm_lines[0] == f"{math.log(4 / 5):.6f} {IMPOSSIBLE} {IMPOSSIBLE} {math.log(1 / 5):.6f}"
    model = formats.check_hmm(report.paths.hmm_path)
    chars = set("我们喜欢北京。今天气很好研究生")
    assert all(set(e) == chars for e in model.emissions)  # every seen character in every state
    # B: 北 starts 2 of the 10 longer words; 15 characters share the smoothing.
    assert model.emissions[formats.B]["北"] == pytest.approx(math.log(3 / 25), abs=1e-6)
    assert model.emissions[formats.M]["究"] == pytest.approx(math.log(2 / 16), abs=1e-6)
    idf = idf_table(report.paths.idf_path)
    assert idf["北京"] == pytest.approx(math.log(3 / 2), abs=1e-5)
    assert idf["。"] == 0
    assert read(report.paths.user_dict_path) == ""
    assert read(report.paths.stop_word_path).splitlines() == builtin_stop_words()
    assert (report.words, report.idf_units, report.characters, report.checked) == (10, 3, 15, False)
    assert sorted(p.name for p in tmp_path.iterdir()) == sorted(Path(p).name for p in report.paths)


def test_documents_are_paragraphs_for_the_idf(tmp_path):
    report = build_from_corpus(fixture("kit_corpus.txt"), tmp_path, idf_unit="document", check=False)
    idf = idf_table(report.paths.idf_path)
    assert report.idf_units == 2
    assert idf["北京"] == pytest.approx(math.log(2), abs=1e-5)
    assert idf["喜欢"] == 0


def test_conllu_takes_forms_tags_and_newdoc(tmp_path):
    report = build_from_corpus(fixture("kit_corpus.conllu"), tmp_path, idf_unit="document", check=False)
    entries = {w: (f, t) for w, f, t in formats.read_dictionary_words(report.paths.dict_path)}
    assert entries["北京"] == (3, "PROPN")  # PROPN twice beats NOUN once
    assert entries["喜"] == (1, "VERB") and "了" not in entries  # word lines only
    assert entries["喜欢"] == (1, "VERB")
    assert report.idf_units == 2


def test_frequency_list_gives_dictionary_and_length_based_hmm(tmp_path):
    report = build_from_frequencies(fixture("kit_frequencies.txt"), tmp_path, check=False)
    # Repeated words add up and keep their heavier tag; frequency 0 stays out.
    assert read(report.paths.dict_path) == "北京 400 ns\n天气 200 x\n的 1000 u\n研究 80 vn\n研究生 50 n\n"
    assert report.left_out_words == 1
    model = formats.check_hmm(report.paths.hmm_path)
    single, longer = 1000, 730
    for row in (model.start, model.transitions[formats.E], model.transitions[formats.S]):
        assert row[formats.S] == pytest.approx(math.log((single + 1) / (single + longer + 2)), abs=1e-6)
        assert row[formats.B] == pytest.approx(math.log((longer + 1) / (single + longer + 2)), abs=1e-6)
    from_b = model.transitions[formats.B]
    assert from_b[formats.E] == pytest.approx(math.log(681 / 732), abs=1e-6)  # two-character words
    assert from_b[formats.M] == pytest.approx(math.log(51 / 732), abs=1e-6)  # 研究生
    assert model.transitions[formats.M][formats.M] == pytest.approx(math.log(1 / 52), abs=1e-6)
    assert model.emissions[formats.S]["的"] > model.emissions[formats.B]["的"]
    idf = idf_table(report.paths.idf_path)
    assert idf["的"] == pytest.approx(math.log(1730 / 1000), abs=1e-5)


def test_rare_words_leave_the_dictionary_but_still_train_the_hmm(tmp_path):
    report = build_from_frequencies(fixture("kit_frequencies.txt"), tmp_path, min_frequency=100, check=False)
    words = [w for w, _, _ in formats.read_dictionary_words(report.paths.dict_path)]
    assert words == ["北京", "天气", "的"]
    assert report.left_out_words == 3
    assert "生" in formats.check_hmm(report.paths.hmm_path).emissions[formats.M]
    assert set(idf_table(report.paths.idf_path)) == set(words)


@pytest.mark.parametrize(
    "build, name, lines, fragment",
    [
        (build_from_corpus, "kit_corpus_bad.txt", [2, 4], "not valid UTF-8"),
        (build_from_corpus, "kit_corpus_bad.conllu", [5], "expected 10 tab-separated columns"),
        (build_from_frequencies, "kit_frequencies_bad.txt", [2, 3, 4, 5, 6, 7], "expected 'word frequency [tag]'"),
    ],
)
def test_bad_lines_are_reported_with_file_and_line_and_nothing_is_written(tmp_path, build, name, lines, fragment):
    out = tmp_path / "out"
    with pytest.raises(InputError) as caught:
        build(fixture(name), out, check=False)
    problems = caught.value.problems
    assert [p.line for p in problems] == lines
    assert all(p.path == fixture(name) for p in problems)
    message = str(caught.value)
    assert message.startswith(f"{fixture(name)}:{lines[0]}: ")
    assert fragment in " ".join(p.message for p in problems)
    if len(lines) > 1:
        assert f"(and {len(lines) - 1} more bad line" in message
    assert not out.exists() or list(out.iterdir()) == []


def test_frequency_problems_name_the_field(tmp_path):
    with pytest.raises(InputError) as caught:
        build_from_frequencies(fixture("kit_frequencies_bad.txt"), tmp_path, check=False)
    messages = {p.line: p.message for p in caught.value.problems}
    assert "'-5'" in messages[3] and "'abc'" in messages[4] and "'nan'" in messages[5]
    assert "'1e400'" in messages[6] and "4 fields" in messages[7]


def test_skipping_bad_lines_reports_each_one(tmp_path):
    reported = []
    report = build_from_corpus(
        fixture("kit_corpus_bad.txt"), tmp_path, skip_bad_lines=True, check=False, report=reported.append
    )
    assert len(reported) == 2
    assert reported[0].startswith(f"warning: {fixture('kit_corpus_bad.txt')}:2: ")
    assert reported[1].startswith(f"warning: {fixture('kit_corpus_bad.txt')}:4: ")
    assert all(r.endswith("line left out") for r in reported)
    words = [w for w, _, _ in formats.read_dictionary_words(report.paths.dict_path)]
    assert words == ["今天", "北京", "天气", "好", "很"]  # line 3 splits at its tab
    assert [p.line for p in report.skipped] == [2, 4]


def test_stop_words_and_user_words_from_files(tmp_path):
    report = build_from_corpus(
        fixture("kit_corpus.txt"),
        tmp_path,
        stop_words=fixture("kit_stop_words.txt"),
        user_words=fixture("kit_user_words.txt"),
        check=False,
    )
    assert read(report.paths.stop_word_path) == "的\n了\n是\n"
    assert read(report.paths.user_dict_path) == "云计算\n区块链 nz\n大数据 20 n\n"
    assert (report.stop_words, report.user_words) == (3, 3)
    with pytest.raises(InputError) as caught:
        build_from_corpus(fixture("kit_corpus.txt"), tmp_path / "x", user_words=fixture("kit_user_words_bad.txt"), check=False)
    assert [p.line for p in caught.value.problems] == [1, 2]


def test_input_without_words_or_chinese_characters_is_refused(tmp_path):
    empty = tmp_path / "empty.txt"
    empty.write_text("\n\n", encoding="utf-8")
    with pytest.raises(BuildError, match="no word for the dictionary"):
        build_from_corpus(empty, tmp_path / "a", check=False)
    ascii_only = tmp_path / "ascii.txt"
    ascii_only.write_text("hello world\n", encoding="utf-8")
    with pytest.raises(BuildError, match="no non-ASCII character"):
        build_from_corpus(ascii_only, tmp_path / "b", check=False)


def test_progress_bar_can_be_forced(tmp_path, capsys):
    build_from_frequencies(fixture("kit_frequencies.txt"), tmp_path, progress=True, check=False)
    assert "kit_frequencies.txt" in capsys.readouterr().err


def test_checkers_follow_the_loaders_line_rules(tmp_path):
    assert formats.engine_split("a  b", " ") == ["a", "", "b"]
    assert formats.engine_split("a ", " ") == ["a"]
    bad = tmp_path / "dict.txt"
    bad.write_text("北京 3 ns\n天气  2 n\n", encoding="utf-8")
    with pytest.raises(ResourceFormatError, match=r"dict\.txt:2: "):
        formats.check_dictionary(bad)
    bad.write_text("北京 0 ns\n", encoding="utf-8")
    with pytest.raises(ResourceFormatError, match="not a positive number"):
        formats.check_dictionary(bad)
    stops = tmp_path / "stop.txt"
    stops.write_text("的\n\n了\n", encoding="utf-8")
    with pytest.raises(ResourceFormatError, match=r"stop\.txt:2: empty line"):
        formats.check_stop_words(stops)


def test_checked_corpus_build_loads_and_cuts(tmp_path):
    report = build_from_corpus(fixture("kit_corpus.txt"), tmp_path)
    assert report.checked
    jieba = vivividodor.Jieba(*report.paths)
    assert jieba.cut("我们喜欢北京。") == ["我们", "喜欢", "北京", "。"]


def test_checked_frequency_build_loads_and_cuts(tmp_path):
    report = build_from_frequencies(fixture("kit_frequencies.txt"), tmp_path, user_words=fixture("kit_user_words.txt"))
    jieba = vivividodor.Jieba(*report.paths)
    assert jieba.cut("北京天气") == ["北京", "天气"]
    assert "云计算" in jieba.cut("云计算")


def test_load_check_rejects_files_the_engine_refuses(tmp_path):
    report = build_from_corpus(fixture("kit_corpus.txt"), tmp_path)
    Path(report.paths.dict_path).write_text("北京 3 ns\n天气  2 n\n", encoding="utf-8")
    with pytest.raises(ResourceCheckError, match="do not load"):
        check_resources(report.paths)


def test_the_shipped_check_passes_a_fresh_build(tmp_path):
    report = build_from_corpus(fixture("kit_corpus.txt"), tmp_path, check=False)
    validate_files(report.paths)
