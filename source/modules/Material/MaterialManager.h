// MaterialManager: owns every material and the shader entries that passes use.
//
// The material table has kMaxMaterials slots, filled from the front by the
// model loader and never emptied while the program runs. Shader entries are
// built once from the scene's XML description, after the models are loaded;
// passes keep indices into that list, so it must not be rebuilt afterwards.
#pragma once

#include "Core/ArrayList.h"
#include "Core/Singleton.h"
#include "Core/String.h"
#include "modules/DrovelScript/Program.h"
#include "modules/Material/Material.h"

namespace Vantor {

class XMLElement;

class MaterialManager {
public:
    // A GPU program, the parameters it reads and the script that computes them.
    struct MaterialShader {
        String name;
        // ShaderManager program index; 0 when none or when the path is unsupported.
        int program = 0;
        // Run before each use of the entry, only when valid (compiled).
        Program script;
    };

    int materialCount = 0;
    Material materials[kMaxMaterials];
    ArrayList<MaterialShader> shaders;

    static MaterialManager* getInstance() { return Singleton<MaterialManager>::getInstance(); }

    // Copies material into the next free slot and returns that slot; null,
    // with nothing written, when all kMaxMaterials slots are in use.
    Material* add(const Material& material);
    // Slots still free.
    int freeSlots() const { return kMaxMaterials - materialCount; }
    // Back to no materials and no shader entries; the programs stay with the
    // ShaderManager. For tools and tests that load more than one scene.
    void reset();

    // Reads the first "shaders" child with initShadersXML, then the first
    // "materials" child with readMaterials; a missing child reads as empty.
    void loadMaterialProperties(XMLElement& element);
    // Rebuilds the shader entries from the "shader" children, loading each
    // program, registering its declared parameters and compiling its object
    // shader. Throws when a program is broken, an object-shader file cannot
    // be opened or a script does not compile.
    void initShadersXML(XMLElement& shadersElement);
    // Gives each loaded material named by a "material" child the passes of
    // that element; elements naming no loaded material are ignored.
    void readMaterials(XMLElement& materialsElement);
    // Index of the first shader entry named name, or -1.
    int findShader(const String& name) const;
};

} // namespace Vantor
