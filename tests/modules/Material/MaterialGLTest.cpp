// Materials on Mesa: a pass's program drawing with its database parameters
// (both kinds of program), an object-shader script changing them, vertex-only
// entries, the fixed-function fallback seen through lighting and glGetMaterial,
// texture units, and the object-shader load failures.
#include "../ShaderManager/ShaderTestSupport.h"

#include "Core/WinAppFramework/Exception.h"
#include "Core/textures/TextureManager.h"
#include "modules/Material/MaterialManager.h"
#include "modules/xml/XMLFile.h"

#include <cstring>
#include <string>

using namespace Vantor;
using Vantor::test::near;
using Vantor::test::testFile;

namespace {

class MaterialGL : public test::ShaderGL {
protected:
    void SetUp() override {
        test::ShaderGL::SetUp();
        materials = MaterialManager::getInstance();
        materials->reset();
    }
    void TearDown() override {
        manager->unbindCurrent();
        resetTextureUnits();
        glDisable(GL_LIGHTING);
    }

    // Adds a material named name with the given diffuse colour and no specular.
    Material& addMaterial(const char* name, float r = 1, float g = 1, float b = 1) {
        Material m;
        m.name = name;
        const float diffuse[4] = {r, g, b, 1};
        const float specular[4] = {0, 0, 0, 1};
        std::memcpy(m.diffuse, diffuse, sizeof diffuse);
        std::memcpy(m.specular, specular, sizeof specular);
        m.shininess = 20.0f;
        Material* slot = materials->add(m);
        EXPECT_NE(slot, nullptr);
        return *slot;
    }

    // Loads a "materialProperties" description; "$" stands for the test data
    // folder and single quotes for double quotes.
    void load(std::string text) {
        std::string expanded;
        for (char c : text) {
            if (c == '$')
                expanded += std::string(VANTOR_TEST_DATA_DIR) + "/";
            else
                expanded += c == '\'' ? '"' : c;
        }
        XMLFile xml;
        xml.parse(String(expanded.c_str()), "test");
        materials->loadMaterialProperties(xml);
    }

    static std::string pair(int language) {
        return language == kProgramGLSL ? "vertex='$flat.vert' fragment='$flat.frag' language='GLSL'"
                                        : "vertex='$flat.vp' fragment='$flat.fp'";
    }

    static void resetTextureUnits() {
        GLint units = 1;
        glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
        for (GLint i = units - 1; i >= 0; --i) {
            glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + i));
            glDisable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, 0);
        }
    }

    static GLint integer(GLenum name) {
        GLint value = 0;
        glGetIntegerv(name, &value);
        return value;
    }

    static void frontMaterial(GLenum name, float* out) { glGetMaterialfv(GL_FRONT, name, out); }

    MaterialManager* materials = nullptr;
};

class BothLanguages : public MaterialGL, public ::testing::WithParamInterface<int> {};

} // namespace

TEST_P(BothLanguages, ProgramPassDrawsWithItsParametersAndSetsNoMaterialState) {
    Material& painted = addMaterial("painted", 0.1f, 0.2f, 0.3f);
    load("<p><shaders><shader name='flat' " + pair(GetParam()) +
         "><param name='surfaceColour' type='vector' formula='ignored'/>"
         "<param name='surfaceColour2' type='colour'/></shader></shaders>"
         "<materials><material name='painted'><pass id='0' shader='flat'/></material></materials></p>");
    ASSERT_EQ(materials->shaders.size, 1u);
    const int index = materials->shaders[0].program;
    ASSERT_GT(index, 0);
    EXPECT_EQ(program(index).type, GetParam());
    const ShaderParams& declared = db->programParams[unsigned(index)];
    EXPECT_EQ(declared.vectors.size, 1u);
    EXPECT_EQ(declared.floats.size + declared.matrices.size, 0u) << "an unknown type is ignored";

    db->vectors.setValue("surfaceColour", Vector4(0.2f, 0.4f, 0.8f, 1.0f));
    const float sentinel[4] = {0.9f, 0.8f, 0.7f, 1.0f};
    glMaterialfv(GL_FRONT, GL_DIFFUSE, sentinel);
    painted.apply(0);
    test::drawQuad(-1, -1, 1, 1);
    EXPECT_TRUE(near(readPixel(32, 32), 51, 102, 204));
    EXPECT_EQ(manager->currentProgram, index);
    float diffuse[4];
    frontMaterial(GL_DIFFUSE, diffuse);
    EXPECT_EQ(diffuse[0], 0.9f) << "a bound program leaves the material state alone";
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_P(BothLanguages, VertexOnlyEntryDrawsWithFixedFunctionFragments) {
    Material& m = addMaterial("m");
    const char* vertex = GetParam() == kProgramGLSL ? "'$flat.vert' language='GLSL'" : "'$flat.vp'";
    load(std::string("<p><shaders><shader name='v' vertex=") + vertex +
         "/></shaders><materials><material name='m'><pass id='0' shader='v'/></material></materials></p>");
    ASSERT_EQ(materials->shaders.size, 1u);
    const int index = materials->shaders[0].program;
    ASSERT_GT(index, 0);
    EXPECT_EQ(program(index).attached.size, 1u);
    m.apply(0);
    EXPECT_FALSE(isOn(GL_FRAGMENT_PROGRAM_ARB));
    EXPECT_EQ(manager->currentProgram, index);
    test::drawQuad(-1, -1, 1, 1, 1.0f, 0.5f, 0.0f);
    EXPECT_TRUE(near(readPixel(32, 32), 255, 128, 0));
}

INSTANTIATE_TEST_SUITE_P(Materials, BothLanguages, ::testing::Values(kProgramAsm, kProgramGLSL),
                         test::kindName);

TEST_F(MaterialGL, PassesWithoutAProgramSetTheMaterialColours) {
    Material& lit = addMaterial("lit", 0.2f, 0.6f, 0.4f);
    load("<p><shaders><shader name='flat' " + pair(kProgramAsm) +
         "/></shaders><materials><material name='lit'><pass id='3' "
         "shader='flat'/></material></materials></p>");
    ASSERT_EQ(lit.passes.size, 4u);

    const float black[4] = {0, 0, 0, 1};
    glMaterialfv(GL_FRONT, GL_AMBIENT, black);
    glMaterialfv(GL_FRONT, GL_EMISSION, black);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    // Pass 1 exists but is unused; 7 and -1 are no passes at all.
    for (int pass : {1, 7, -1}) {
        glMaterialfv(GL_FRONT, GL_DIFFUSE, black);
        lit.apply(pass);
        EXPECT_FALSE(manager->programActive) << pass;
        clear();
        test::drawQuad(-1, -1, 1, 1);
        EXPECT_TRUE(near(readPixel(32, 32), 51, 153, 102)) << pass;
    }
    float shininess = 0;
    frontMaterial(GL_SHININESS, &shininess);
    EXPECT_EQ(shininess, 20.0f);
    float specular[4];
    frontMaterial(GL_SPECULAR, specular);
    EXPECT_EQ(specular[1], 0.0f);

    // Shininess beyond GL's range is clamped rather than refused.
    lit.shininess = 16384.0f;
    lit.apply(0);
    frontMaterial(GL_SHININESS, &shininess);
    EXPECT_EQ(shininess, 128.0f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(MaterialGL, TexturesAreBoundUnitByUnitAndTheLastUnitStaysActive) {
    auto square = [](unsigned char value) {
        Image image;
        image.allocate(3, 2, 2);
        std::memset(image.data, value, size_t(image.size));
        return TextureManager::getInstance()->addImage(image, GL_NEAREST, GL_NEAREST);
    };
    Texture* first = square(255);
    Texture* third = square(64);
    GLuint untouched = 0;
    glGenTextures(1, &untouched);
    resetTextureUnits();
    glActiveTextureARB(GL_TEXTURE1_ARB);
    glBindTexture(GL_TEXTURE_2D, untouched);
    glActiveTextureARB(GL_TEXTURE0_ARB);

    Material& m = addMaterial("textured");
    m.textures.resize(3);
    m.textures[0].texture = first;
    m.textures[2].texture = third;
    m.apply(0);
    EXPECT_EQ(integer(GL_ACTIVE_TEXTURE_ARB), GL_TEXTURE2_ARB);
    const struct {
        GLenum unit;
        bool enabled;
        GLuint bound;
    } expected[] = {{GL_TEXTURE0_ARB, true, first->name},
                    {GL_TEXTURE1_ARB, false, untouched},
                    {GL_TEXTURE2_ARB, true, third->name}};
    for (const auto& e : expected) {
        glActiveTextureARB(e.unit);
        EXPECT_EQ(isOn(GL_TEXTURE_2D), e.enabled) << e.unit - GL_TEXTURE0_ARB;
        EXPECT_EQ(GLuint(integer(GL_TEXTURE_BINDING_2D)), e.bound) << e.unit - GL_TEXTURE0_ARB;
    }

    // No texture at all: texturing goes off on the active unit only.
    Material& plain = addMaterial("plain");
    glActiveTextureARB(GL_TEXTURE2_ARB);
    plain.apply(0);
    EXPECT_EQ(integer(GL_ACTIVE_TEXTURE_ARB), GL_TEXTURE2_ARB);
    EXPECT_FALSE(isOn(GL_TEXTURE_2D));
    glActiveTextureARB(GL_TEXTURE0_ARB);
    EXPECT_TRUE(isOn(GL_TEXTURE_2D));

    // Entries without textures still move the active unit along.
    plain.textures.resize(2);
    plain.apply(0);
    EXPECT_EQ(integer(GL_ACTIVE_TEXTURE_ARB), GL_TEXTURE1_ARB);
    EXPECT_FALSE(isOn(GL_TEXTURE_2D));

    // More entries than GL has fixed-function units: those units are
    // enabled, and the entries past them are bound for programs to read, up
    // to the image units GL has.
    const GLint units = integer(GL_MAX_TEXTURE_UNITS_ARB);
    const GLint imageUnits = integer(GL_MAX_TEXTURE_IMAGE_UNITS_ARB);
    Material& crowded = addMaterial("crowded");
    crowded.textures.resize(unsigned(units) + 4);
    for (MatTex& slot : crowded.textures)
        slot.texture = third;
    crowded.apply(0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    const GLint used = std::min(imageUnits, units + 4);
    EXPECT_EQ(integer(GL_ACTIVE_TEXTURE_ARB), GLint(GL_TEXTURE0_ARB) + used - 1);
    for (GLint unit = 0; unit < used; ++unit) {
        glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + unit));
        EXPECT_EQ(GLuint(integer(GL_TEXTURE_BINDING_2D)), third->name) << unit;
        // Past the fixed-function units GL has no switch to read.
        if (unit < units) {
            EXPECT_TRUE(isOn(GL_TEXTURE_2D)) << unit;
        }
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    resetTextureUnits();
    glDeleteTextures(1, &untouched);
}

TEST_F(MaterialGL, ObjectShaderScriptSetsTheParametersItsPassUploads) {
    Material& m = addMaterial("scripted");
    load("<p><shaders>"
         "<shader name='green' " +
         pair(kProgramAsm) +
         "><param name='surfaceColour' type='vector'/><objectshader filename='$green.ds'/></shader>"
         "<shader name='plain' " +
         pair(kProgramAsm) +
         "><param name='surfaceColour' type='vector'/><objectshader filename=''/></shader>"
         "</shaders><materials><material name='scripted'>"
         "<pass id='0' shader='green'/><pass id='1' shader='plain'/></material></materials></p>");
    ASSERT_EQ(materials->shaders.size, 2u);
    EXPECT_TRUE(materials->shaders[0].script.valid);
    EXPECT_FALSE(materials->shaders[1].script.valid) << "an entry without a script gets none of its own";

    db->vectors.setValue("surfaceColour", Vector4(1.0f, 0.0f, 0.0f, 1.0f));
    m.apply(1);
    test::drawQuad(-1, -1, 1, 1);
    EXPECT_TRUE(near(readPixel(32, 32), 255, 0, 0)) << "the plain entry runs no script";
    m.apply(0);
    test::drawQuad(-1, -1, 1, 1);
    EXPECT_TRUE(near(readPixel(32, 32), 0, 255, 0));
}

TEST_F(MaterialGL, ObjectShaderFailuresThrow) {
    const std::string missing = testFile("missing.ds");
    try {
        load("<p><shaders><shader name='s' " + pair(kProgramAsm) + "><objectshader filename='" + missing +
             "'/></shader></shaders></p>");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.message.c_str()), "Error opening objectshader file " + missing);
        EXPECT_STREQ(e.function.c_str(), "Vantor::MaterialManager::initShadersXML");
        EXPECT_STREQ(e.file.c_str(), "source\\modules\\Material\\MaterialManager");
        EXPECT_EQ(e.line, 110);
    }
    try {
        load("<p><shaders><shader name='s' " + pair(kProgramAsm) +
             "><objectshader filename='$broken.ds'/></shader></shaders></p>");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.message.c_str()).rfind("DrovelScript compile error at line 3\n", 0), 0u)
            << e.message.c_str();
    }
}
