// DSVariable and DSVarPtr: the value cell of the Drovel script language and
// the counted reference that shares it.
//
// A cell holds one value: its type (typeId and the DSType object that knows
// how to initialise, copy, destroy and print it) and size bytes of storage.
// Values that fit the inline storage live in the cell; larger ones live in a
// block from the memory manager's size classes. Cells come only from the
// DSMemManager pool and go back to it when the last DSVarPtr lets go; a cell
// in use always has a type ("object" when it holds nothing).
#pragma once

#include "Core/Singleton.h"

#include <cstring>
#include <type_traits>

namespace Vantor {

class DSMemManager;
class DSType;

class DSVariable {
public:
    // The inline storage holds any value up to a pointer's size, so that the
    // String and Array values (a pointer to their object) stay in the cell.
    static constexpr unsigned kInlineSize = sizeof(void*) > 4 ? unsigned(sizeof(void*)) : 4u;

    int typeId = 1;
    DSType* type = nullptr;
    int refCount = 0;
    unsigned size = 0;
    alignas(void*) unsigned char storage[kInlineSize] = {};
    unsigned char* block = nullptr;
    // The slot of the memory manager's pool this cell occupies.
    int poolIndex = -1;

    DSVariable(const DSVariable&) = delete;
    DSVariable& operator=(const DSVariable&) = delete;
    virtual ~DSVariable() = default;

    // Gives the cell n zeroed value bytes, taking a block when n exceeds the
    // inline storage; the old value is not kept. Same size: nothing happens.
    void setSize(unsigned n);
    // Destroys the value through its type, frees any block; no type, size 0.
    void reset();
    // Value copy: this cell takes the source's type and a copy of its value.
    void assign(const DSVariable& source);
    // Makes the cell a fresh value of type t (its init runs).
    void setType(DSType& t);

    unsigned char* value() { return block ? block : storage; }
    const unsigned char* value() const { return block ? block : storage; }
    unsigned char firstByte() const { return value()[0]; }

    // Reads a T from the value bytes. Only the bytes the cell actually has are
    // read; missing ones read as zero. A bool is true when its byte is not 0.
    template <class T>
    T get() const {
        static_assert(std::is_trivially_copyable<T>::value, "cell values are plain bytes");
        if constexpr (std::is_same<T, bool>::value) {
            return firstByte() != 0;
        } else {
            T out;
            std::memset(static_cast<void*>(&out), 0, sizeof(T));
            std::memcpy(static_cast<void*>(&out), value(), bytesFor(sizeof(T)));
            return out;
        }
    }

    // Writes a T into the value bytes, as far as the cell has room for it.
    template <class T>
    void set(const T& v) {
        static_assert(std::is_trivially_copyable<T>::value, "cell values are plain bytes");
        if constexpr (std::is_same<T, bool>::value) {
            value()[0] = v ? 1 : 0;
        } else {
            std::memcpy(value(), static_cast<const void*>(&v), bytesFor(sizeof(T)));
        }
    }

private:
    friend class DSMemManager;
    DSVariable() = default;

    unsigned bytesFor(unsigned n) const {
        const unsigned room = block ? size : kInlineSize;
        return n < room ? n : room;
    }
};

// A counted reference to a pool cell. Copying adds a reference; releasing
// (or rebinding, or destroying) drops one and returns the cell to the pool
// when none is left.
class DSVarPtr {
public:
    DSVariable* ptr = nullptr;

    DSVarPtr() = default;
    DSVarPtr(DSVariable* cell) { *this = cell; }
    DSVarPtr(const DSVarPtr& other) { *this = other.ptr; }
    DSVarPtr(DSVarPtr&& other) noexcept : ptr(other.ptr) { other.ptr = nullptr; }
    ~DSVarPtr() { release(); }

    // The new cell gains its reference before the old one is released, so
    // rebinding to a cell that only the old one kept alive is safe.
    DSVarPtr& operator=(DSVariable* cell) {
        if (cell == ptr)
            return *this;
        if (cell)
            ++cell->refCount;
        DSVariable* old = ptr;
        ptr = cell;
        if (old)
            dropReference(old);
        return *this;
    }
    DSVarPtr& operator=(const DSVarPtr& other) { return *this = other.ptr; }
    DSVarPtr& operator=(DSVarPtr&& other) noexcept {
        if (this != &other) {
            DSVariable* old = ptr;
            ptr = other.ptr;
            other.ptr = nullptr;
            if (old)
                dropReference(old);
        }
        return *this;
    }

    void release() {
        if (!ptr)
            return;
        DSVariable* old = ptr;
        ptr = nullptr;
        dropReference(old);
    }

    DSVariable* get() const { return ptr; }
    DSVariable* operator->() const { return ptr; }
    DSVariable& operator*() const { return *ptr; }
    explicit operator bool() const { return ptr != nullptr; }
    bool operator==(const DSVarPtr& other) const { return ptr == other.ptr; }
    bool operator!=(const DSVarPtr& other) const { return ptr != other.ptr; }

private:
    // Decrements the count and gives the cell back to the pool at 0 or below.
    // Does nothing once the memory manager is gone (the pool went with it).
    static void dropReference(DSVariable* cell) noexcept {
        if (Singleton<DSMemManager>::exists() && cell->refCount > 1) {
            --cell->refCount;
            return;
        }
        dropLastReference(cell);
    }
    // dropReference for the rest: the last reference, or no manager.
    static void dropLastReference(DSVariable* cell) noexcept;
};

} // namespace Vantor
