// SPDX-License-Identifier: MIT
// The journal of one operation: for each entry it changed, the values the
// entry had when the operation first touched it.  Records are appended in
// the order entries are first touched and delivered in that order; a
// record being delivered is sealed, so a callback's own change to that
// entry opens a new record.  Memory comes from the tracker, under the
// library's own identifier, so a leak shows there and tests can make an
// allocation fail.
#pragma once

#include <cstring>

#include "lcache_internal.h"
#include "mtrack.h"

namespace lc {

template <class Entry> struct Change {
    Entry *live;    // NULL once the entry is released
    Entry before;   // unused for an added entry
    bool added;     // created during the operation
    bool released;  // gone by its end
    uint32_t noted; // bits changed with no value to compare (the name)
};

// Tracker blocks of plain records; never constructed or destroyed.
template <class T> T *grow_block(T *old, uint32_t count, uint32_t capacity) {
    auto *block = static_cast<T *>(mtrack_alloc(LCACHE_MTRACK_ID, LCACHE_MEM_NONE,
                                                static_cast<uint32_t>(capacity * sizeof(T))));
    if (block && old)
        memcpy(static_cast<void *>(block), old, count * sizeof(T));
    if (block)
        mtrack_free(old);
    return block;
}

template <class Entry> class Journal {
  public:
    // The unsealed record of `entry`, or a new one holding its values;
    // NULL when memory ran out.
    Change<Entry> *open(Entry *entry) {
        if (Change<Entry> *open = find(entry))
            return open;
        return append(entry, false);
    }

    // A record for an entry created just now.
    Change<Entry> *append_added(Entry *entry) { return append(entry, true); }

    // The unsealed record of `entry`, NULL when there is none.
    Change<Entry> *find(const Entry *entry) {
        if (!slots_)
            return nullptr;
        for (uint32_t s = slot_of(entry);; s = (s + 1) & (slot_count_ - 1)) {
            const uint32_t held = slots_[s];
            if (held == 0)
                return nullptr;
            Change<Entry> &c = items_[held - 1];
            if (c.live == entry && held - 1 >= sealed_)
                return &c;
        }
    }

    uint32_t capacity() const { return capacity_; }
    bool has_undelivered() const { return sealed_ < count_; }
    // Seals the next record and returns a copy of it, for delivery.
    Change<Entry> seal_next() { return items_[sealed_++]; }

    // Every record delivered: the journal starts empty, keeping its memory.
    void clear() {
        count_ = sealed_ = 0;
        if (slots_)
            memset(slots_, 0, slot_count_ * sizeof *slots_);
    }

    void release() {
        mtrack_free(items_);
        mtrack_free(slots_);
        *this = Journal{};
    }

  private:
    Change<Entry> *append(Entry *entry, bool added) {
        if (count_ == capacity_ && !grow())
            return nullptr;
        Change<Entry> &c = items_[count_++];
        c.live = entry;
        if (!added)
            memcpy(static_cast<void *>(&c.before), entry, sizeof c.before);
        c.added = added;
        c.released = false;
        c.noted = 0;
        index(count_ - 1);
        return &c;
    }

    bool grow() {
        const uint32_t capacity = capacity_ ? 2 * capacity_ : 16;
        // Twice as many slots as records keeps the probes short.
        auto *slots = grow_block<uint32_t>(nullptr, 0, 2 * capacity);
        if (!slots)
            return false;
        Change<Entry> *items = grow_block(items_, count_, capacity);
        if (!items) {
            mtrack_free(slots);
            return false;
        }
        items_ = items;
        capacity_ = capacity;
        mtrack_free(slots_);
        slots_ = slots;
        slot_count_ = 2 * capacity;
        memset(slots_, 0, slot_count_ * sizeof *slots_);
        for (uint32_t i = 0; i < count_; ++i)
            index(i);
        return true;
    }

    uint32_t slot_of(const Entry *entry) const {
        const auto p = reinterpret_cast<uintptr_t>(entry);
        return static_cast<uint32_t>((p >> 4) * 2654435761u) & (slot_count_ - 1);
    }

    void index(uint32_t i) {
        uint32_t s = slot_of(items_[i].live);
        while (slots_[s] != 0)
            s = (s + 1) & (slot_count_ - 1);
        slots_[s] = i + 1;
    }

    Change<Entry> *items_ = nullptr;
    uint32_t count_ = 0;
    uint32_t capacity_ = 0;
    uint32_t sealed_ = 0; // records before this one were delivered
    uint32_t *slots_ = nullptr; // record index + 1 by entry address; 0 free
    uint32_t slot_count_ = 0;
};

} // namespace lc
