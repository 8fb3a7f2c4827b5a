// The material table and the shader entries read from the scene's XML.
#include "modules/Material/MaterialManager.h"

#include "Core/WinAppFramework/Exception.h"
#include "Core/platform/File.h"
#include "modules/DrovelScript/DSCompiler.h"
#include "modules/DrovelScript/ShaderDialect.h"
#include "modules/ShaderManager/ParamDatabase.h"
#include "modules/ShaderManager/ShaderManager.h"
#include "modules/xml/XMLFile.h"

#include <cstdio>

namespace Vantor {

namespace {

const char* const initShadersName = "Vantor::MaterialManager::initShadersXML";
const char* const sourceFile = "source\\modules\\Material\\MaterialManager";
constexpr int lineObjectShaderOpen = 110;

// The parameter type a "param" element names, or -1 for one it ignores.
int paramType(const String& type) {
    if (type == "float")
        return kParamFloat;
    if (type == "vector")
        return kParamVector;
    if (type == "matrix")
        return kParamMatrix;
    return -1;
}

// Reads and compiles an object-shader script file into script.
void compileObjectShader(const String& filename, Program& script) {
    FILE* file = platform::openFile(filename.c_str(), "rt");
    if (!file)
        throw Exception(String("Error opening objectshader file ") + filename, initShadersName, sourceFile,
                        lineObjectShaderOpen);
    String source;
    source.readAll(file);
    std::fclose(file);
    Compiler::getInstance()->compile(source, *ShaderDialect::getInstance(), script, false);
}

} // namespace

Material* MaterialManager::add(const Material& material) {
    if (materialCount < 0 || materialCount >= kMaxMaterials)
        return nullptr;
    Material& slot = materials[materialCount];
    slot = material;
    ++materialCount;
    return &slot;
}

void MaterialManager::reset() {
    for (Material& material : materials)
        material = Material();
    materialCount = 0;
    shaders.clear();
}

void MaterialManager::loadMaterialProperties(XMLElement& element) {
    XMLElement none;
    XMLElement* shadersElement = element.findChild("shaders");
    initShadersXML(shadersElement ? *shadersElement : none);
    XMLElement* materialsElement = element.findChild("materials");
    readMaterials(materialsElement ? *materialsElement : none);
}

void MaterialManager::initShadersXML(XMLElement& shadersElement) {
    shaders.clear();
    ShaderManager* shaderManager = ShaderManager::getInstance();
    ParamDatabase* database = ParamDatabase::getInstance();
    for (XMLElement* element = shadersElement.findFirstChild("shader"); element;
         element = shadersElement.findNextChild()) {
        // Copies: a missing attribute reads as a shared string that the next miss resets.
        const String vertex = element->getAttrib("vertex");
        const String fragment = element->getAttrib("fragment");
        const int language = element->getAttrib("language") == "GLSL" ? kProgramGLSL : kProgramAsm;
        if (vertex.empty())
            continue;

        MaterialShader entry;
        entry.name = element->getAttrib("name");
        entry.program = fragment.empty()
                            ? shaderManager->loadVertexProgram(vertex.c_str(), language)
                            : shaderManager->loadProgram(vertex.c_str(), fragment.c_str(), language);
        if (entry.program != 0) {
            for (XMLElement* param = element->findFirstChild("param"); param;
                 param = element->findNextChild()) {
                const int type = paramType(param->getAttrib("type"));
                if (type >= 0)
                    database->registerProgramParam(entry.program, param->getAttrib("name"), type);
            }
            // Each entry has a script of its own: one without "objectshader"
            // keeps an empty (invalid) script and so never runs another entry's.
            const XMLElement* objectShader = element->findChild("objectshader");
            if (objectShader) {
                const String& filename = objectShader->getAttrib("filename");
                if (!filename.empty())
                    compileObjectShader(filename, entry.script);
            }
        }
        shaders.add(entry);
    }
}

void MaterialManager::readMaterials(XMLElement& materialsElement) {
    for (XMLElement* element = materialsElement.findFirstChild("material"); element;
         element = materialsElement.findNextChild()) {
        const String name = element->getAttrib("name");
        for (int i = 0; i < materialCount && i < kMaxMaterials; ++i) {
            if (materials[i].name == name) {
                materials[i].readPasses(*element);
                break;
            }
        }
    }
}

int MaterialManager::findShader(const String& name) const {
    for (unsigned i = 0; i < shaders.size; ++i)
        if (shaders[i].name == name)
            return int(i);
    return -1;
}

} // namespace Vantor
