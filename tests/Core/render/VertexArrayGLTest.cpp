// Vertex arrays on a real context: the same pixels through buffer objects and
// through client memory, the array state GL is left in, what reaches the
// buffers, and the VBOManager's registration and shutdown.
#include "Core/VBOManager.h"
#include "Core/VertexArray.h"

#include "GLFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

using namespace Vantor;
using Vantor::test::RGBA;

namespace {

constexpr int C = VertexArray::colorArray;
constexpr int N = VertexArray::normalArray;
constexpr int T = VertexArray::texCoordArray;

float* floatsAt(VertexArray& va, int offset) { return reinterpret_cast<float*>(va.block.data + offset); }

// Two quads in clip space: A covers the left half, B the bottom-right quarter;
// the top-right quarter stays clear. A is drawn as triangles by list 0, B as a
// quad strip (the default mode) by list 1; list 2 is empty.
constexpr float quadPositions[8][3] = {
    {-1, -1, 0}, {0, -1, 0}, {0, 1, 0}, {-1, 1, 0}, // A
    {0, -1, 0},  {1, -1, 0}, {1, 0, 0}, {0, 0, 0},  // B
};
const GLuint listA[] = {0, 1, 2, 0, 2, 3};
const GLuint listB[] = {4, 5, 7, 6};

// Fills positions and the index lists of two-quad objects; colours and
// normals, where the array has them, are one value per quad.
void buildQuads(VAObject& va, int arrays, bool wantVBO, const float colorA[4], const float colorB[4],
                const float normalA[3], const float normalB[3]) {
    va.create(8, arrays, 0, wantVBO, false);
    std::memcpy(floatsAt(va, va.positionOffset), quadPositions, sizeof quadPositions);
    for (int v = 0; v < 8; ++v) {
        if (arrays & C)
            std::memcpy(floatsAt(va, va.colorOffset) + 4 * v, v < 4 ? colorA : colorB, 4 * sizeof(float));
        if (arrays & N)
            std::memcpy(floatsAt(va, va.normalOffset) + 3 * v, v < 4 ? normalA : normalB, 3 * sizeof(float));
    }
    va.createIndexLists(3);
    va.indexLists[0].mode = GL_TRIANGLES;
    va.indexLists[0].allocate(6);
    std::memcpy(va.indexLists[0].indices, listA, sizeof listA);
    va.indexLists[1].allocate(4);
    std::memcpy(va.indexLists[1].indices, listB, sizeof listB);
    va.upload();
}

const float red[4] = {1, 0, 0, 1};
const float blue[4] = {0, 0, 1, 1};
const float up[3] = {0, 0, 1};
const float tilted[3] = {0.6f, 0, 0.8f};

bool near(const RGBA& p, const RGBA& q) {
    return std::abs(p.r - q.r) <= 2 && std::abs(p.g - q.g) <= 2 && std::abs(p.b - q.b) <= 2 && p.a == q.a;
}

class VertexArrayGL : public test::GLFixture {
protected:
    void SetUp() override {
        GLFixture::SetUp();
        static const GLenum loaded = glewInit();
        ASSERT_EQ(loaded, GLenum(GLEW_OK));
        ASSERT_TRUE(GLEW_ARB_vertex_buffer_object);
        VBOManager::ignoreExtension = false;
        destroySingletons();

        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_LIGHTING);
        glDisable(GL_CULL_FACE);
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        glShadeModel(GL_SMOOTH);
        glColor4f(1, 1, 1, 1);
        clear();
    }

    void TearDown() override {
        dropManager();
        VBOManager::ignoreExtension = false;
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    // Deletes the buffers of the current manager and the manager itself.
    static void dropManager() {
        if (VBOManager::exists())
            VBOManager::getInstance()->shutdown();
        destroySingletons();
    }

    static void clear() {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    std::vector<RGBA> readAll() const {
        std::vector<RGBA> pixels(size_t(width() * height()));
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width(), height(), GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    // Draws the object on a cleared frame and returns the frame.
    std::vector<RGBA> drawn(VAObject& va, bool positionsOnly = false) const {
        clear();
        va.draw(positionsOnly);
        return readAll();
    }

    // The middle of quad A, of quad B and of the clear quarter.
    RGBA inA() const { return readPixel(width() / 4, height() / 2); }
    RGBA inB() const { return readPixel(3 * width() / 4, height() / 4); }
    RGBA inClear() const { return readPixel(3 * width() / 4, 3 * height() / 4); }

    static bool enabled(GLenum array) { return glIsEnabled(array) == GL_TRUE; }
    static GLint integer(GLenum name) {
        GLint value = -1;
        glGetIntegerv(name, &value);
        return value;
    }
    static std::vector<char> bufferContents(GLenum target, GLuint buffer) {
        glBindBufferARB(target, buffer);
        GLint size = 0;
        glGetBufferParameterivARB(target, GL_BUFFER_SIZE_ARB, &size);
        std::vector<char> bytes(static_cast<size_t>(size));
        glGetBufferSubDataARB(target, 0, size, bytes.data());
        return bytes;
    }
};

const RGBA redPixel{255, 0, 0, 255};
const RGBA bluePixel{0, 0, 255, 255};
const RGBA greenPixel{0, 255, 0, 255};
const RGBA blackPixel{0, 0, 0, 255};

} // namespace

TEST_F(VertexArrayGL, ColouredQuadsLookTheSameFromBuffersAndFromClientMemory) {
    VAObject buffered, client;
    buildQuads(buffered, N | C, true, red, blue, up, up);
    buildQuads(client, N | C, false, red, blue, up, up);
    ASSERT_TRUE(buffered.useVBO && buffered.indexLists[0].useVBO);
    ASSERT_FALSE(client.useVBO || client.indexLists[0].useVBO);
    std::vector<RGBA> frames[2];
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i == 0 ? "buffer objects" : "client memory");
        frames[i] = drawn(i == 0 ? buffered : client);
        EXPECT_EQ(inA(), redPixel);
        EXPECT_EQ(inB(), bluePixel);
        EXPECT_EQ(inClear(), blackPixel);
        EXPECT_FALSE(enabled(GL_VERTEX_ARRAY) || enabled(GL_NORMAL_ARRAY) || enabled(GL_COLOR_ARRAY));

        // Positions only: the current colour, not the colour array.
        glColor4f(0, 1, 0, 1);
        drawn(i == 0 ? buffered : client, true);
        glColor4f(1, 1, 1, 1);
        EXPECT_EQ(inA(), greenPixel);
        EXPECT_EQ(inB(), greenPixel);
        EXPECT_EQ(inClear(), blackPixel);
    }
    EXPECT_TRUE(frames[0] == frames[1]) << "every pixel the same both ways";
}

TEST_F(VertexArrayGL, NormalsFromTheBlockLightTheQuads) {
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const GLfloat none[4] = {0, 0, 0, 1};
    const GLfloat white[4] = {1, 1, 1, 1};
    const GLfloat towardsViewer[4] = {0, 0, 1, 0};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
    glLightfv(GL_LIGHT0, GL_AMBIENT, none);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_SPECULAR, none);
    glLightfv(GL_LIGHT0, GL_POSITION, towardsViewer);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, none);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, none);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, none);

    // Full light on A; N.L = 0.8 on B.
    VAObject buffered;
    buildQuads(buffered, N, true, red, blue, up, tilted);
    const std::vector<RGBA> fromBuffers = drawn(buffered);
    EXPECT_PRED2(near, inA(), (RGBA{255, 255, 255, 255}));
    EXPECT_PRED2(near, inB(), (RGBA{204, 204, 204, 255}));
    EXPECT_EQ(inClear(), blackPixel);

    VAObject client;
    buildQuads(client, N, false, red, blue, up, tilted);
    EXPECT_TRUE(drawn(client) == fromBuffers);

    glDisable(GL_LIGHT0);
    glDisable(GL_LIGHTING);
}

TEST_F(VertexArrayGL, ClientMemoryDrawsRightAfterABufferObjectWasBound) {
    // The buffered draw leaves its array and element buffers bound.
    VAObject buffered;
    buildQuads(buffered, C, true, red, blue, up, up);
    drawn(buffered);
    ASSERT_NE(integer(GL_ARRAY_BUFFER_BINDING_ARB), 0);
    ASSERT_NE(integer(GL_ELEMENT_ARRAY_BUFFER_BINDING_ARB), 0);

    VAObject client;
    buildQuads(client, C, false, blue, red, up, up);
    drawn(client);
    EXPECT_EQ(inA(), bluePixel);
    EXPECT_EQ(inB(), redPixel);
    EXPECT_EQ(inClear(), blackPixel);
}

TEST_F(VertexArrayGL, WithoutTheExtensionTheSamePixelsComeFromClientMemory) {
    VAObject reference;
    buildQuads(reference, N | C, true, red, blue, up, up);
    const std::vector<RGBA> fromBuffers = drawn(reference);
    dropManager();

    VBOManager::ignoreExtension = true;
    VAObject va;
    buildQuads(va, N | C, true, red, blue, up, up);
    VBOManager* manager = VBOManager::getInstance();
    EXPECT_FALSE(manager->enabled);
    EXPECT_FALSE(manager->registered);
    EXPECT_EQ(manager->buffers.size, 0u);
    EXPECT_FALSE(va.useVBO || va.indexLists[0].useVBO);
    EXPECT_EQ(va.buffer, 0u);
    EXPECT_EQ(va.normalPointer, va.block.data + va.normalOffset);

    EXPECT_TRUE(drawn(va) == fromBuffers);
    EXPECT_EQ(inA(), redPixel);
    EXPECT_EQ(inB(), bluePixel);
}

TEST_F(VertexArrayGL, EachTextureSetFeedsItsOwnUnit) {
    // A 4 x 1 texture: red, green, blue, white. Set 0 picks white, set 1 red,
    // and set 2 (four floats, added later) green only when its q of 2 is used.
    const GLubyte texels[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 4, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    for (int unit = 0; unit <= 2; ++unit) {
        glActiveTextureARB(GL_TEXTURE0_ARB + unit);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    }

    for (bool wantVBO : {true, false}) {
        SCOPED_TRACE(wantVBO ? "buffer objects" : "client memory");
        VAObject va;
        va.create(4, T, 2, wantVBO, false);
        va.addTexCoordSet(2, 4);
        const float corners[4][3] = {{-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}, {1, 1, 0}};
        std::memcpy(floatsAt(va, va.positionOffset), corners, sizeof corners);
        const float set0[2] = {0.9f, 0.5f}, set1[2] = {0.1f, 0.5f}, set2[4] = {0.7f, 0.5f, 0, 2};
        for (int v = 0; v < 4; ++v) {
            va.setTexCoord(v, set0);
            va.setTexCoord(v, 1, set1);
            va.setTexCoord(v, 2, set2);
        }
        va.createIndexLists(1);
        va.indexLists[0].allocate(4);
        for (int i = 0; i < 4; ++i)
            va.indexLists[0].indices[i] = GLuint(i);
        va.upload();

        const struct {
            int unit;
            RGBA expected;
        } units[] = {{0, {255, 255, 255, 255}}, {1, redPixel}, {2, greenPixel}};
        for (const auto& u : units) {
            SCOPED_TRACE(u.unit);
            glActiveTextureARB(GL_TEXTURE0_ARB + u.unit);
            glEnable(GL_TEXTURE_2D);
            drawn(va);
            glDisable(GL_TEXTURE_2D);
            EXPECT_EQ(readPixel(width() / 2, height() / 2), u.expected);
            EXPECT_EQ(readPixel(1, 1), u.expected);
        }

        va.enableArrays(false);
        for (int set = 0; set < VertexArray::maxTexCoordSets; ++set) {
            glClientActiveTextureARB(GL_TEXTURE0_ARB + set);
            EXPECT_EQ(enabled(GL_TEXTURE_COORD_ARRAY), set <= 2) << set;
        }
        va.disableArrays(false);
        EXPECT_EQ(integer(GL_CLIENT_ACTIVE_TEXTURE_ARB), GLint(GL_TEXTURE0_ARB + 2)) << "left at the last set";
        for (int set = 0; set <= 2; ++set) {
            glClientActiveTextureARB(GL_TEXTURE0_ARB + set);
            EXPECT_FALSE(enabled(GL_TEXTURE_COORD_ARRAY)) << set;
        }
    }

    glActiveTextureARB(GL_TEXTURE0_ARB);
    glClientActiveTextureARB(GL_TEXTURE0_ARB);
    glDeleteTextures(1, &texture);
}

TEST_F(VertexArrayGL, UpdateBufferResendsOnlyThePositionsAndNormals) {
    const struct {
        const char* name;
        int arrays;
        bool positionsAndNormalsOnly;
        size_t resent;
    } cases[] = {
        {"positions of an array without normals", C, true, 3 * 12},
        {"positions and normals", N | C, true, 3 * 24},
        {"whole block", N | C, false, 3 * 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VAObject va;
        va.create(3, c.arrays, 0, true, true);
        va.upload();
        std::memset(va.block.data, 0x5A, va.block.size);
        va.enableArrays(false);
        va.updateBuffer(c.positionsAndNormalsOnly);
        va.disableArrays(false);

        const std::vector<char> sent = bufferContents(GL_ARRAY_BUFFER_ARB, va.buffer);
        ASSERT_EQ(sent.size(), size_t(va.block.size));
        for (size_t i = 0; i < sent.size(); ++i)
            ASSERT_EQ(sent[i], i < c.resent ? 0x5A : 0) << "byte " << i;
        GLint usage = 0;
        glGetBufferParameterivARB(GL_ARRAY_BUFFER_ARB, GL_BUFFER_USAGE_ARB, &usage);
        EXPECT_EQ(usage, GLint(GL_DYNAMIC_DRAW_ARB));
    }
}

TEST_F(VertexArrayGL, UpdateBufferBeforeUploadSendsTheWholeBlock) {
    VertexArray va;
    va.create(3, N, 0, true, true);
    std::memset(va.block.data, 0x21, va.block.size);
    va.enableArrays(true);
    va.updateBuffer(true);
    va.disableArrays(true);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_TRUE(va.uploaded);
    const std::vector<char> sent = bufferContents(GL_ARRAY_BUFFER_ARB, va.buffer);
    EXPECT_EQ(sent, std::vector<char>(72, 0x21));
}

TEST_F(VertexArrayGL, ManagerRegistersForShutdownAndDeletesEveryBuffer) {
    VBOManager* manager = VBOManager::getInstance();
    EXPECT_TRUE(manager->enabled);
    EXPECT_TRUE(manager->registered);
    const auto& phases = PluginManager::getInstance()->phases;
    for (int phase = 0; phase < kPhaseCount; ++phase)
        EXPECT_EQ(phases[phase].size(), phase == 4 ? 1u : 0u) << "phase bit " << (1 << phase);
    EXPECT_EQ(phases[4].front(), static_cast<Plugin*>(manager));

    VAObject va;
    buildQuads(va, C, true, red, blue, up, up);
    ASSERT_EQ(manager->buffers.size, 4u) << "the block and three index lists";
    EXPECT_EQ(manager->buffers[0], va.buffer);
    for (GLuint name : manager->buffers)
        EXPECT_TRUE(glIsBufferARB(name)) << name;

    PluginManager::getInstance()->shutdownAll();
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(glIsBufferARB(va.indexLists[i].buffer)) << "list " << i;
    EXPECT_FALSE(glIsBufferARB(va.buffer));
    EXPECT_EQ(manager->buffers.size, 0u);

    // A later shutdown must not delete a name GL has handed out again.
    GLuint reused = 0;
    glGenBuffersARB(1, &reused);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, reused);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    manager->shutdown();
    EXPECT_TRUE(glIsBufferARB(reused));
    glDeleteBuffersARB(1, &reused);
}
