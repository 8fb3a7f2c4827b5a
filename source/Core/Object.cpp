#include "Core/Object.h"

namespace Vantor {

// Out of line on purpose: inlined into callers holding two references to one
// object, the decrement-and-delete looks like a use after free to g++ 12.
void releaseReference(Object* object) {
    if (--object->refCount <= 0)
        delete object;
}

} // namespace Vantor
