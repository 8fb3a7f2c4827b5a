// The current-context query, read from SDL's own record of the context it
// made current on this thread.
#include "Core/platform/GLContext.h"

#include "Core/platform/SdlPlatform.h"

namespace Vantor::platform {

bool glContextCurrent() { return videoRunning() && SDL_GL_GetCurrentContext() != nullptr; }

} // namespace Vantor::platform
