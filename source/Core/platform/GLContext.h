// Whether this thread has an OpenGL context to talk to.
//
// Code that can run both inside the program and in tools without a window
// (the script runner) asks this before it reads GL state.
#pragma once

namespace Vantor::platform {

// True when a GL context made by this layer is current on this thread. Never
// starts the video subsystem: without it there is no context.
bool glContextCurrent();

} // namespace Vantor::platform
