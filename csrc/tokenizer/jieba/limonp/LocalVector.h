// A vector with 16 built-in elements, heap storage only beyond
// that. Elements are copied as raw bytes, so T must be a plain value:
// trivially copy-constructible and trivially destructible.
#ifndef VORDA_TYPING_TEXT_LIMONP_LOCAL_VECTOR_H_
#define VORDA_TYPING_TEXT_LIMONP_LOCAL_VECTOR_H_

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>

namespace vorda {
namespace typing {
namespace text {
namespace limonp {

inline constexpr size_t LOCAL_VECTOR_BUFFER_SIZE = 16;

template <class T>
class LocalVector {
  static_assert(std::is_trivially_copy_constructible<T>::value &&
                    std::is_trivially_destructible<T>::value,
                "LocalVector copies its elements as raw bytes");

 public:
  typedef T value_type;
  typedef T* iterator;
  typedef const T* const_iterator;

 private:
  // Built-in storage, left uninitialised: a fresh vector (and so every Dag
  // of a candidate search) costs no writes to its 16 slots.
  union {
    T buffer_[LOCAL_VECTOR_BUFFER_SIZE];
  };
  T* ptr_;
  size_t size_;
  size_t capacity_;

 public:
  LocalVector() { init_(); }

  LocalVector(const LocalVector<T>& vec) {
    init_();
    *this = vec;
  }

  // Takes over vec's heap block, or copies its inline elements; vec is left
  // empty with inline storage.
  LocalVector(LocalVector<T>&& vec) noexcept {
    init_();
    TakeFrom_(vec);
  }

  LocalVector(const_iterator begin, const_iterator end) {
    init_();
    size_t n = static_cast<size_t>(end - begin);
    reserve(n);
    CopyElements_(ptr_, begin, n);
    size_ = n;
  }

  LocalVector(size_t size, const T& t) {
    init_();
    reserve(size);
    for (size_t i = 0; i < size; ++i) {
      new (static_cast<void*>(ptr_ + i)) T(t);
    }
    size_ = size;
  }

  ~LocalVector() {
    if (ptr_ != buffer_) {
      free(ptr_);
    }
  }

  LocalVector<T>& operator=(const LocalVector<T>& vec) {
    if (this == &vec) {
      return *this;
    }
    clear();
    if (vec.ptr_ == vec.buffer_) {
      CopyElements_(buffer_, vec.buffer_, vec.size_);
    } else {
      T* block = Allocate_(vec.capacity_);
      CopyElements_(block, vec.ptr_, vec.size_);
      ptr_ = block;
    }
    size_ = vec.size_;
    capacity_ = vec.capacity_;
    return *this;
  }

  LocalVector<T>& operator=(LocalVector<T>&& vec) noexcept {
    if (this != &vec) {
      clear();
      TakeFrom_(vec);
    }
    return *this;
  }

  void init_() {
    ptr_ = buffer_;
    size_ = 0;
    capacity_ = LOCAL_VECTOR_BUFFER_SIZE;
  }

  T& operator[](size_t i) { return ptr_[i]; }
  const T& operator[](size_t i) const { return ptr_[i]; }

  void push_back(const T& t) {
    if (size_ == capacity_) {
      // t may live in the storage that reserve frees.
      T copy = t;
      reserve(capacity_ * 2);
      new (static_cast<void*>(ptr_ + size_)) T(copy);
      ++size_;
      return;
    }
    new (static_cast<void*>(ptr_ + size_)) T(t);
    ++size_;
  }

  void reserve(size_t size) {
    if (size <= capacity_) {
      return;
    }
    T* block = Allocate_(size);
    CopyElements_(block, ptr_, size_);
    if (ptr_ != buffer_) {
      free(ptr_);
    }
    ptr_ = block;
    capacity_ = size;
  }

  bool empty() const { return 0 == size(); }
  size_t size() const { return size_; }
  size_t capacity() const { return capacity_; }
  const_iterator begin() const { return ptr_; }
  const_iterator end() const { return ptr_ + size_; }
  iterator begin() { return ptr_; }
  iterator end() { return ptr_ + size_; }

  void clear() {
    if (ptr_ != buffer_) {
      free(ptr_);
    }
    init_();
  }

 private:
  static T* Allocate_(size_t n) {
    if (n > std::numeric_limits<size_t>::max() / sizeof(T)) {
      throw std::bad_alloc();
    }
    void* p = malloc(n * sizeof(T));
    if (p == nullptr) {
      throw std::bad_alloc();
    }
    return static_cast<T*>(p);
  }

  static void CopyElements_(T* dst, const T* src, size_t n) {
    if (n != 0) {
      memcpy(static_cast<void*>(dst), static_cast<const void*>(src), n * sizeof(T));
    }
  }

  // Requires *this to be freshly initialised.
  void TakeFrom_(LocalVector<T>& vec) noexcept {
    if (vec.ptr_ == vec.buffer_) {
      CopyElements_(buffer_, vec.buffer_, vec.size_);
    } else {
      ptr_ = vec.ptr_;
    }
    size_ = vec.size_;
    capacity_ = vec.capacity_;
    vec.init_();
  }
};

}  // namespace limonp
}  // namespace text
}  // namespace typing
}  // namespace vorda

#endif  // VORDA_TYPING_TEXT_LIMONP_LOCAL_VECTOR_H_
