"""The built-in stop-word list: function words and punctuation of written
Chinese, in simplified and traditional characters, plus a few English ones.

Written for this project. Kept short on purpose: a stop word should carry no
meaning of its own in any context, so content words that are merely frequent
(人, 说, 年) are not on it.
"""

from typing import List

_FUNCTION_WORDS = """
的 地 得 之 了 着 过 吗 呢 吧 啊 呀 哇 啦 嘛 么 哦 喔 呗 罢了 而已
的话 似的 一样 一般 来说 来讲 等 等等 之类
是 为 为了 在 于 从 自 自从 向 往 朝 对 对于 关于 至于 给 被 把 将 让 叫 由 以
比 跟 同 和 与 及 以及 并 并且 而 而且 或 或者 还是 要么 以至 甚至 乃至
因 因为 由于 所以 因此 因而 于是 从而 故 既然 既 就是 即 即使 哪怕 虽然 虽 尽管
但 但是 可是 然而 不过 只是 否则 不然 要是 如果 假如 倘若 若 若是 只要 只有 除非 无论 不论 不管
就 才 都 也 还 又 再 却 便 则 亦 乃 已 已经 曾 曾经 正 正在 将要 刚 刚才
很 太 最 更 更加 非常 十分 极 极其 比较 稍 稍微 挺 颇 尤其 特别
这 那 这个 那个 这些 那些 这里 那里 这儿 那儿 这样 那样 这么 那么 这种 那种 此 其 其中 其他 其它 另 另外
我 你 您 他 她 它 我们 你们 他们 她们 它们 咱们 自己 大家 人家 别人
谁 什么 哪 哪里 哪儿 怎么 怎样 怎么样 如何 为什么 多少 几
一个 一些 一切 每 各 各个 各种 某 某些 所有 任何 整个
上 下 里 中 内 外 前 后 之间 之中 之后 之前 以后 以前 以上 以下 左右
有 没有 没 不 别 无 非 未 莫 勿
""".split()

_TRADITIONAL_FORMS = """
著 過 嗎 麼 罷了 而已 的話 似的 一樣 一般 來說 來講 等等 之類
為 為了 於 從 自從 對 對於 關於 至於 給 讓 與 並 並且 還是 要麼 以至
因為 由於 於是 從而 既然 雖然 雖 儘管 但是 然而 不過 只是 否則 不然 假如 倘若 只要 只有 除非 無論 不論 不管
還 卻 則 已經 曾經 將 將要 剛 剛才 極 極其 較 比較 稍微 尤其 特別
這 這個 那個 這些 那些 這裡 這裏 那裡 那裏 這兒 那兒 這樣 那樣 這麼 那麼 這種 那種 其它 另外
們 我們 你們 他們 她們 它們 咱們 自己 大家 人家 別人
誰 甚麼 什麼 哪裡 哪裏 哪兒 怎麼 怎樣 怎麼樣 如何 為什麼 多少 幾
一個 一些 一切 每 各 各個 各種 某 某些 所有 任何 整個
裡 裏 內 外 之間 之中 之後 之前 以後 以前 以上 以下 左右
沒有 沒 別 無 非 未 莫 勿
""".split()

_PUNCTUATION = list("，。、；：？！…—·‘’“”「」『』（）《》〈〉【】〔〕［］｛｝～・") + [
    "……",
    "——",
] + list(",.;:?!'\"()[]{}<>-_/\\|@#$%^&*+=~`")

_ENGLISH = """
a an the and or but if of to in on at by for with from as is are was were be been
it its this that these those i you he she we they not no do does did so than then
""".split()


def builtin_stop_words() -> List[str]:
    """The built-in list, without repeats, in a fixed order."""
    seen = set()
    words: List[str] = []
    for word in _FUNCTION_WORDS + _TRADITIONAL_FORMS + _PUNCTUATION + _ENGLISH:
        if word not in seen:
            seen.add(word)
            words.append(word)
    return words
