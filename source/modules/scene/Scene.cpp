// Reading the scene description: the ambient colour, the lights and the
// models of the "scene" element.
#include "modules/scene/Scene.h"

#include "Core/WinAppFramework/App.h"
#include "Core/WinAppFramework/DebugLog.h"
#include "Core/WinAppFramework/Exception.h"
#include "modules/scene/Light.h"
#include "modules/xml/XMLFile.h"

namespace Vantor {

void Scene::readScene(XMLElement& sceneElement) {
    readColour(sceneElement.findChild("ambient"), ambient);
    for (XMLElement* light = sceneElement.findFirstChild("light"); light; light = sceneElement.findNextChild())
        addLight(readLight(*light));
    for (XMLElement* model = sceneElement.findFirstChild("model"); model; model = sceneElement.findNextChild()) {
        // A model that does not load is left out of the scene.
        try {
            ModelRef ref = ModelManager::getInstance()->load(model->getAttrib("filename").c_str(), 0);
            if (ref.modelIndex != 0) {
                models.add(ref);
                modelFiles.add(model->getAttrib("filename"));
            }
        } catch (const Exception& e) {
            if (DebugLog* log = App::currentLog()) {
                log->print("Model %s left out of the scene:", model->getAttrib("filename").c_str());
                log->printString(e.message);
            }
        }
    }
}

} // namespace Vantor
