// The programs shipped in data/shaders compile on Mesa and light a test quad
// as a CPU evaluation of the same formulas says they should: the per-pixel
// lit, textured pair in both languages (with and without a range), the
// normal-mapped pair with the model loader's tangents, and the skinning
// vertex program with its bone palette.
#include "ShaderTestSupport.h"

#include "Core/Vector3.h"
#include "modules/model/MeshCore.h"
#include "modules/model/ModelTypes.h"

#include <cmath>

using namespace Vantor;
using Vantor::test::near;
using Vantor::test::shippedFile;
using Vantor::test::toByte;

namespace {

// The 2 x 2 texture of the lit quad, bottom row first, RGBA.
const GLubyte checker[2][2][4] = {
    {{200, 200, 200, 255}, {100, 150, 200, 255}},
    {{255, 128, 64, 255}, {50, 50, 50, 255}},
};

constexpr float kSpecularExponent = 16.0f;

struct LitScene {
    Vector4 objectLight{0.3f, -0.2f, 0.8f, 1.0f};
    Vector4 light{5.0f, 5.0f, 5.0f, 1.0f};
    Vector4 eye{5.0f, 5.0f, 8.0f, 1.0f};
    Vector4 diffuse{0.9f, 0.8f, 0.7f, 1.0f};
    Vector4 specular{0.5f, 0.4f, 0.3f, 1.0f};
    // 0: the light does not fade.
    float range = 0.0f;
};

Vector3 normalised(const Vector3& v) {
    float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / length, v.y / length, v.z / length};
}

float dot3(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// The colour the lit programs give the quad's point (x, y, 0) with normal +z.
test::RGBA expectedLit(const LitScene& scene, float x, float y, const GLubyte* texel) {
    const Vector3 p(x, y, 0.0f);
    const Vector3 n(0.0f, 0.0f, 1.0f);
    const Vector3 objectLight = scene.objectLight.xyz();
    const Vector3 eye(objectLight.x + scene.eye.x - scene.light.x,
                      objectLight.y + scene.eye.y - scene.light.y,
                      objectLight.z + scene.eye.z - scene.light.z);
    const Vector3 l = normalised(Vector3(objectLight.x - p.x, objectLight.y - p.y, objectLight.z - p.z));
    const Vector3 v = normalised(Vector3(eye.x - p.x, eye.y - p.y, eye.z - p.z));
    const Vector3 h = normalised(Vector3(l.x + v.x, l.y + v.y, l.z + v.z));
    const Vector3 toLight(objectLight.x - p.x, objectLight.y - p.y, objectLight.z - p.z);
    const float fade =
        scene.range > 0 ? std::fmin(std::fmax(1 - dot3(toLight, toLight) / (scene.range * scene.range), 0.0f), 1.0f)
                        : 1.0f;
    const float diffuse = std::fmax(dot3(n, l), 0.0f) * fade;
    const float specular =
        diffuse > 0 ? std::pow(std::fmax(dot3(n, h), 0.0f), kSpecularExponent) * fade : 0.0f;
    float colour[3];
    for (int i = 0; i < 3; ++i)
        colour[i] = texel[i] / 255.0f * scene.diffuse.v[i] * diffuse + scene.specular.v[i] * specular;
    return {std::uint8_t(toByte(colour[0])), std::uint8_t(toByte(colour[1])), std::uint8_t(toByte(colour[2])),
            255};
}

class ShippedPrograms : public test::ShaderGL {
protected:
    void TearDown() override {
        if (texture)
            glDeleteTextures(1, &texture);
        glDisable(GL_TEXTURE_2D);
    }

    void bindChecker() {
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, checker);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        // Fixed-function texturing for the GLSL-less fallback; programs ignore it.
        glEnable(GL_TEXTURE_2D);
    }

    // Centre of pixel (px, py) in the quad's coordinates (the quad fills the viewport).
    float toQuad(int pixel, int size) const { return (pixel + 0.5f) / float(size) * 2.0f - 1.0f; }

    GLuint texture = 0;
};

class LitTextured : public ShippedPrograms, public ::testing::WithParamInterface<int> {};

} // namespace

TEST_P(LitTextured, LightsTheQuadAsTheFormulaSays) {
    const int language = GetParam();
    const bool glsl = language == kProgramGLSL;
    int index = manager->loadProgram(
        shippedFile(glsl ? "shaders\\litTextured.vert" : "shaders\\litTextured.vp").c_str(),
        shippedFile(glsl ? "shaders\\litTextured.frag" : "shaders\\litTextured.fp").c_str(), language);
    ASSERT_GT(index, 0);
    EXPECT_TRUE(messageBoxes().empty()) << messageBoxes()[0].text;
    if (!glsl) {
        const ArrayList<NamedParam>& vertexParams = shaderOf(index, 0).params;
        ASSERT_EQ(vertexParams.size, 3u);
        EXPECT_STREQ(vertexParams[0].name.c_str(), "objectLightPosition");
        EXPECT_STREQ(vertexParams[1].name.c_str(), "lightPosition");
        EXPECT_STREQ(vertexParams[2].name.c_str(), "eyePosition");
        const ArrayList<NamedParam>& fragmentParams = shaderOf(index, 1).params;
        ASSERT_EQ(fragmentParams.size, 3u) << "the texture unit declares no constant";
        EXPECT_STREQ(fragmentParams[0].name.c_str(), "lightDiffuse");
        EXPECT_STREQ(fragmentParams[1].name.c_str(), "lightSpecular");
        EXPECT_STREQ(fragmentParams[2].name.c_str(), "lightRange");
    }

    bindChecker();
    // Without a range, then with one that fades the light out across the quad.
    for (const float range : {0.0f, 1.2f}) {
        LitScene scene;
        scene.range = range;
        for (const char* name : {"objectLightPosition", "lightPosition", "eyePosition", "lightDiffuse",
                                 "lightSpecular", "lightRange"})
            db->registerProgramParam(index, name, kParamVector);
        db->vectors.setValue("objectLightPosition", scene.objectLight);
        db->vectors.setValue("lightPosition", scene.light);
        db->vectors.setValue("eyePosition", scene.eye);
        db->vectors.setValue("lightDiffuse", scene.diffuse);
        db->vectors.setValue("lightSpecular", scene.specular);
        db->vectors.setValue("lightRange", range > 0 ? Vector4(range, 1 / range, 1 / (range * range), 0)
                                                     : Vector4(0, 0, 0, 0));

        ASSERT_TRUE(program(index).bind());
        test::drawQuad(-1, -1, 1, 1);
        ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));

        // One pixel in each texel's quarter, and the one under the highlight.
        const int pixels[][2] = {{8, 8}, {56, 8}, {8, 56}, {56, 56}, {41, 25}, {30, 34}};
        for (const auto& pixel : pixels) {
            const int px = pixel[0], py = pixel[1];
            const GLubyte* texel = checker[py * 2 / height()][px * 2 / width()];
            const test::RGBA expected = expectedLit(scene, toQuad(px, width()), toQuad(py, height()), texel);
            EXPECT_TRUE(near(readPixel(px, py), expected.r, expected.g, expected.b))
                << "pixel " << px << ", " << py << " range " << range;
        }
        // The highlight is where the half vector meets the normal: brighter
        // than its texel's lit colour; a far corner is out of reach.
        if (range == 0.0f) {
            EXPECT_GT(readPixel(41, 25).r, 200);
        } else {
            EXPECT_EQ(readPixel(8, 8).r, 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shipped, LitTextured, ::testing::Values(kProgramAsm, kProgramGLSL), test::kindName);

namespace {

constexpr int kSkinBones = 2;
constexpr int kPaletteRowsPerBone = 3;

// The palette as mesh rendering builds it: per bone, the first three rows of
// its skin matrix (the transposed matrix's first twelve floats).
void uploadPalette(ProgramObject& program, const TMatrix4<float> (&bones)[kSkinBones]) {
    float palette[kSkinBones * 12];
    for (int i = 0; i < kSkinBones; ++i) {
        TMatrix4<float> rows = bones[i];
        rows.transpose();
        for (int k = 0; k < 12; ++k)
            palette[12 * i + k] = rows.m[k];
    }
    ASSERT_EQ(program.getParamLocation("boneMatrix[0]"), kLocationInShaders);
    ASSERT_EQ(program.shaderLocation[0], 0);
    ASSERT_TRUE(program.setParamArray(kLocationInShaders, kSkinBones * kPaletteRowsPerBone, 4, palette));
}

struct SkinnedCorner {
    float x, y;
    float rows[4];
    float weights[4];
};

void drawSkinnedQuad(const SkinnedCorner (&corners)[4]) {
    glColor4f(1, 1, 1, 1);
    glNormal3f(0, 0, 1);
    glBegin(GL_QUADS);
    for (const SkinnedCorner& v : corners) {
        glMultiTexCoord4fvARB(GL_TEXTURE2_ARB, v.rows);
        glMultiTexCoord4fvARB(GL_TEXTURE3_ARB, v.weights);
        glVertex2f(v.x, v.y);
    }
    glEnd();
}

class Skinning : public ShippedPrograms {
protected:
    void SetUp() override {
        ShippedPrograms::SetUp();
        if (HasFatalFailure())
            return;
        // Light 0 straight down the view axis, white diffuse, nothing ambient.
        const GLfloat direction[4] = {0, 0, 1, 0};
        const GLfloat white[4] = {1, 1, 1, 1};
        const GLfloat black[4] = {0, 0, 0, 1};
        const GLfloat material[4] = {0.8f, 0.6f, 0.4f, 1.0f};
        glLightfv(GL_LIGHT0, GL_POSITION, direction);
        glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
        glLightfv(GL_LIGHT0, GL_AMBIENT, black);
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, material);
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, black);
        glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);

        index = manager->loadVertexProgram(shippedFile("shaders\\skinning.vp").c_str(), kProgramAsm);
        ASSERT_GT(index, 0);
        ASSERT_TRUE(program(index).bind());
        ASSERT_TRUE(isOn(GL_VERTEX_PROGRAM_ARB));
        ASSERT_FALSE(isOn(GL_FRAGMENT_PROGRAM_ARB));
    }

    int index = 0;
};

} // namespace

TEST_F(Skinning, PaletteDeclarationCoversThirtyBones) {
    const ArrayList<NamedParam>& params = shaderOf(index, 0).params;
    ASSERT_EQ(params.size, 1u);
    EXPECT_STREQ(params[0].name.c_str(), "boneMatrix[0]");
    EXPECT_EQ(params[0].registerIndex, 0);
    EXPECT_EQ(params[0].count, 30 * kPaletteRowsPerBone);
}

TEST_F(Skinning, OneBoneMovesAndTurnsTheQuadAndItsNormal) {
    // Bone 1 turns the quad 60 degrees about y and moves it right by 0.5: it
    // spans x 0.25 .. 0.75, and its normal meets the light at cos 60.
    TMatrix4<float> bones[kSkinBones];
    bones[1] =
        TMatrix4<float>::translation(0.5f, 0.0f, 0.0f) * TMatrix4<float>::rotation(60.0f, 0.0f, 1.0f, 0.0f);
    uploadPalette(program(index), bones);
    const SkinnedCorner corners[4] = {
        {-0.5f, -0.5f, {3, 0, 0, 0}, {1, 0, 0, 0}},
        {0.5f, -0.5f, {3, 0, 0, 0}, {1, 0, 0, 0}},
        {0.5f, 0.5f, {3, 0, 0, 0}, {1, 0, 0, 0}},
        {-0.5f, 0.5f, {3, 0, 0, 0}, {1, 0, 0, 0}},
    };
    drawSkinnedQuad(corners);
    ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_TRUE(near(readPixel(48, 32), 102, 77, 51)) << "material diffuse times 0.5";
    EXPECT_TRUE(near(readPixel(42, 32), 102, 77, 51));
    EXPECT_TRUE(near(readPixel(38, 32), test::kClearGrey, test::kClearGrey, test::kClearGrey));
    EXPECT_TRUE(near(readPixel(58, 32), test::kClearGrey, test::kClearGrey, test::kClearGrey));
    EXPECT_TRUE(near(readPixel(48, 50), test::kClearGrey, test::kClearGrey, test::kClearGrey));
}

TEST_F(Skinning, FourWeightedInfluencesBlendTheBones) {
    // The right edge follows bone 1 (a move by 0.5) at half weight, spread
    // unevenly over the four influence slots so that each slot's weight and
    // row count; the left edge stays on bone 0 (identity).
    TMatrix4<float> bones[kSkinBones];
    bones[1] = TMatrix4<float>::translation(0.5f, 0.0f, 0.0f);
    uploadPalette(program(index), bones);
    const SkinnedCorner corners[4] = {
        {-0.5f, -0.5f, {0, 0, 0, 0}, {1, 0, 0, 0}},
        {0.5f, -0.5f, {3, 0, 3, 0}, {0.1f, 0.2f, 0.4f, 0.3f}},
        {0.5f, 0.5f, {3, 0, 3, 0}, {0.1f, 0.2f, 0.4f, 0.3f}},
        {-0.5f, 0.5f, {0, 0, 0, 0}, {1, 0, 0, 0}},
    };
    drawSkinnedQuad(corners);
    ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    // The quad spans x -0.5 .. 0.75: pixels 16 to 55.
    EXPECT_TRUE(near(readPixel(16, 32), 204, 153, 102)) << "the full material diffuse, normal unturned";
    EXPECT_TRUE(near(readPixel(55, 32), 204, 153, 102));
    EXPECT_TRUE(near(readPixel(15, 32), test::kClearGrey, test::kClearGrey, test::kClearGrey));
    EXPECT_TRUE(near(readPixel(56, 32), test::kClearGrey, test::kClearGrey, test::kClearGrey));
}

namespace {

// One texel of a tangent-space normal map, encoded as the facades store it.
GLuint normalTexel(const Vector3& n, GLenum unit) {
    const GLubyte texel[4] = {GLubyte(std::lround((n.x + 1) * 127.5f)), GLubyte(std::lround((n.y + 1) * 127.5f)),
                              GLubyte(std::lround((n.z + 1) * 127.5f)), 255};
    GLuint name = 0;
    glActiveTextureARB(unit);
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return name;
}

} // namespace

// The normal-mapped pass on a quad whose tangents come from the model
// loader's generator: a normal map leaning towards +u (or +v) makes the quad
// brighter with the light on the +x (or +y) side, where u (v) grows, than
// with the light on the opposite side; a flat map lights both alike.
TEST_F(ShippedPrograms, NormalMappedLeansTheSurfaceTheWayTheMapSays) {
    const int index = manager->loadProgram(shippedFile("shaders\\normalMapped.vp").c_str(),
                                           shippedFile("shaders\\normalMapped.fp").c_str(), kProgramAsm);
    ASSERT_GT(index, 0);
    for (const char* name : {"objectLightPosition", "objectEyePosition", "lightDiffuse", "lightSpecular", "lightRange"})
        db->registerProgramParam(index, name, kParamVector);
    db->vectors.setValue("objectEyePosition", Vector4(0, 0, 5, 1));
    db->vectors.setValue("lightDiffuse", Vector4(1, 1, 1, 1));
    db->vectors.setValue("lightSpecular", Vector4(0, 0, 0, 1));
    db->vectors.setValue("lightRange", Vector4(0, 0, 0, 0));

    // The quad as a mesh: u along +x, v along +y, facing +z.
    ArrayList<Vertex> vertices;
    ArrayList<Triangle> triangles;
    const float corners[4][4] = {{-1, -1, 0, 0}, {1, -1, 1, 0}, {1, 1, 1, 1}, {-1, 1, 0, 1}};
    for (const auto& c : corners) {
        Vertex v;
        v.position = Vector3(c[0], c[1], 0);
        v.normal = Vector3(0, 0, 1);
        v.u = c[2];
        v.v = c[3];
        vertices.add(v);
    }
    const int corner[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (const auto& t : corner) {
        Triangle triangle;
        for (int k = 0; k < 3; ++k)
            triangle.v[k] = t[k];
        triangle.normal = Vector3(0, 0, 1);
        triangles.add(triangle);
    }
    ArrayList<Vector3> tangents, binormals;
    generateTangents(vertices, triangles, tangents, binormals);

    auto brightness = [&](const Vector3& lean, const Vector3& light) {
        const GLuint white = normalTexel(Vector3(1, 1, 1), GL_TEXTURE0_ARB);
        const GLuint normals = normalTexel(lean, GL_TEXTURE1_ARB);
        db->vectors.setValue("objectLightPosition", Vector4(light, 1));
        EXPECT_TRUE(program(index).bind());
        glBegin(GL_QUADS);
        for (unsigned i = 0; i < 4; ++i) {
            glNormal3f(0, 0, 1);
            glMultiTexCoord2fARB(GL_TEXTURE0_ARB, vertices[i].u, vertices[i].v);
            glMultiTexCoord3fvARB(GL_TEXTURE4_ARB, &tangents[i].x);
            glMultiTexCoord3fvARB(GL_TEXTURE5_ARB, &binormals[i].x);
            glVertex3fv(&vertices[i].position.x);
        }
        glEnd();
        manager->unbindCurrent();
        glDeleteTextures(1, &normals);
        glActiveTextureARB(GL_TEXTURE0_ARB);
        glDeleteTextures(1, &white);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        return int(readPixel(width() / 2, height() / 2).r);
    };
    const Vector3 towardsU = Vector3(0.6f, 0, 0.8f), towardsV = Vector3(0, 0.6f, 0.8f), flat(0, 0, 1);
    const Vector3 east(3, 0, 1), west(-3, 0, 1), north(0, 3, 1), south(0, -3, 1);
    EXPECT_GT(brightness(towardsU, east), brightness(towardsU, west) + 60);
    EXPECT_GT(brightness(towardsV, north), brightness(towardsV, south) + 60);
    EXPECT_NEAR(brightness(flat, east), brightness(flat, west), 4);
    EXPECT_NEAR(brightness(towardsU, north), brightness(towardsU, south), 4);
}
