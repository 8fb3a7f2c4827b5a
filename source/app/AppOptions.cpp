// Reading the city scene's options from the configuration.
#include "AppOptions.h"

#include "modules/xml/XMLFile.h"

void AppOptions::read(const Vantor::XMLElement& element) {
    auto flag = [&element](const char* key, int def) { return element.getAttribInt(key, def) != 0; };
    renderBirds = flag("renderBirds", 0);
    renderPedestrians = flag("renderPedestrians", 0);
    renderBuildings = flag("renderBuildings", 0);
    renderCars = flag("renderCars", 0);
    displayFPS = flag("displayFPS", 0);
    fog = flag("fog", 0);
    nearClip = element.getAttribFloat("nearClip", defaultNearClip);
    farClip = element.getAttribFloat("farClip", defaultFarClip);
    occlusionCulling = flag("occlusionCulling", 1);
    showOcclusionMap = flag("showOcclusionMap", 0);
}
