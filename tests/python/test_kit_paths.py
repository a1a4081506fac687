from pathlib import Path


import vivividodor
from vivividodor_kit import ResourcePaths, default_paths
from vivividodor_kit import formats
from vivividodor_kit.builder import validate_files



def test_default_paths_are_the_five_shipped_files_in_constructor_order():
    paths = default_paths()
    assert isinstance(paths, ResourcePaths)
    assert paths._fields == ("dict_path", "hmm_path", "user_dict_path", "idf_path", "stop_word_path")
    names = [Path(p).name for p in paths]
    assert names == ["dictionary.txt", "hmm_model.txt", "user_dictionary.txt", "idf.txt", "stop_words.txt"]
    assert len({Path(p).parent for p in paths}) == 1
    assert all(Path(p).is_file() for p in paths)
    assert (Path(paths.dict_path).parent / "NOTICE.txt").is_file()


def test_shipped_files_keep_the_loaders_formats():
    validate_files(default_paths())


def test_shipped_dictionary_has_simplified_and_traditional_forms():
    words = {w for w, _, _ in formats.read_dictionary_words(default_paths().dict_path)}
    assert {"天气", "天氣", "北京", "电脑", "電腦"} <= words


def test_jieba_loads_the_defaults():
    jieba = vivividodor.Jieba(*default_paths())
    assert jieba.cut("今天天气很好") == ["今天", "天气", "很好"]
    assert jieba.cut("今天天氣很好") == ["今天", "天氣", "很好"]  # traditional forms kept
    assert jieba.cut("我们在北京看电脑") == ["我们", "在", "北京", "看", "电脑"]
