// ArrayList<T>: the engine's growable array.
//
// Capacity policy: growing doubles from a minimum of 8; shrinking happens only
// when the new size falls below shrinkLimit (half the capacity after the last
// reallocation) and that limit is above 8, so a list that oscillates around a
// size does not reallocate every time. With autoShrink off, emptying a list
// keeps its storage (used by lists that are refilled every frame).
//
// Plain element types (trivially copyable) live in malloc'd memory and are
// copied bytewise; other types live in arrays of constructed objects and are
// copied with their assignment operator. Index access is unchecked.
#pragma once

#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace Vantor {

template <class T>
class ArrayList {
public:
    // The fields are public for reading; only the member functions change them.
    T* data = nullptr;
    unsigned size = 0;
    unsigned capacity = 0;
    unsigned shrinkLimit = 0;
    bool autoShrink = true;

    static constexpr unsigned minimumCapacity = 8;

    ArrayList() = default;
    ArrayList(const ArrayList& other) { *this = other; }
    ArrayList(ArrayList&& other) noexcept { swap(other); }
    virtual ~ArrayList() { release(); }

    // Copies autoShrink, resizes to the other's size and assigns every element.
    ArrayList& operator=(const ArrayList& other) {
        if (this == &other)
            return *this;
        autoShrink = other.autoShrink;
        resize(other.size);
        copyElements(data, other.data, size);
        return *this;
    }

    ArrayList& operator=(ArrayList&& other) noexcept {
        if (this != &other) {
            release();
            swap(other);
        }
        return *this;
    }

    T& operator[](unsigned i) { return data[i]; }
    const T& operator[](unsigned i) const { return data[i]; }

    T* begin() { return data; }
    T* end() { return data + size; }
    const T* begin() const { return data; }
    const T* end() const { return data + size; }

    // Sets size to n; elements below min(old size, n) keep their values and
    // the elements that come into use hold default values.
    void resize(unsigned n) {
        unsigned oldSize = size;
        if (n > capacity) {
            reserve(n);
        } else if (autoShrink) {
            if (n == 0) {
                release();
            } else if (n < size && n < shrinkLimit && shrinkLimit > minimumCapacity) {
                unsigned b = shrinkLimit;
                while (n < b)
                    b /= 2;
                reallocate(2 * b, n);
                shrinkLimit = b;
            }
        }
        size = n;
        for (unsigned i = oldSize; i < n; ++i)
            data[i] = T();
    }

    // Grows the storage, as a resize to n would, without changing size.
    void reserve(unsigned n) {
        if (n <= capacity)
            return;
        unsigned b = capacity > minimumCapacity ? capacity : minimumCapacity;
        while (b < n)
            b *= 2;
        reallocate(b, size);
        shrinkLimit = b / 2;
    }

    void add(const T& value) {
        if (size == capacity) {
            // The value may live in this list's storage, which resize frees.
            T copy(value);
            resize(size + 1);
            data[size - 1] = std::move(copy);
        } else {
            data[size] = value;
            ++size;
        }
    }

    // Removes element i, moving the later elements down by one.
    void remove(unsigned i) {
        for (unsigned k = i; k + 1 < size; ++k)
            data[k] = std::move(data[k + 1]);
        resize(size - 1);
    }

    // Index of the first element equal to value, or -1.
    int indexOf(const T& value) const {
        for (unsigned i = 0; i < size; ++i)
            if (data[i] == value)
                return int(i);
        return -1;
    }

    void clear() { resize(0); }

private:
    static constexpr bool plain = std::is_trivially_copyable_v<T>;

    static T* allocate(unsigned n) {
        if constexpr (plain) {
            void* p = std::malloc(sizeof(T) * n);
            if (!p)
                throw std::bad_alloc();
            return static_cast<T*>(p);
        } else {
            return new T[n];
        }
    }

    static void deallocate(T* p) {
        if constexpr (plain)
            std::free(p);
        else
            delete[] p;
    }

    static void copyElements(T* to, const T* from, unsigned n) {
        if (n == 0)
            return;
        if constexpr (plain) {
            std::memcpy(static_cast<void*>(to), static_cast<const void*>(from), sizeof(T) * n);
        } else {
            for (unsigned i = 0; i < n; ++i)
                to[i] = from[i];
        }
    }

    // New storage of newCapacity elements holding the first keep elements.
    void reallocate(unsigned newCapacity, unsigned keep) {
        T* fresh = allocate(newCapacity);
        if constexpr (plain) {
            copyElements(fresh, data, keep);
        } else {
            for (unsigned i = 0; i < keep; ++i)
                fresh[i] = std::move(data[i]);
        }
        deallocate(data);
        data = fresh;
        capacity = newCapacity;
    }

    void release() {
        deallocate(data);
        data = nullptr;
        size = 0;
        capacity = 0;
        shrinkLimit = 0;
    }

    void swap(ArrayList& other) noexcept {
        std::swap(data, other.data);
        std::swap(size, other.size);
        std::swap(capacity, other.capacity);
        std::swap(shrinkLimit, other.shrinkLimit);
        std::swap(autoShrink, other.autoShrink);
    }
};

} // namespace Vantor
