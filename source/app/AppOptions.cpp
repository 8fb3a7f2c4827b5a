// Reading the city scene's options from the configuration.
#include "AppOptions.h"

#include "modules/xml/XMLFile.h"

#include <cctype>
#include <string>

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

ModelGroup modelGroupOf(const char* file) {
    std::string path = file ? file : "";
    for (char& c : path)
        c = c == '/' ? '\\' : char(std::tolower(static_cast<unsigned char>(c)));
    const struct {
        const char* folder;
        ModelGroup group;
    } folders[] = {{"models\\buildings\\", ModelGroup::buildings},
                   {"models\\pedestrians\\", ModelGroup::pedestrians},
                   {"models\\birds\\", ModelGroup::birds},
                   {"models\\cars\\", ModelGroup::cars}};
    for (const auto& entry : folders)
        if (path.find(entry.folder) != std::string::npos)
            return entry.group;
    return ModelGroup::other;
}

bool AppOptions::shows(ModelGroup group) const {
    switch (group) {
    case ModelGroup::buildings: return renderBuildings;
    case ModelGroup::pedestrians: return renderPedestrians;
    case ModelGroup::birds: return renderBirds;
    case ModelGroup::cars: return renderCars;
    default: return true;
    }
}
