// A circular doubly linked list with a cursor. Searching moves the cursor so that the entry just
// found is the one RemoveCurrent takes out; the ring itself takes no lock (its owner does).
#pragma once

#include <cstdint>
#include <new>

template <typename Record>
class CTRing {
public:
    CTRing() = default;
    CTRing(const CTRing&) = delete;
    CTRing& operator=(const CTRing&) = delete;
    // Not virtual: the ring is never deleted through a pointer to it.
    ~CTRing() { Clear(); }

    // Links a copy of record in before the cursor and makes it current; false when out of memory.
    virtual bool Insert(const Record& record);

    // Moves the cursor to the entry with this handle and reports whether there is one. A failed
    // search leaves the cursor on the entry that preceded it at the start.
    bool Find(int32_t handle);
    // Unlinks and frees the current entry; the cursor moves on to the next one.
    bool RemoveCurrent();

    Record* Current() { return cursor ? &cursor->record : nullptr; }
    int32_t Count() const { return count; }

protected:
    void Clear() {
        while (RemoveCurrent()) {}
    }

private:
    struct Node {
        Record record;
        Node* previous;
        Node* next;
    };

    Node* cursor = nullptr;
    int32_t count = 0;
};

template <typename Record>
bool CTRing<Record>::Insert(const Record& record) {
    Node* node = new (std::nothrow) Node{record, nullptr, nullptr};
    if (!node) return false;
    if (!cursor) {
        node->previous = node;
        node->next = node;
        count = 1;
    } else {
        node->previous = cursor->previous;
        node->next = cursor;
        cursor->previous->next = node;
        cursor->previous = node;
        ++count;
    }
    cursor = node;
    return true;
}

template <typename Record>
bool CTRing<Record>::Find(int32_t handle) {
    if (!cursor) return false;
    const int32_t last = cursor->previous->record.handle;
    if (cursor->record.handle == handle) return true;
    while (cursor->record.handle != last) {
        cursor = cursor->next;
        if (cursor->record.handle == handle) return true;
    }
    return false;
}

template <typename Record>
bool CTRing<Record>::RemoveCurrent() {
    if (!cursor) return false;
    Node* removed = cursor;
    if (count == 1) {
        cursor = nullptr;
        count = 0;
    } else {
        removed->previous->next = removed->next;
        removed->next->previous = removed->previous;
        cursor = removed->next;
        --count;
    }
    delete removed;
    return true;
}
