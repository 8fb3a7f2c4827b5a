// Reading material records, attaching passes from XML and applying a pass.
#include "modules/Material/Material.h"

#include "Core/textures/TextureManager.h"
#include "modules/Material/MaterialManager.h"
#include "modules/ShaderManager/ShaderManager.h"
#include "modules/xml/XMLFile.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace Vantor {

namespace {

constexpr int kColourComponents = 4;
constexpr float kColourScale = 255.0f;
// shininess = 2 ^ (kShininessExponentScale * e) for the file's exponent e.
constexpr float kShininessExponentScale = 7.0f;

// A packed colour: red in the lowest byte, then green, blue and alpha.
void unpackColour(uint32_t packed, float* colour) {
    for (int i = 0; i < kColourComponents; ++i)
        colour[i] = float((packed >> (8 * i)) & 0xFFu) / kColourScale;
}

// The fixed-function texture units GL offers (apply enables those), and the
// image units programs can read (apply binds the entries past the first up
// to those, without enabling them: GL has no switch for them).
int queriedUnits(GLenum limit) {
    GLint units = 1;
    glGetIntegerv(limit, &units);
    return units < 1 ? 1 : int(units);
}

int textureUnitCount() {
    static const int count = queriedUnits(GL_MAX_TEXTURE_UNITS_ARB);
    return count;
}

int textureImageUnitCount() {
    static const int count = std::max(textureUnitCount(), queriedUnits(GL_MAX_TEXTURE_IMAGE_UNITS_ARB));
    return count;
}

float glShininess(float shininess) {
    // NaN compares false both ways and ends up as 0.
    if (!(shininess > 0.0f))
        return 0.0f;
    return shininess > kMaxGLShininess ? kMaxGLShininess : shininess;
}

} // namespace

bool Material::read(ByteReader& reader) {
    String readName;
    if (!reader.readString(readName))
        return reader.fail("material name cut short");
    int slotCount = 0;
    if (!reader.readInt(slotCount))
        return reader.fail("material texture count cut short");
    if (slotCount >= kMaxMaterialTextures)
        return reader.fail("material has 2048 texture slots or more");
    if (slotCount < 0)
        slotCount = 0;
    float readAux = 0.0f;
    float exponent = 0.0f;
    uint32_t packed[3] = {0, 0, 0};
    if (!reader.readFloat(readAux) || !reader.readFloat(exponent))
        return reader.fail("material shininess cut short");
    for (uint32_t& colour : packed)
        if (!reader.readUInt(colour))
            return reader.fail("material colours cut short");
    if (!reader.canHold(slotCount, kMatTexRecordBytes))
        return reader.fail("material texture slots cut short");

    ArrayList<MatTex> slots;
    slots.resize(unsigned(slotCount));
    for (MatTex& slot : slots) {
        reader.readInt(slot.type);
        reader.readInt(slot.textureIndex);
        reader.readInt(slot.stored);
        slot.texture = nullptr;
    }
    name = readName;
    textures = slots;
    auxValue = readAux;
    shininess = std::exp2(kShininessExponentScale * exponent);
    unpackColour(packed[0], diffuse);
    unpackColour(packed[1], specular);
    unpackColour(packed[2], auxColour);
    return true;
}

void Material::readPasses(XMLElement& materialElement) {
    const MaterialManager* manager = MaterialManager::getInstance();
    for (XMLElement* pass = materialElement.findFirstChild("pass"); pass;
         pass = materialElement.findNextChild()) {
        const int id = pass->getAttribInt("id", -1);
        if (id < 0 || id >= kMaxMaterialPasses)
            continue;
        if (passes.size < unsigned(id) + 1)
            passes.resize(unsigned(id) + 1);
        MaterialPass& entry = passes[unsigned(id)];
        entry.used = true;
        const String& shaderName = pass->getAttrib("shader");
        if (shaderName.empty())
            continue;
        const int index = manager->findShader(shaderName);
        entry.shader = index;
        entry.program = index >= 0 ? manager->shaders[unsigned(index)].program : 0;
    }
}

void Material::apply(int passIndex) {
    bool programBound = false;
    if (passIndex >= 0 && unsigned(passIndex) < passes.size && passes[unsigned(passIndex)].used) {
        const MaterialPass& pass = passes[unsigned(passIndex)];
        MaterialManager* materials = MaterialManager::getInstance();
        if (pass.shader >= 0 && unsigned(pass.shader) < materials->shaders.size) {
            Program& script = materials->shaders[unsigned(pass.shader)].script;
            if (script.valid)
                script.run();
        }
        ShaderManager* shaders = ShaderManager::getInstance();
        // A program that cannot be bound (never linked) leaves fixed function
        // in charge, so the material's own colours are set instead.
        if (pass.program > 0 && unsigned(pass.program) < shaders->programs.size)
            programBound = shaders->programs[unsigned(pass.program)].bind();
    }
    if (!programBound) {
        glMaterialf(GL_FRONT, GL_SHININESS, glShininess(shininess));
        glMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
        glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    }

    bool anyTexture = false;
    const unsigned units = unsigned(textureUnitCount());
    const unsigned imageUnits = unsigned(textureImageUnitCount());
    for (unsigned i = 0; i < textures.size && i < imageUnits; ++i) {
        glActiveTextureARB(GL_TEXTURE0_ARB + i);
        if (Texture* texture = textures[i].texture) {
            if (i < units)
                glEnable(GL_TEXTURE_2D);
            texture->bind();
            anyTexture = true;
        }
    }
    // Only a fixed-function unit has texturing to switch off.
    const unsigned active = std::min(textures.size, imageUnits);
    if (!anyTexture && (active == 0 || active - 1 < units))
        glDisable(GL_TEXTURE_2D);
}

} // namespace Vantor
