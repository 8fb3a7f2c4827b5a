// The texture table on a real context: uploads, mipmaps, binding and the
// enable tracking, parameters, load errors, and the two framework hooks that
// use textures (the image cursor and the fade). Results are read back from
// the framebuffer or from GL state.
#include "Core/WinAppFramework/Exception.h"
#include "Core/WinAppFramework/Input.h"
#include "Core/WinAppFramework/Overlay2D.h"
#include "Core/textures/TextureManager.h"

#include "GLFixture.h"
#include "ImageBytes.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <string>

using namespace Vantor;
using namespace Vantor::test;

namespace {

class Textures : public GLFixture {
protected:
    void SetUp() override {
        GLFixture::SetUp();
        if (HasFatalFailure())
            return;
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_LIGHTING);
        glDisable(GL_CULL_FACE);
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_1D);
        glDisable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glColor4f(1, 1, 1, 1);
        clearTo(0);
        manager = TextureManager::getInstance();
    }

    void TearDown() override {
        if (Singleton<TextureManager>::exists())
            TextureManager::getInstance()->deleteAll();
        destroySingletons();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    static void clearTo(float grey) {
        glClearColor(grey, grey, grey, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    // A quad from (x1, y1) to (x2, y2) in clip coordinates with texture
    // coordinates 0 to 1, (0, 0) at the bottom-left.
    static void drawQuad(float x1 = -1, float y1 = -1, float x2 = 1, float y2 = 1) {
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex2f(x1, y1);
        glTexCoord2f(1, 0);
        glVertex2f(x2, y1);
        glTexCoord2f(1, 1);
        glVertex2f(x2, y2);
        glTexCoord2f(0, 1);
        glVertex2f(x1, y2);
        glEnd();
    }

    static Image imageOf(int channels, int side, const Bytes& pixels) {
        Image image;
        image.allocate(channels, side, pixels.size() / (channels * side));
        std::copy(pixels.begin(), pixels.end(), image.data);
        return image;
    }

    static GLint levelParameter(int level, GLenum which) {
        GLint value = -1;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, which, &value);
        return value;
    }

    static GLint texParameter(GLenum which) {
        GLint value = -1;
        glGetTexParameteriv(GL_TEXTURE_2D, which, &value);
        return value;
    }

    static GLint boundTexture() {
        GLint name = -1;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
        return name;
    }

    static bool isOn(GLenum capability) { return glIsEnabled(capability) == GL_TRUE; }

    static std::string writeImage(const char* name, const Bytes& bytes) {
        EXPECT_TRUE(writeFile(name, bytes));
        return name;
    }

    TextureManager* manager = nullptr;
};

const RGBA black{0, 0, 0, 255};
const RGBA red{255, 0, 0, 255};
const RGBA green{0, 255, 0, 255};
const RGBA blue{0, 0, 255, 255};
const RGBA white{255, 255, 255, 255};

bool near(const RGBA& p, int r, int g, int b, int tolerance = 2) {
    return std::abs(p.r - r) <= tolerance && std::abs(p.g - g) <= tolerance && std::abs(p.b - b) <= tolerance;
}

// 2 x 2 RGB: bottom row red, green; top row blue, white.
const Bytes quadrants = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};

} // namespace

TEST_F(Textures, UploadedImageReachesTheFramebufferBottomRowFirst) {
    Texture* texture = manager->addImage(imageOf(3, 2, quadrants), GL_NEAREST, GL_NEAREST);
    ASSERT_TRUE(texture->loaded);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB8);
    EXPECT_EQ(levelParameter(1, GL_TEXTURE_WIDTH), 0);
    drawQuad();
    EXPECT_EQ(readPixel(16, 16), red);
    EXPECT_EQ(readPixel(48, 16), green);
    EXPECT_EQ(readPixel(16, 48), blue);
    EXPECT_EQ(readPixel(48, 48), white);
}

TEST_F(Textures, RowsOfAnyWidthUploadUnpadded) {
    // 3 texels of 3 bytes make rows of 9 bytes, which GL's default unpack
    // alignment of 4 would read as 12.
    Bytes pixels;
    for (int i = 0; i < 9; ++i)
        pixels.insert(pixels.end(), {std::uint8_t(20 * i), std::uint8_t(250 - 20 * i), std::uint8_t(i * 5)});
    ASSERT_TRUE(manager->addImage(imageOf(3, 3, pixels), GL_NEAREST, GL_NEAREST)->loaded);
    drawQuad();
    for (int ty = 0; ty < 3; ++ty)
        for (int tx = 0; tx < 3; ++tx) {
            const int i = ty * 3 + tx;
            RGBA pixel = readPixel(int((tx + 0.5) * 64 / 3), int((ty + 0.5) * 64 / 3));
            EXPECT_EQ(pixel, (RGBA{pixels[size_t(3 * i)], pixels[size_t(3 * i + 1)],
                                   pixels[size_t(3 * i + 2)], 255}))
                << "texel " << tx << ", " << ty;
        }
}

TEST_F(Textures, MipmappedMinificationGivesTheAveragedColour) {
    // A 64 x 64 red and blue checkerboard drawn into one pixel.
    Bytes pixels;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            if ((x + y) % 2)
                pixels.insert(pixels.end(), {255, 0, 0});
            else
                pixels.insert(pixels.end(), {0, 0, 255});
    const Image checker = imageOf(3, 64, pixels);
    const float onePixel = -1 + 2.0f / 64;

    Texture* mipmapped = manager->addImage(checker, GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR);
    ASSERT_TRUE(mipmapped->loaded);
    EXPECT_EQ(levelParameter(6, GL_TEXTURE_WIDTH), 1);
    EXPECT_EQ(texParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    drawQuad(-1, -1, onePixel, onePixel);
    EXPECT_TRUE(near(readPixel(0, 0), 128, 0, 128, 3)) << readPixel(0, 0);

    Texture* single = manager->addImage(checker, GL_NEAREST, GL_NEAREST);
    ASSERT_TRUE(single->loaded);
    EXPECT_EQ(levelParameter(1, GL_TEXTURE_WIDTH), 0);
    drawQuad(-1, -1, onePixel, onePixel);
    RGBA texel = readPixel(0, 0);
    EXPECT_TRUE(texel == red || texel == blue) << texel;
}

TEST_F(Textures, UploadRefusesImagesGLCannotTakeAndLeavesGLAlone) {
    const Image wide = imageOf(3, 2, Bytes(2 * 1 * 3, 7));
    ASSERT_EQ(wide.height, 1);
    Image grey = imageOf(1, 2, Bytes(4, 9));
    struct {
        const char* what;
        const Image& image;
        GLenum format;
    } refused[] = {
        {"not square", wide, 0},
        {"empty", Image(), 0},
        {"grey image given as RGBA", grey, GL_RGBA},
        {"unknown format", grey, GL_DEPTH_COMPONENT},
    };
    for (const auto& entry : refused) {
        SCOPED_TRACE(entry.what);
        Texture* texture = manager->addImage(entry.image, GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR, entry.format);
        EXPECT_FALSE(texture->loaded);
        EXPECT_EQ(glIsTexture(texture->name), GL_FALSE);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
    EXPECT_EQ(manager->count, 4);
}

TEST_F(Textures, BindEnablesATargetOnlyWhenItChanges) {
    Texture* first = manager->addImage(imageOf(3, 2, quadrants), GL_NEAREST, GL_NEAREST);
    Texture* second = manager->addImage(imageOf(3, 2, quadrants), GL_NEAREST, GL_NEAREST);
    EXPECT_EQ(manager->enabledTarget, GL_TEXTURE_2D);
    EXPECT_TRUE(isOn(GL_TEXTURE_2D));

    // With the target already recorded as enabled, a bind does not enable it again.
    glDisable(GL_TEXTURE_2D);
    first->bind();
    EXPECT_FALSE(isOn(GL_TEXTURE_2D));
    EXPECT_EQ(boundTexture(), GLint(first->name));

    Texture* line = &manager->textures[manager->count++];
    line->target = GL_TEXTURE_1D;
    line->loaded = true;
    line->bind();
    EXPECT_EQ(manager->enabledTarget, GL_TEXTURE_1D);
    EXPECT_TRUE(isOn(GL_TEXTURE_1D));
    second->bind();
    EXPECT_FALSE(isOn(GL_TEXTURE_1D));
    EXPECT_TRUE(isOn(GL_TEXTURE_2D));
    EXPECT_EQ(boundTexture(), GLint(second->name));

    Texture* unloaded = &manager->textures[manager->count++];
    unloaded->bind();
    EXPECT_EQ(boundTexture(), GLint(second->name));
}

TEST_F(Textures, SetParametersAppliesOnlyNonZeroArguments) {
    Texture* texture = manager->addImage(imageOf(3, 2, quadrants), GL_LINEAR, GL_LINEAR);
    texture->setParameters(GL_CLAMP_TO_EDGE, 0, 0, GL_NEAREST, GL_REPLACE);
    EXPECT_EQ(texParameter(GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(texParameter(GL_TEXTURE_WRAP_T), GL_REPEAT);
    EXPECT_EQ(texParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(texParameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST);
    GLint env = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    EXPECT_EQ(env, GL_REPLACE);
    EXPECT_EQ(texture->wrapS, GLenum(GL_CLAMP_TO_EDGE));
    EXPECT_EQ(texture->wrapT, GLenum(GL_REPEAT));
    EXPECT_EQ(texture->minFilter, GLenum(GL_NEAREST));
}

TEST_F(Textures, SetParametersOnAnUnloadedTextureLeavesTheBoundOne) {
    Texture* bound = manager->addImage(imageOf(3, 2, quadrants), GL_LINEAR, GL_LINEAR);
    Texture* unloaded = &manager->textures[manager->count++];
    unloaded->setParameters(GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, GL_NEAREST, GL_NEAREST, 0);
    EXPECT_EQ(boundTexture(), GLint(bound->name));
    EXPECT_EQ(texParameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(texParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(unloaded->wrapS, GLenum(GL_CLAMP_TO_EDGE));
    EXPECT_EQ(unloaded->minFilter, GLenum(GL_NEAREST));
}

TEST_F(Textures, LoadsBMPFilesByEnginePathAndFromStreams) {
    ASSERT_TRUE(::mkdir("images", 0755) == 0 || errno == EEXIST);
    const Bytes bmp = makeBMP(2, 2, 24, quadrants);
    writeImage("images/quadrants.bmp", bmp);
    Texture* fromFile = manager->loadNewTexture("images\\quadrants.bmp", GL_NEAREST, GL_NEAREST);
    ASSERT_NE(fromFile, nullptr);
    ASSERT_TRUE(fromFile->loaded);
    drawQuad();
    EXPECT_EQ(readPixel(48, 16), green);
    EXPECT_EQ(readPixel(16, 48), blue);

    Bytes embedded = {1, 2, 3};
    embedded.insert(embedded.end(), bmp.begin(), bmp.end());
    MemoryStream stream(embedded);
    std::fseek(stream.get(), 3, SEEK_SET);
    Texture* fromStream =
        manager->loadNewTexture("embedded", GL_NEAREST, GL_NEAREST, textureFileBMP, 0, 0, 0, stream.get());
    ASSERT_TRUE(fromStream->loaded);
    clearTo(0);
    drawQuad();
    EXPECT_EQ(readPixel(16, 16), red);
    EXPECT_EQ(readPixel(48, 48), white);
    EXPECT_EQ(manager->count, 2);
}

TEST_F(Textures, MakeRGBAExpandsGreyImagesBeforeUpload) {
    writeImage("grey.bmp", makeBMP(2, 2, 8, {10, 60, 110, 160}));
    Texture* expanded = manager->loadNewTexture("grey.bmp", GL_NEAREST, GL_NEAREST, textureFileFromName, 1);
    ASSERT_TRUE(expanded->loaded);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA8);
    GLubyte texels[16] = {};
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    EXPECT_EQ(Bytes(texels, texels + 16),
              (Bytes{10, 10, 10, 10, 60, 60, 60, 60, 110, 110, 110, 110, 160, 160, 160, 160}));

    Texture* grey = manager->loadNewTexture("grey.bmp", GL_NEAREST, GL_NEAREST);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_INTERNAL_FORMAT), GL_LUMINANCE8);
    EXPECT_TRUE(grey->loaded);
}

TEST_F(Textures, LoadFailuresConsumeTheirEntry) {
    writeImage("notbmp.bmp", Bytes(100, 'x'));
    writeImage("photo.jpg", Bytes(10, 0));
    const struct { const char* file; } unreadable[] = {{"missing.bmp"}, {"notbmp.bmp"}, {"missing.jpg"}};
    for (const auto& entry : unreadable) {
        SCOPED_TRACE(entry.file);
        const int before = manager->count;
        try {
            manager->loadNewTexture(entry.file);
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            EXPECT_EQ(e.message, "Error loading texture image");
            EXPECT_EQ(e.function, "Vantor::TextureManager::loadNewTexture");
            EXPECT_EQ(e.file, "source\\Core\\textures\\TextureManager");
            EXPECT_EQ(e.line, 259);
        }
        EXPECT_EQ(manager->count, before + 1);
        EXPECT_FALSE(manager->textures[before].loaded);
    }

    Texture* unknown = manager->loadNewTexture("picture.png");
    EXPECT_EQ(unknown, &manager->textures[3]);
    EXPECT_FALSE(unknown->loaded);
    EXPECT_EQ(manager->loadNewTexture("model.raw"), nullptr);
    EXPECT_EQ(manager->count, 5);

    Texture* jpg = manager->loadNewTexture("photo.jpg");
    EXPECT_FALSE(jpg->loaded);
    EXPECT_TRUE(messageBoxes().empty());
    MemoryStream stream(Bytes(10, 0));
    Texture* embeddedJpg =
        manager->loadNewTexture("embedded", GL_LINEAR, GL_LINEAR, textureFileJPG, 0, 0, 0, stream.get());
    EXPECT_FALSE(embeddedJpg->loaded);
    ASSERT_EQ(messageBoxes().size(), 1u);
    EXPECT_EQ(messageBoxes()[0].text, "embedded JPG loading not yet supported");
    EXPECT_EQ(manager->count, 7);
}

TEST_F(Textures, ALoadBeyondTheTableThrowsAndUsesNoEntryPastIt) {
    const Image wide = imageOf(1, 2, Bytes(2, 0));
    for (int i = 0; i < textureTableSize; ++i)
        manager->addImage(wide, GL_LINEAR, GL_LINEAR);
    EXPECT_EQ(manager->count, textureTableSize);
    try {
        manager->loadNewTexture("more.bmp");
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message, "Texture table full: all 512 textures are in use");
        EXPECT_EQ(e.function, "Vantor::TextureManager::loadNewTexture");
    }
    EXPECT_THROW(manager->addImage(wide, GL_LINEAR, GL_LINEAR), Exception);
    EXPECT_THROW(manager->createScratchTexture(), Exception);
    EXPECT_EQ(manager->count, textureTableSize);
}

TEST_F(Textures, ScratchTextureIsCreatedOnceAndDeleteAllReleasesIt) {
    manager->createScratchTexture();
    manager->createScratchTexture();
    EXPECT_EQ(manager->count, 1);
    Texture* scratch = manager->scratchTexture();
    ASSERT_EQ(scratch, &manager->textures[0]);
    ASSERT_TRUE(scratch->loaded);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_WIDTH), scratchTextureSize);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_HEIGHT), scratchTextureSize);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_INTERNAL_FORMAT), GL_LUMINANCE8);
    EXPECT_EQ(levelParameter(1, GL_TEXTURE_WIDTH), 0);

    manager->deleteAll();
    EXPECT_EQ(glIsTexture(scratch->name), GL_FALSE);
    EXPECT_FALSE(scratch->loaded);
}

TEST_F(Textures, ImageCursorIsATexturedQuadCentredOnTheMouse) {
    // Bottom row red, top row green.
    writeImage("cursor.bmp", makeBMP(2, 2, 24, {255, 0, 0, 255, 0, 0, 0, 255, 0, 0, 255, 0}));
    Overlay2D::getInstance()->setSize(width(), height());
    Mouse* mouse = Mouse::getInstance();
    mouse->setCursorImage("cursor.bmp");
    EXPECT_EQ(mouse->cursorMode, Mouse::imageCursor);
    EXPECT_EQ(mouse->cursorImage, manager->textures[0].name);
    mouse->x = 32;
    mouse->y = 32;
    const int recordedTarget = manager->enabledTarget;
    glDisable(GL_TEXTURE_2D);

    clearTo(0);
    mouse->draw();
    EXPECT_EQ(readPixel(16, 16), red);
    EXPECT_EQ(readPixel(47, 47), green);
    EXPECT_EQ(readPixel(15, 32), black);
    EXPECT_EQ(readPixel(32, 48), black);
    EXPECT_FALSE(isOn(GL_BLEND));
    EXPECT_FALSE(isOn(GL_TEXTURE_2D));
    EXPECT_EQ(manager->enabledTarget, recordedTarget);

    // Blending ONE / ONE_MINUS_SRC_COLOR: red over grey keeps the grey where
    // the cursor has no colour.
    clearTo(0.5f);
    mouse->draw();
    EXPECT_TRUE(near(readPixel(32, 20), 255, 128, 128)) << readPixel(32, 20);

    mouse->hide();
    clearTo(0);
    mouse->draw();
    EXPECT_EQ(readPixel(32, 20), black);
}

TEST_F(Textures, FadeClearsTheEnabledTarget) {
    Texture* texture = manager->addImage(imageOf(3, 2, quadrants), GL_NEAREST, GL_NEAREST);
    ASSERT_EQ(manager->enabledTarget, GL_TEXTURE_2D);
    Overlay2D* overlay = Overlay2D::getInstance();
    overlay->setSize(width(), height());
    overlay->fade = -0.5f;
    overlay->drawFade();
    EXPECT_EQ(manager->enabledTarget, 0);
    EXPECT_EQ(overlay->depth, 0);

    // The next bind enables texturing again (the fade leaves its colour current).
    glDisable(GL_TEXTURE_2D);
    texture->bind();
    glColor4f(1, 1, 1, 1);
    clearTo(0);
    drawQuad();
    EXPECT_EQ(readPixel(16, 16), red);

    // With no texture manager, the fade does not create one.
    manager->deleteAll();
    destroySingletons();
    overlay = Overlay2D::getInstance();
    overlay->setSize(width(), height());
    overlay->fade = -0.5f;
    overlay->drawFade();
    EXPECT_FALSE(Singleton<TextureManager>::exists());
}
