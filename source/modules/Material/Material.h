// Material: how a mesh surface is drawn. Fixed-function colours and
// shininess, one texture per texture unit, and the rendering passes that the
// scene's XML description attaches to it by name.
//
// Materials are read from model files (Material::read, no GL) and later given
// passes (readPasses); apply sets the GL state of one pass before a mesh is
// drawn with it. A pass refers to a shader entry of the MaterialManager by
// index; those indices stay valid because the entries are built only once.
#pragma once

#include "Core/ArrayList.h"
#include "Core/ByteReader.h"
#include "Core/String.h"

namespace Vantor {

class Texture;
class XMLElement;

// Slots of the MaterialManager's material table.
constexpr int kMaxMaterials = 512;
// A material record with this many texture slots or more is rejected.
constexpr int kMaxMaterialTextures = 2048;
// MatTex::type of a normal map.
constexpr int kNormalMapSlot = 1;
// Pass ids from 0 up to this, exclusive; a "pass" with a larger id is skipped
// like one without an id, so a hostile description cannot make a huge list.
constexpr int kMaxMaterialPasses = 64;
// Bytes of one texture slot record in a model file: type, texture index, stored.
constexpr int kMatTexRecordBytes = 12;
// GL's fixed-function shininess range is 0 to this.
constexpr float kMaxGLShininess = 128.0f;

// One texture unit of a material.
struct MatTex {
    int type = 0;
    // The index the model file gives; the loader resolves it into texture.
    int textureIndex = -1;
    // Kept as read from the file.
    int stored = 0;
    // Null leaves the unit unused.
    Texture* texture = nullptr;
};

struct MaterialPass {
    bool used = false;
    // ShaderManager program index; 0 draws with fixed-function state.
    int program = 0;
    // Index into MaterialManager::shaders, -1 for none.
    int shader = -1;
};

class Material {
public:
    // The key by which the XML description finds the material.
    String name;
    // Unit 0 first.
    ArrayList<MatTex> textures;
    float auxValue = 1.0f;
    float shininess = 0.0f;
    float auxColour[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float specular[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    // Indexed by pass id.
    ArrayList<MaterialPass> passes;

    // Reads one material record of a model file at the reader's cursor: the
    // name, the texture slot count, auxValue, the shininess exponent, the
    // diffuse, specular and aux colours and the slot records. On a short read
    // or kMaxMaterialTextures slots or more it returns false with the fault
    // named in the reader and leaves the material unchanged. Passes are kept.
    bool read(ByteReader& reader);

    // Adds the passes of the "pass" children of a "material" element: each
    // marks its id used and, with a known "shader" name, takes that entry's
    // program. Ids missing, negative or at kMaxMaterialPasses and above are skipped.
    void readPasses(XMLElement& materialElement);

    // Sets the GL state for drawing with pass passIndex: runs the pass's
    // object-shader script, binds its program or else sets the fixed-function
    // material colours, then enables and binds the textures unit by unit,
    // leaving the last unit of the list active.
    void apply(int passIndex);
};

} // namespace Vantor
