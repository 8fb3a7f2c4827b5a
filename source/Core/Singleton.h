// Singleton<T>: one instance of T, created with new on first use.
//
// Every instance is deleted at process exit, in the reverse order of creation,
// so a singleton may still use in its destructor any singleton it created or
// used during its own construction.
#pragma once

namespace Vantor {

namespace detail {
// Files a deleter to run at exit (or at destroySingletons) after those filed later.
void registerSingletonDeleter(void (*deleter)());
} // namespace detail

// Deletes every singleton now, newest first. Runs by itself at process exit;
// tests call it to check the order and to start from nothing.
void destroySingletons();

template <class T>
class Singleton {
public:
    static T* getInstance() {
        if (!instance) {
            // Registered after construction, so that the singletons T's
            // constructor creates are deleted after T.
            instance = new T;
            detail::registerSingletonDeleter(&deleteInstance);
        }
        return instance;
    }

    static bool exists() { return instance != nullptr; }

private:
    static void deleteInstance() {
        T* held = instance;
        instance = nullptr;
        delete held;
    }

    static inline T* instance = nullptr;
};

} // namespace Vantor
