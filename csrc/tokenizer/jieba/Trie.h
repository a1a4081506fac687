// The dictionary trie over runes: exact lookup of a rune
// sequence and the per-position candidate lists (Dag) of a sentence range.
#ifndef VORDA_TYPING_TEXT_JIEBA_TRIE_H_
#define VORDA_TYPING_TEXT_JIEBA_TRIE_H_

#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "tokenizer/jieba/Unicode.h"
#include "tokenizer/jieba/limonp/LocalVector.h"

namespace vorda {
namespace typing {
namespace text {
namespace jieba {

inline constexpr size_t MAX_WORD_LENGTH = 512;

struct DictUnit {
  Unicode word;
  double weight;
  std::string tag;
};

// The candidate record of one character position of a sentence range.
struct Dag {
  RuneStr runestr;
  // (end position, entry): the words that start here, single character first.
  limonp::LocalVector<std::pair<size_t, const DictUnit*> > nexts;
  const DictUnit* pInfo;
  double weight;
  size_t nextPos;  // unused
  Dag() : runestr(), pInfo(nullptr), weight(0.0), nextPos(0) {}
};

class TrieNode;

// The children of one trie node: an open-addressing hash map from Rune to
// child, with linear probing over a power-of-two table of (rune, child)
// slots; a slot whose child is null is free. The same structure serves the
// root, whose fan-out is every first character of the dictionary (thousands
// of CJK runes), and the inner nodes, most of which have a single child:
// one multiply, one shift and usually one compare per lookup. A table of two
// slots (up to one child) is kept inside the map, so the common inner node
// costs no allocation of its own; larger tables are on the heap and stay at
// most 3/4 full.
//
// The map does not own the children; the trie's node pool does.
class NextMap {
 public:
  NextMap() = default;
  NextMap(const NextMap&) = delete;
  NextMap& operator=(const NextMap&) = delete;
  ~NextMap() { Release(); }

  // The child under rune r, or null.
  TrieNode* Find(Rune r) const {
    for (uint32_t i = Home_(r);; i = (i + 1) & mask_) {
      const Slot& s = slots_[i];
      if (s.child == nullptr) {
        return nullptr;
      }
      if (s.rune == r) {
        return s.child;
      }
    }
  }

  // Stores child under rune r, which must not be present yet.
  void Insert(Rune r, TrieNode* child) {
    if ((size_ + 1) * 4 > capacity() * 3) {
      Rehash_(capacity() * 2);
    }
    Place_(r, child);
    ++size_;
  }

  size_t size() const { return size_; }
  size_t capacity() const { return static_cast<size_t>(mask_) + 1; }

  // Calls f(rune, child) for every child, in table order.
  template <class F>
  void ForEach(F&& f) const {
    for (size_t i = 0; i < capacity(); ++i) {
      if (slots_[i].child != nullptr) {
        f(slots_[i].rune, slots_[i].child);
      }
    }
  }

  // Forgets all children and gives back the heap table.
  void Release() {
    if (slots_ != inline_) {
      free(slots_);
    }
    slots_ = inline_;
    inline_[0] = Slot();
    inline_[1] = Slot();
    mask_ = kInlineCapacity - 1;
    shift_ = 31;
    size_ = 0;
  }

 private:
  struct Slot {
    Rune rune = 0;
    TrieNode* child = nullptr;
  };

  static constexpr uint32_t kInlineCapacity = 2;

  // Fibonacci hashing: the top bits of the product spread runes that are
  // consecutive code points (as CJK characters often are) over the table.
  uint32_t Home_(Rune r) const { return static_cast<uint32_t>((r * 2654435769u) >> shift_); }

  void Place_(Rune r, TrieNode* child) {
    uint32_t i = Home_(r);
    while (slots_[i].child != nullptr) {
      i = (i + 1) & mask_;
    }
    slots_[i].rune = r;
    slots_[i].child = child;
  }

  void Rehash_(size_t capacity) {
    if (capacity > (size_t(1) << 31)) {
      throw std::bad_alloc();
    }
    Slot* fresh = static_cast<Slot*>(calloc(capacity, sizeof(Slot)));
    if (fresh == nullptr) {
      throw std::bad_alloc();
    }
    Slot* old = slots_;
    const size_t old_capacity = this->capacity();
    slots_ = fresh;
    mask_ = static_cast<uint32_t>(capacity - 1);
    unsigned bits = 0;
    while ((size_t(1) << bits) < capacity) {
      ++bits;
    }
    shift_ = 32 - bits;
    for (size_t i = 0; i < old_capacity; ++i) {
      if (old[i].child != nullptr) {
        Place_(old[i].rune, old[i].child);
      }
    }
    if (old != inline_) {
      free(old);
    }
  }

  Slot inline_[kInlineCapacity];
  Slot* slots_ = inline_;
  uint32_t mask_ = kInlineCapacity - 1;
  uint32_t shift_ = 31;
  uint32_t size_ = 0;
};

class TrieNode {
 public:
  typedef jieba::NextMap NextMap;
  TrieNode() : next(nullptr), ptValue(nullptr) {}

  NextMap* next;
  const DictUnit* ptValue;
};

namespace internal {

// Objects allocated in blocks and destroyed together; addresses are stable.
// A trie of a large dictionary has hundreds of thousands of nodes, so taking
// them from a few large blocks instead of one allocation each keeps building
// and freeing the trie cheap and the nodes close together.
template <class T>
class Pool {
 public:
  Pool() = default;
  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;
  ~Pool() { Clear(); }

  T* New() {
    if (blocks_.empty() || used_ == kBlockSize) {
      blocks_.push_back(static_cast<T*>(::operator new(sizeof(T) * kBlockSize)));
      used_ = 0;
    }
    T* p = new (blocks_.back() + used_) T();
    ++used_;
    return p;
  }

  void Clear() {
    for (size_t b = 0; b < blocks_.size(); ++b) {
      const size_t n = b + 1 == blocks_.size() ? used_ : kBlockSize;
      for (size_t i = 0; i < n; ++i) {
        blocks_[b][i].~T();
      }
      ::operator delete(blocks_[b]);
    }
    blocks_.clear();
    used_ = 0;
  }

 private:
  static constexpr size_t kBlockSize = 4096;
  std::vector<T*> blocks_;
  size_t used_ = 0;
};

}  // namespace internal

class Trie {
 public:
  Trie(const std::vector<Unicode>& keys, const std::vector<const DictUnit*>& valuePointers)
      : root_(nodes_.New()) {
    CreateTrie(keys, valuePointers);
  }

  ~Trie() { DeleteNode(root_); }

  Trie(const Trie&) = delete;
  Trie& operator=(const Trie&) = delete;

  // Exact lookup of the runes of [begin, end); null for an empty range, a
  // sequence that leaves the trie, or a prefix that is no word.
  const DictUnit* Find(RuneStrArray::const_iterator begin, RuneStrArray::const_iterator end) const {
    if (begin == end) {
      return nullptr;
    }
    const TrieNode* ptNode = root_;
    for (RuneStrArray::const_iterator it = begin; it != end; ++it) {
      if (ptNode->next == nullptr) {
        return nullptr;
      }
      ptNode = ptNode->next->Find(it->rune);
      if (ptNode == nullptr) {
        return nullptr;
      }
    }
    return ptNode->ptValue;
  }

  // One Dag per rune of [begin, end): nexts holds (i, single-character entry
  // or null), then (j, entry) for every word from i to j of at most
  // max_word_len runes, in increasing j.
  void Find(RuneStrArray::const_iterator begin, RuneStrArray::const_iterator end,
            std::vector<Dag>& res, size_t max_word_len = MAX_WORD_LENGTH) const {
    const size_t n = static_cast<size_t>(end - begin);
    res.clear();
    res.resize(n);
    const NextMap* root_next = root_->next;
    for (size_t i = 0; i < n; ++i) {
      Dag& dag = res[i];
      dag.runestr = begin[i];
      const TrieNode* ptNode = root_next == nullptr ? nullptr : root_next->Find(begin[i].rune);
      if (ptNode == nullptr) {
        dag.nexts.push_back(std::pair<size_t, const DictUnit*>(i, nullptr));
        continue;
      }
      dag.nexts.push_back(std::pair<size_t, const DictUnit*>(i, ptNode->ptValue));
      if (max_word_len <= 1) {
        continue;
      }
      // j - i + 1 <= max_word_len, written so that it cannot overflow.
      const size_t last = (n - 1 - i < max_word_len - 1) ? n - 1 : i + max_word_len - 1;
      for (size_t j = i + 1; j <= last; ++j) {
        if (ptNode->next == nullptr) {
          break;
        }
        ptNode = ptNode->next->Find(begin[j].rune);
        if (ptNode == nullptr) {
          break;
        }
        if (ptNode->ptValue != nullptr) {
          dag.nexts.push_back(std::pair<size_t, const DictUnit*>(j, ptNode->ptValue));
        }
      }
    }
  }

  void CreateTrie(const std::vector<Unicode>& keys,
                  const std::vector<const DictUnit*>& valuePointers) {
    if (valuePointers.empty() || keys.empty()) {
      return;
    }
    const size_t n = keys.size() < valuePointers.size() ? keys.size() : valuePointers.size();
    for (size_t i = 0; i < n; i++) {
      InsertNode(keys[i], valuePointers[i]);
    }
  }

  void InsertNode(const Unicode& key, const DictUnit* ptValue) {
    if (key.begin() == key.end()) {
      return;
    }
    TrieNode* ptNode = root_;
    for (Unicode::const_iterator citer = key.begin(); citer != key.end(); ++citer) {
      if (ptNode->next == nullptr) {
        ptNode->next = maps_.New();
      }
      TrieNode* child = ptNode->next->Find(*citer);
      if (child == nullptr) {
        child = nodes_.New();
        ptNode->next->Insert(*citer, child);
      }
      ptNode = child;
    }
    ptNode->ptValue = ptValue;
  }

  // Frees node and everything below it. The root takes the whole trie with
  // it at once; any other node is detached from its children, whose storage
  // goes back with the trie's pools.
  void DeleteNode(TrieNode* node) {
    if (node == nullptr) {
      return;
    }
    if (node == root_) {
      maps_.Clear();
      nodes_.Clear();
      root_ = nullptr;
      return;
    }
    std::vector<TrieNode*> pending(1, node);
    while (!pending.empty()) {
      TrieNode* current = pending.back();
      pending.pop_back();
      if (current->next != nullptr) {
        current->next->ForEach([&pending](Rune, TrieNode* child) { pending.push_back(child); });
        current->next->Release();
        current->next = nullptr;
      }
      current->ptValue = nullptr;
    }
  }

 private:
  // Declared before root_, which is taken from nodes_.
  internal::Pool<TrieNode> nodes_;
  internal::Pool<NextMap> maps_;
  TrieNode* root_;
};

}  // namespace jieba
}  // namespace text
}  // namespace typing
}  // namespace vorda

#endif  // VORDA_TYPING_TEXT_JIEBA_TRIE_H_
