// What the shader GL tests share: a fixture that starts every test from fixed
// function with identity matrices and a grey clear, paths to the test and the
// shipped programs, a quad drawer and a tolerant pixel comparison.
//
// The ShaderManager and ParamDatabase singletons persist from test to test
// within one process: tests load their own programs and set every parameter
// value they rely on.
#pragma once

#include "Core/WinAppFramework/Plugin.h"
#include "modules/ShaderManager/ParamDatabase.h"
#include "modules/ShaderManager/ShaderManager.h"

#include "GLFixture.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

namespace Vantor::test {

// An 8-bit channel of the clear colour, 0.5 grey.
constexpr int kClearGrey = 128;
// How far a channel read back may be from the value computed on the CPU.
constexpr int kChannelTolerance = 3;

inline std::string testFile(const char* name) { return std::string(VANTOR_TEST_DATA_DIR) + "/" + name; }

// An engine path (backslashes) under the shipped data folder, e.g. "shaders\\litTextured.vp".
inline std::string shippedFile(const char* enginePath) {
    return std::string(VANTOR_SHIPPED_DATA_DIR) + "\\" + enginePath;
}

inline ::testing::AssertionResult near(const RGBA& pixel, int r, int g, int b) {
    if (std::abs(pixel.r - r) <= kChannelTolerance && std::abs(pixel.g - g) <= kChannelTolerance &&
        std::abs(pixel.b - b) <= kChannelTolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << pixel << " is not near RGB(" << r << ", " << g << ", " << b << ")";
}

inline int toByte(float value) {
    float clamped = value < 0 ? 0 : (value > 1 ? 1 : value);
    return int(std::lround(clamped * 255.0f));
}

// A quad in the z = 0 plane facing +z, texture coordinates 0..1 across it.
inline void drawQuad(float x0, float y0, float x1, float y1, float r = 1, float g = 1, float b = 1) {
    glColor4f(r, g, b, 1);
    glNormal3f(0, 0, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(x0, y0);
    glTexCoord2f(1, 0);
    glVertex2f(x1, y0);
    glTexCoord2f(1, 1);
    glVertex2f(x1, y1);
    glTexCoord2f(0, 1);
    glVertex2f(x0, y1);
    glEnd();
}

// Names the instances of tests run once per program kind.
inline std::string kindName(const ::testing::TestParamInfo<int>& kind) {
    return kind.param == kProgramGLSL ? "GLSL" : "Assembly";
}

// A manager apart from the singleton, for tests that fill its tables or
// switch paths off; taken off the plug-in lists and its GL objects deleted
// when the test ends. Its programs must not be attached or bound (programs
// work against the singleton).
struct LocalShaderManager {
    ShaderManager manager;
    LocalShaderManager(bool asmPaths, bool glslPaths) : manager(asmPaths, glslPaths) {}
    ~LocalShaderManager() {
        manager.shutdown();
        for (auto& list : PluginManager::getInstance()->phases)
            list.remove(&manager);
    }
};

class ShaderGL : public GLFixture {
protected:
    void SetUp() override {
        GLFixture::SetUp();
        if (HasFatalFailure())
            return;
        static bool loaderReady = false;
        if (!loaderReady) {
            GLenum loaded = glewInit();
            ASSERT_EQ(loaded, GLenum(GLEW_OK)) << glewGetErrorString(loaded);
            loaderReady = true;
        }
        ASSERT_TRUE(GLEW_ARB_vertex_program && GLEW_ARB_fragment_program && GLEW_ARB_shader_objects);
        manager = ShaderManager::getInstance();
        db = ParamDatabase::getInstance();
        manager->unbindCurrent();
        glUseProgramObjectARB(0);
        glDisable(GL_VERTEX_PROGRAM_ARB);
        glDisable(GL_FRAGMENT_PROGRAM_ARB);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_LIGHTING);
        glDisable(GL_CULL_FACE);
        glDisable(GL_BLEND);
        glDisable(GL_COLOR_MATERIAL);
        glActiveTextureARB(GL_TEXTURE0_ARB);
        glDisable(GL_TEXTURE_2D);
        clear();
        ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    static void clear() {
        glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    static bool isOn(GLenum capability) { return glIsEnabled(capability) == GL_TRUE; }

    ProgramObject& program(int index) { return manager->programs[unsigned(index)]; }
    const Shader& shaderOf(int programIndex, int stage) {
        return manager->shaders[unsigned(program(programIndex).attached[unsigned(stage)])];
    }

    ShaderManager* manager = nullptr;
    ParamDatabase* db = nullptr;
};

} // namespace Vantor::test
