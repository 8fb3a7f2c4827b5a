// Object and SPtr<T>: intrusive reference counting.
//
// An Object handed to an SPtr must come from new; it is deleted through its
// virtual destructor when the last SPtr holding it lets go. An Object never
// held by an SPtr is owned in the ordinary way.
#pragma once

namespace Vantor {

class Object {
public:
    int refCount = 0;

    Object() = default;
    // A copy is a new object: it starts with no references of its own.
    Object(const Object&) : refCount(0) {}
    Object& operator=(const Object&) { return *this; }
    virtual ~Object() = default;
};

// Drops one reference to object and deletes it when none is left.
void releaseReference(Object* object);

template <class T>
class SPtr {
public:
    T* ptr = nullptr;

    SPtr() = default;
    SPtr(T* p) { *this = p; }
    SPtr(const SPtr& other) { *this = other.ptr; }
    template <class U>
    SPtr(const SPtr<U>& other) { *this = other.ptr; }
    virtual ~SPtr() { release(); }

    // Holding the same pointer again changes nothing; otherwise the old
    // object is released before the new one gains a reference.
    SPtr& operator=(T* p) {
        if (p == ptr)
            return *this;
        release();
        ptr = p;
        if (ptr)
            ++ptr->refCount;
        return *this;
    }
    SPtr& operator=(const SPtr& other) { return *this = other.ptr; }
    template <class U>
    SPtr& operator=(const SPtr<U>& other) { return *this = other.ptr; }

    void release() {
        if (!ptr)
            return;
        Object* held = ptr;
        ptr = nullptr;
        releaseReference(held);
    }

    T* get() const { return ptr; }
    T* operator->() const { return ptr; }
    T& operator*() const { return *ptr; }
    explicit operator bool() const { return ptr != nullptr; }
    bool operator==(const SPtr& other) const { return ptr == other.ptr; }
    bool operator!=(const SPtr& other) const { return ptr != other.ptr; }
};

} // namespace Vantor
