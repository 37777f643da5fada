// SPDX-License-Identifier: MIT
// A growable array of plain records on malloc storage: running out of
// memory is an answer (false), never an abort, since the library is built
// without exceptions.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace lcache_linux {

template <typename T>
class PlainArray {
    static_assert(std::is_trivially_copyable_v<T>, "kept with memcpy and realloc");

  public:
    PlainArray() = default;
    ~PlainArray() { free(items_); }
    PlainArray(const PlainArray &) = delete;
    PlainArray &operator=(const PlainArray &) = delete;

    T *begin() { return items_; }
    T *end() { return items_ + size_; }
    const T *begin() const { return items_; }
    const T *end() const { return items_ + size_; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T &operator[](size_t i) { return items_[i]; }
    const T &operator[](size_t i) const { return items_[i]; }

    bool reserve(size_t wanted) {
        if (wanted <= capacity_)
            return true;
        size_t capacity = std::max<size_t>(capacity_ * 2, std::max<size_t>(wanted, 8));
        void *grown = realloc(items_, capacity * sizeof(T));
        if (!grown)
            return false;
        items_ = static_cast<T *>(grown);
        capacity_ = capacity;
        return true;
    }
    bool push_back(const T &item) { return insert(size_, item); }
    bool insert(size_t at, const T &item) {
        if (!reserve(size_ + 1))
            return false;
        memmove(items_ + at + 1, items_ + at, (size_ - at) * sizeof(T));
        items_[at] = item;
        ++size_;
        return true;
    }
    void erase(size_t at) {
        memmove(items_ + at, items_ + at + 1, (size_ - at - 1) * sizeof(T));
        --size_;
    }
    // Keeps the storage for the next fill.
    void clear() { size_ = 0; }
    void release() {
        free(items_);
        items_ = nullptr;
        size_ = capacity_ = 0;
    }

  private:
    T *items_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// The first item of `items` (sorted by `key`) whose key is not below `wanted`.
template <typename T, typename K, typename Key>
size_t lower_bound_by(const PlainArray<T> &items, K wanted, Key &&key) {
    const T *found = std::lower_bound(items.begin(), items.end(), wanted,
                                      [&](const T &item, K k) { return key(item) < k; });
    return static_cast<size_t>(found - items.begin());
}

} // namespace lcache_linux
