#include "Core/WinAppFramework/Globals.h"

namespace Vantor {

Camera* currentCamera = nullptr;
double frameDelta = 1.0;
bool windowActive = false;
ArrayList<char> typedChars;

} // namespace Vantor
