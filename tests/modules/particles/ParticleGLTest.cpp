// The particle renderer on a real context: the generated sprite drawn
// additively and alpha-blended over a dark background, the glow's two passes
// (the second found in front of a depth wall that hides the first), back-to-
// front order of alpha particles, the GL state left behind, and the error
// when the sprite cannot be loaded. Results are read back from the framebuffer.
#include "Core/Singleton.h"
#include "Core/WinAppFramework/Camera.h"
#include "Core/WinAppFramework/Exception.h"
#include "Core/WinAppFramework/Globals.h"
#include "Core/textures/TextureManager.h"
#include "modules/particles/ParticleManager.h"

#include "GLFixture.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace Vantor;
using namespace Vantor::test;

namespace {

// An orthographic view of 1 unit per pixel, the eye at the origin looking
// down -z; particles stand at z = -100, 16 units (pixels) in half-size.
constexpr int side = 128;
constexpr float depth = -100;
constexpr float halfSize = 16;
// The background grey and what it reads back as.
constexpr float background = 0.1f;
constexpr int backgroundByte = 26;
constexpr int slack = 4;

class ParticlesGL : public GLFixture {
protected:
    ParticlesGL() : GLFixture(side, side) {}

    void SetUp() override {
        GLFixture::SetUp();
        if (HasFatalFailure())
            return;
        previousDir = std::filesystem::current_path();
        std::filesystem::current_path(VANTOR_DATA_DIR);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-side / 2, side / 2, -side / 2, side / 2, 1, 1000);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glDisable(GL_BLEND);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glClearColor(background, background, background, 1);
        glClearDepth(1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        currentCamera = &camera;
        manager = ParticleManager::getInstance();
        system = new ParticleSystem;
        system->init(8);
    }

    void TearDown() override {
        currentCamera = nullptr;
        if (!previousDir.empty())
            std::filesystem::current_path(previousDir);
        if (TextureManager::exists())
            TextureManager::getInstance()->deleteAll();
        destroySingletons(); // the manager deletes system
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    Particle* add(float x, float z, float r, float g, float b, int blend = 0, bool glow = false) {
        Particle p;
        p.position = {x, 0, z};
        p.size = halfSize;
        p.colour[0] = r;
        p.colour[1] = g;
        p.colour[2] = b;
        p.colour[3] = 1;
        p.blend = blend;
        p.glow = glow;
        return system->add(p);
    }

    // The pixel at (dx, dy) from the centre of a particle at world x.
    static RGBA at(float x, int dx = 0, int dy = 0) {
        return readPixel(int(x) + side / 2 + dx, side / 2 + dy);
    }

    static void expectNear(const RGBA& pixel, int r, int g, int b, const char* what) {
        EXPECT_NEAR(pixel.r, r, slack) << what << " " << pixel;
        EXPECT_NEAR(pixel.g, g, slack) << what << " " << pixel;
        EXPECT_NEAR(pixel.b, b, slack) << what << " " << pixel;
    }

    Camera camera; // identity view: the eye at the origin
    ParticleManager* manager = nullptr;
    ParticleSystem* system = nullptr;
    std::filesystem::path previousDir;
};

GLint integer(GLenum what) {
    GLint value = 0;
    glGetIntegerv(what, &value);
    return value;
}

} // namespace

TEST_F(ParticlesGL, SpriteIsBrightInTheMiddleAndLeavesTheCornersAlone) {
    manager->init();
    ASSERT_NE(manager->texture, nullptr);
    EXPECT_TRUE(messageBoxes().empty()) << "the sprite loads without complaint";
    const int entries = TextureManager::getInstance()->count;
    manager->init(); // as set-up does once per phase
    EXPECT_EQ(TextureManager::getInstance()->count, entries);
    add(-32, depth, 1, 1, 1);
    add(32, depth, 1, 0.5f, 0, kParticleAlphaBlend);

    // State the renderer must restore, and a modelview it must replace with
    // the camera's. Loading the sprite enabled 2D texturing; with it disabled
    // again behind the texture table's back, the sprite must still be textured.
    glEnable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glBlendFunc(GL_ONE, GL_ZERO);
    glTranslatef(500, 0, 0);
    manager->render();
    ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(integer(GL_DEPTH_WRITEMASK), GL_TRUE);
    EXPECT_EQ(integer(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(integer(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_LIGHTING);

    // Additive white: saturated centre, about half the sprite's grey half-way
    // out, the background at the quad's corners.
    const RGBA centre = at(-32);
    EXPECT_GE(centre.r, 250) << centre;
    EXPECT_GE(centre.b, 250) << centre;
    expectNear(at(-32, 8), backgroundByte + 131, backgroundByte + 131, backgroundByte + 131, "half-way");
    expectNear(at(-32, -15, -15), backgroundByte, backgroundByte, backgroundByte, "corner");
    expectNear(at(-32, 14, 15), backgroundByte, backgroundByte, backgroundByte, "corner");
    // Alpha-blended orange: opaque centre, transparent corners.
    expectNear(at(32), 253, 127, 0, "alpha centre");
    expectNear(at(32, -15, 14), backgroundByte, backgroundByte, backgroundByte, "alpha corner");
    expectNear(at(0), backgroundByte, backgroundByte, backgroundByte, "between the particles");
}

TEST_F(ParticlesGL, GlowAddsTwoFortyPercentPassesTheSecondInFrontByItsSize) {
    // A depth wall at z = -92 hides the particle's own plane (-100) but not a
    // pass moved 16 towards the eye (-84).
    const struct {
        const char* what;
        bool glow;
        bool wall;
        int added; // to the background at the centre, before clamping
    } cases[] = {
        {"glow, both passes", true, false, 2 * 102},
        {"glow behind a wall: the second pass only", true, true, 102},
        {"plain particle", false, false, 254},
        {"plain particle behind a wall", false, true, 0},
    };
    manager->init();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDisable(GL_DEPTH_TEST);
        if (c.wall) {
            glEnable(GL_DEPTH_TEST);
            glDepthFunc(GL_LESS);
            glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
            glLoadIdentity();
            glBegin(GL_QUADS);
            glVertex3f(-64, -64, -92);
            glVertex3f(64, -64, -92);
            glVertex3f(64, 64, -92);
            glVertex3f(-64, 64, -92);
            glEnd();
            glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        }
        system->count = 0;
        add(0, depth, 1, 1, 1, 0, c.glow);
        manager->render();
        const int expected = std::min(255, backgroundByte + c.added);
        expectNear(at(0), expected, expected, expected, "centre");
        expectNear(at(0, -15, -15), backgroundByte, backgroundByte, backgroundByte, "corner");
    }
    glDisable(GL_DEPTH_TEST);
}

TEST_F(ParticlesGL, AlphaParticlesAreDrawnBackToFrontWhateverTheirGatheringOrder) {
    manager->init();
    const struct {
        const char* what;
        float firstZ, secondZ; // red is gathered first, green second
        bool greenOnTop;
    } cases[] = {
        {"near green gathered last", -200, -50, true},
        {"near green gathered first", -50, -200, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        glClear(GL_COLOR_BUFFER_BIT);
        system->count = 0;
        add(0, c.firstZ, 1, 0, 0, kParticleAlphaBlend);
        add(0, c.secondZ, 0, 1, 0, kParticleAlphaBlend);
        manager->render();
        const RGBA centre = at(0);
        if (c.greenOnTop)
            expectNear(centre, 0, 253, 0, "the nearer green covers the red");
        else
            expectNear(centre, 253, 0, 0, "the nearer red covers the green");
    }
}

TEST_F(ParticlesGL, MissingSpriteThrowsAndIsLoadedOnDemandOnceItIsThere) {
    char pattern[] = "/tmp/particle-gl-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::filesystem::current_path(pattern);
    add(0, depth, 1, 1, 1);

    EXPECT_THROW(manager->init(), Exception) << "set-up reports the loader's error";
    ASSERT_EQ(manager->texture, nullptr);
    try {
        manager->render();
        ADD_FAILURE() << "render drew without a sprite";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message, "Standard particle texture not loaded");
        EXPECT_EQ(e.function, "Vantor::ParticleManager::render");
        EXPECT_EQ(e.file, "source\\modules\\particles\\ParticleManager");
        EXPECT_EQ(e.line, 139);
    }
    EXPECT_EQ(at(0), (RGBA{backgroundByte, backgroundByte, backgroundByte, 255})) << "nothing drawn";

    // Without init having run, render loads the sprite itself.
    std::filesystem::current_path(VANTOR_DATA_DIR);
    std::filesystem::remove(pattern);
    manager->render();
    EXPECT_NE(manager->texture, nullptr);
    EXPECT_GE(at(0).r, 250);
}
