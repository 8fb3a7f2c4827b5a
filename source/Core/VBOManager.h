// VBOManager: hands out the names of every GL buffer object the engine uses
// and deletes them all at shutdown.
//
// It is a plug-in only for its shutdown, and registers only when the driver
// has buffer objects; Plugin::enabled then tells every owner whether buffer
// objects may be used. Without them the manager exists unregistered, disabled,
// and hands out no names. Names are never deleted one by one.
#pragma once

#include "Core/ArrayList.h"
#include "Core/Singleton.h"
#include "Core/WinAppFramework/Plugin.h"

#include <GL/glew.h>

namespace Vantor {

class VBOManager : public Plugin, public Singleton<VBOManager> {
public:
    // Set before the manager is created, it makes the manager act as on a
    // driver without buffer objects (tests use it for the client-memory path).
    static inline bool ignoreExtension = false;

    ArrayList<GLuint> buffers;

    VBOManager();

    // A new buffer name, remembered for shutdown; 0 without buffer objects.
    GLuint generate();
    // Deletes every name handed out and forgets them, so a second call
    // deletes nothing that GL may have handed out again.
    void shutdown() override;
};

} // namespace Vantor
