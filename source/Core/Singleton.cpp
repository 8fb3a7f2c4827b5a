#include "Core/Singleton.h"

#include <cstdlib>

namespace Vantor {

namespace {

// Deleters are chained newest first in plain nodes, so that running them needs
// no object with a destructor of its own that exit might already have run.
struct DeleterNode {
    void (*deleter)();
    DeleterNode* previous;
};

DeleterNode* newest = nullptr;
bool exitHandlerInstalled = false;

void runAtExit() { destroySingletons(); }

} // namespace

void detail::registerSingletonDeleter(void (*deleter)()) {
    if (!exitHandlerInstalled) {
        exitHandlerInstalled = true;
        std::atexit(runAtExit);
    }
    newest = new DeleterNode{deleter, newest};
}

void destroySingletons() {
    while (newest) {
        DeleterNode* node = newest;
        newest = node->previous;
        node->deleter();
        delete node;
    }
}

} // namespace Vantor
