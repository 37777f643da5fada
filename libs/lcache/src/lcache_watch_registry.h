// SPDX-License-Identifier: MIT
// The watches of one kind (interface or VLAN): handle, mask, callback.
// A watch removed while events are being delivered is only marked, so the
// delivery loop never loses its place; the array is compacted afterwards.
#pragma once

#include <cerrno>
#include <climits>

#include "lcache_watch_journal.h"

namespace lc {

template <class Fn> struct Watch {
    int handle;
    uint32_t mask;
    Fn fn; // NULL once removed
    void *arg;
};

template <class Fn> class Watches {
  public:
    explicit Watches(uint32_t &live) : live_(live) {}

    int add(uint32_t mask, Fn fn, void *arg) {
        if (next_handle_ == INT_MAX)
            return -ENOSPC;
        if (count_ == capacity_) {
            const uint32_t capacity = capacity_ ? 2 * capacity_ : 4;
            Watch<Fn> *items = grow_block(items_, count_, capacity);
            if (!items)
                return -ENOMEM;
            items_ = items;
            capacity_ = capacity;
        }
        items_[count_++] = Watch<Fn>{next_handle_, mask, fn, arg};
        ++live_;
        return next_handle_++;
    }

    int remove(int handle) {
        for (uint32_t i = 0; i < count_; ++i) {
            if (items_[i].handle == handle && items_[i].fn) {
                items_[i].fn = nullptr;
                --live_;
                return 0;
            }
        }
        return -ENOENT;
    }

    // Calls every watch present when the event started whose mask meets
    // `bits`, or every one when `to_all`.  Each watch is read afresh: a
    // callback may add watches (which moves the array) or remove them.
    template <class Event> void tell(const Event &event, uint32_t bits, bool to_all) {
        const uint32_t present = count_;
        for (uint32_t i = 0; i < present; ++i) {
            const Watch<Fn> w = items_[i];
            if (w.fn && (to_all || (w.mask & bits)))
                w.fn(&event, w.arg);
        }
    }

    // Drops the removed watches; only outside a delivery.
    void compact() {
        uint32_t kept = 0;
        for (uint32_t i = 0; i < count_; ++i)
            if (items_[i].fn)
                items_[kept++] = items_[i];
        count_ = kept;
    }

    void release() {
        mtrack_free(items_);
        items_ = nullptr;
        count_ = capacity_ = 0;
        live_ = 0;
    }

  private:
    uint32_t &live_;
    Watch<Fn> *items_ = nullptr;
    uint32_t count_ = 0;
    uint32_t capacity_ = 0;
    int next_handle_ = 0;
};

} // namespace lc
