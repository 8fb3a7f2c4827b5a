// The few process-wide values the frame shares: the current camera, the
// seconds of the last frame, whether the window is active, and the characters
// typed since the last frame.
#pragma once

#include "Core/ArrayList.h"

namespace Vantor {

class Camera;

// The camera whose view is loaded before 3D rendering.
extern Camera* currentCamera;
// The clamped seconds of the last frame, as the frame clock measured it.
extern double frameDelta;
// Frames are rendered only while this is true (the window is not minimised).
extern bool windowActive;
// Characters typed (WM_CHAR) since the last frame; emptied after every frame.
extern ArrayList<char> typedChars;

} // namespace Vantor
