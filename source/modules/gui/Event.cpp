#include "modules/gui/Event.h"

#include "modules/gui/Component.h"

namespace Vantor {

void GUIEventHandler::handle(const SPtr<Event>& event, const SPtr<Component>& source) {
    if (target)
        target->onCommand(id, event, source);
}

} // namespace Vantor
