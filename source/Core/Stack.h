// Stack<T>: last in, first out, on an ArrayList.
#pragma once

#include "Core/ArrayList.h"

namespace Vantor {

template <class T>
struct Stack {
    ArrayList<T> items;

    void push(const T& value) { items.add(value); }
    // Removes the top element; the stack must not be empty.
    void pop() { items.resize(items.size - 1); }
    T& top() { return items[items.size - 1]; }
    const T& top() const { return items[items.size - 1]; }
    unsigned size() const { return items.size; }
    bool empty() const { return items.size == 0; }
};

} // namespace Vantor
