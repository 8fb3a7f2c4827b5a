// The shader manager on Mesa: loading both kinds of program, binding and the
// GL state it leaves, database parameters reaching the GPU (read back from
// the framebuffer and from GL's program-local parameters), load failures and
// their exceptions, and the table limit.
#include "ShaderTestSupport.h"

#include "Core/WinAppFramework/Exception.h"

#include <algorithm>
#include <climits>
#include <string>

using namespace Vantor;
using Vantor::test::near;
using Vantor::test::RGBA;
using Vantor::test::testFile;

namespace {

class ShaderManagerGL : public test::ShaderGL {
protected:
    int loadPair(int language) {
        if (language == kProgramGLSL)
            return manager->loadProgram(testFile("placed.vert").c_str(), testFile("tinted.frag").c_str(),
                                        kProgramGLSL);
        return manager->loadProgram(testFile("placed.vp").c_str(), testFile("tinted.fp").c_str(),
                                    kProgramAsm);
    }

    void declareTintedParams(int index) {
        db->registerProgramParam(index, "tint", kParamVector);
        db->registerProgramParam(index, "brightness", kParamFloat);
        db->registerProgramParam(index, "placement", kParamMatrix);
    }

    // A program built by hand from assembly sources, as loadProgram builds it from files.
    int asmProgram(const char* vertexSource, const char* fragmentSource) {
        int index = manager->createProgram(kProgramAsm);
        int vertex = manager->createAsmShader(GL_VERTEX_PROGRAM_ARB, String(vertexSource));
        EXPECT_TRUE(program(index).attach(vertex));
        if (fragmentSource) {
            int fragment = manager->createAsmShader(GL_FRAGMENT_PROGRAM_ARB, String(fragmentSource));
            EXPECT_TRUE(program(index).attach(fragment));
        }
        EXPECT_TRUE(program(index).link());
        return index;
    }

    static unsigned boundAsmProgram(GLenum target) {
        GLint id = 0;
        glGetProgramivARB(target, GL_PROGRAM_BINDING_ARB, &id);
        return unsigned(id);
    }
};

const char* const passThroughVertex = "!!ARBvp1.0\n"
                                      "OPTION ARB_position_invariant;\n"
                                      "MOV result.color, vertex.color;\n"
                                      "END\n";

class BothKinds : public ShaderManagerGL, public ::testing::WithParamInterface<int> {};

} // namespace

TEST_P(BothKinds, PairDrawsWithTheDatabaseFloatVectorAndMatrix) {
    const int language = GetParam();
    int index = loadPair(language);
    ASSERT_GT(index, 0);
    EXPECT_TRUE(program(index).linked);
    declareTintedParams(index);
    db->vectors.setValue("tint", Vector4(0.2f, 0.4f, 0.8f, 1.0f));
    db->floats.setValue("brightness", 0.5f);
    // Moves the quad drawn over the left half onto the right half; a matrix
    // that arrived transposed would put the shift into w instead.
    db->matrices.setValue("placement", TMatrix4<float>::translation(1.0f, 0.0f, 0.0f));

    ASSERT_TRUE(program(index).bind());
    test::drawQuad(-1, -1, 0, 1);
    ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_TRUE(near(readPixel(48, 32), 26, 51, 102));
    EXPECT_TRUE(near(readPixel(62, 2), 26, 51, 102));
    EXPECT_TRUE(near(readPixel(16, 32), test::kClearGrey, test::kClearGrey, test::kClearGrey));

    if (language == kProgramGLSL) {
        EXPECT_EQ(glGetHandleARB(GL_PROGRAM_OBJECT_ARB), program(index).handle);
        EXPECT_FALSE(isOn(GL_VERTEX_PROGRAM_ARB));
        EXPECT_FALSE(isOn(GL_FRAGMENT_PROGRAM_ARB));
    } else {
        EXPECT_TRUE(isOn(GL_VERTEX_PROGRAM_ARB));
        EXPECT_TRUE(isOn(GL_FRAGMENT_PROGRAM_ARB));
        EXPECT_EQ(boundAsmProgram(GL_VERTEX_PROGRAM_ARB), unsigned(shaderOf(index, 0).programId));
        EXPECT_EQ(boundAsmProgram(GL_FRAGMENT_PROGRAM_ARB), unsigned(shaderOf(index, 1).programId));
        GLfloat column[4];
        glGetProgramLocalParameterfvARB(GL_VERTEX_PROGRAM_ARB, 3, column);
        EXPECT_EQ(column[0], 1.0f) << "register 3 holds the matrix's last column, the translation";
        EXPECT_EQ(column[3], 1.0f);
        GLfloat brightness[4];
        glGetProgramLocalParameterfvARB(GL_FRAGMENT_PROGRAM_ARB, 1, brightness);
        EXPECT_EQ(brightness[0], 0.5f);
        EXPECT_EQ(brightness[1], 0.0f);
    }
    EXPECT_TRUE(manager->programActive);
    EXPECT_EQ(manager->currentProgram, index);
    EXPECT_EQ(manager->currentType, language);

    // A later write reaches the GPU at the next bind.
    db->vectors.setValue("tint", Vector4(1.0f, 0.0f, 0.0f, 1.0f));
    db->floats.setValue("brightness", 1.0f);
    ASSERT_TRUE(program(index).bind());
    test::drawQuad(-1, -1, 0, 1);
    EXPECT_TRUE(near(readPixel(48, 32), 255, 0, 0));
}

INSTANTIATE_TEST_SUITE_P(Shaders, BothKinds, ::testing::Values(kProgramAsm, kProgramGLSL), test::kindName);

TEST_F(ShaderManagerGL, ParameterNeverWrittenUploadsTheDefaultUntilAWriterCreatesIt) {
    int index = asmProgram(passThroughVertex, "!!ARBfp1.0\n"
                                              "#var float4 neverWrittenColour :  : c[0] : 1 : 1\n"
                                              "MOV result.color, program.local[0];\n"
                                              "END\n");
    db->ensureProgramParams(index);
    db->addProgramParam(index, "neverWrittenColour", kParamVector);
    const ParamName& param = db->programParams[unsigned(index)].vectors[0];

    ASSERT_TRUE(program(index).bind());
    test::drawQuad(-1, -1, 1, 1);
    EXPECT_TRUE(near(readPixel(32, 32), 0, 0, 0)) << "the default vector (0, 0, 0, 1)";
    EXPECT_EQ(param.index, -1);

    db->vectors.setValue("neverWrittenColour", Vector4(0.0f, 1.0f, 0.0f, 1.0f));
    ASSERT_TRUE(program(index).bind());
    test::drawQuad(-1, -1, 1, 1);
    EXPECT_TRUE(near(readPixel(32, 32), 0, 255, 0));
    EXPECT_EQ(param.index, db->vectors.findIndex("neverWrittenColour"));
}

TEST_P(BothKinds, ParametersTheProgramLacksAreSkippedWithoutGLErrors) {
    int index = loadPair(GetParam());
    ASSERT_GT(index, 0);
    declareTintedParams(index);
    // Not declared by "#var" (assembly) or optimised away / never declared (GLSL).
    db->registerProgramParam(index, "notInTheProgram", kParamVector);
    db->registerProgramParam(index, "alsoMissing", kParamMatrix);
    db->vectors.setValue("tint", Vector4(0.0f, 0.0f, 1.0f, 1.0f));
    db->floats.setValue("brightness", 1.0f);
    db->matrices.setValue("placement", TMatrix4<float>());
    ASSERT_TRUE(program(index).bind());
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    test::drawQuad(-1, -1, 1, 1);
    EXPECT_TRUE(near(readPixel(32, 32), 0, 0, 255));
}

TEST_F(ShaderManagerGL, GLSLUniformLocationsAreAskedOnceAndServeEveryLaterBind) {
    int index = loadPair(kProgramGLSL);
    ASSERT_GT(index, 0);
    declareTintedParams(index);
    db->floats.setValue("brightness", 1.0f);
    db->matrices.setValue("placement", TMatrix4<float>());
    db->vectors.setValue("tint", Vector4(1.0f, 0.0f, 0.0f, 1.0f));
    ASSERT_TRUE(program(index).bind());
    test::drawQuad(-1, -1, 1, 1);
    EXPECT_TRUE(near(readPixel(32, 32), 255, 0, 0));
    const unsigned known = program(index).uniformLocations.size;
    EXPECT_GE(known, 2u);

    db->vectors.setValue("tint", Vector4(0.0f, 1.0f, 0.0f, 1.0f));
    ASSERT_TRUE(program(index).bind());
    test::drawQuad(-1, -1, 1, 1);
    EXPECT_TRUE(near(readPixel(32, 32), 0, 255, 0)) << "the kept location still takes the new value";
    EXPECT_EQ(program(index).uniformLocations.size, known) << "no name was looked up again";
}

TEST_F(ShaderManagerGL, VarDeclarationsOfAnAssemblySourceNameItsRegisters) {
    int index = asmProgram("!!ARBvp1.0\n"
                           "#var float4 IN.position : $vin.POSITION : POSITION : 0 : 1\n"
                           "#var float4 colourA :  : c[3] : 1 : 1\n"
                           "#var float4 block[0] :  : c[5], 2 : 2 : 1\n"
                           "#var sampler2D map :  : texunit 0 : 3 : 1\n"
                           "OPTION ARB_position_invariant;\n"
                           "ADD result.color, program.local[3], program.local[5];\n"
                           "END\n",
                           nullptr);
    const Shader& shader = shaderOf(index, 0);
    ASSERT_EQ(shader.params.size, 2u);
    EXPECT_STREQ(shader.params[0].name.c_str(), "colourA");
    EXPECT_EQ(shader.params[0].registerIndex, 3);
    EXPECT_STREQ(shader.params[1].name.c_str(), "block[0]");
    EXPECT_EQ(shader.params[1].registerIndex, 5);
    EXPECT_EQ(shader.params[1].count, 2);

    ProgramObject& p = program(index);
    EXPECT_EQ(p.getParamLocation("map"), kLocationInShaders);
    EXPECT_EQ(p.shaderLocation[0], -1);
    EXPECT_FALSE(p.setLocalParam(kLocationInShaders, 1, 2, 3, 4, 0)) << "no shader declares it";

    ASSERT_EQ(p.getParamLocation("block[0]"), kLocationInShaders);
    EXPECT_EQ(p.shaderLocation[0], 5);
    EXPECT_EQ(p.shaderLocation[1], -1);
    const float values[6] = {1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(p.setParamArray(kLocationInShaders, 2, 3, values));
    GLfloat reg5[4], reg6[4];
    glGetProgramLocalParameterfvARB(GL_VERTEX_PROGRAM_ARB, 5, reg5);
    glGetProgramLocalParameterfvARB(GL_VERTEX_PROGRAM_ARB, 6, reg6);
    EXPECT_EQ(reg5[2], 3.0f);
    EXPECT_EQ(reg5[3], 0.0f) << "a missing component is 0";
    EXPECT_EQ(reg6[0], 4.0f);
    EXPECT_FALSE(p.setParamArray(kLocationInShaders, 1, 5, values)) << "five floats do not fit a register";
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(ShaderManagerGL, SyntaxErrorThrowsAfterTheNativeLimitsBox) {
    try {
        manager->loadProgram(testFile("syntaxError.vp").c_str(), testFile("tinted.fp").c_str(), kProgramAsm);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        const std::string message = e.message.c_str();
        EXPECT_EQ(message.rfind("Shader Load Error\n", 0), 0u) << message;
        EXPECT_GT(message.size(), std::string("Shader Load Error\n").size())
            << "the driver's error text follows";
        EXPECT_STREQ(e.function.c_str(), "Vantor::ShaderManager::createAsmShader");
        EXPECT_STREQ(e.file.c_str(), "source\\modules\\ShaderManager\\ShaderManager");
        EXPECT_EQ(e.line, 273);
    }
    ASSERT_EQ(messageBoxes().size(), 1u);
    const std::string box = messageBoxes()[0].text;
    EXPECT_EQ(box.rfind("Program Native Limits\n\ninstructions \n", 0), 0u) << box;
    for (const char* label : {"\nalu instructions \n", "\ntex instructions\n", "\ntex indirections\n",
                              "\ntemporaries\n", "\nparameters\n", "\nattributes\n"})
        EXPECT_NE(box.find(label), std::string::npos) << label;
    EXPECT_EQ(std::count(box.begin(), box.end(), '\n'), 16);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(ShaderManagerGL, LoadProgramFailuresThrowTheirStepsException) {
    struct Case {
        const char* vertex;
        const char* fragment;
        int language;
        const char* message;
        int line;
    };
    const Case cases[] = {
        {"missing.vp", "tinted.fp", kProgramAsm, "Error loading shader : vertex shader load error", 143},
        {"placed.vp", "missing.fp", kProgramAsm, "Error loading shader : fragment shader load error", 145},
        {"missing.vert", "tinted.frag", kProgramGLSL, "Error loading shader : vertex shader load error", 143},
        {"placed.vert", "missing.frag", kProgramGLSL, "Error loading shader : fragment shader load error",
         145},
        {"compileError.vert", "tinted.frag", kProgramGLSL, "Error loading shader: link error", 148},
    };
    for (const Case& c : cases) {
        try {
            manager->loadProgram(testFile(c.vertex).c_str(), testFile(c.fragment).c_str(), c.language);
            ADD_FAILURE() << c.vertex << " + " << c.fragment << ": no exception";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.message.c_str(), c.message) << c.vertex << " + " << c.fragment;
            EXPECT_STREQ(e.function.c_str(), "Vantor::ShaderManager::loadProgram");
            EXPECT_STREQ(e.file.c_str(), "source\\modules\\ShaderManager\\ShaderManager");
            EXPECT_EQ(e.line, c.line) << c.vertex << " + " << c.fragment;
        }
    }
    // The compiler's complaint about compileError.vert was shown to the user.
    bool shown = false;
    for (const test::RecordedBox& box : messageBoxes())
        shown = shown || box.text.find("undeclaredPosition") != std::string::npos;
    EXPECT_TRUE(shown);
}

TEST_F(ShaderManagerGL, GLSLAfterAssemblyDisablesTheAssemblyTargets) {
    int asmIndex = loadPair(kProgramAsm);
    int glslIndex = loadPair(kProgramGLSL);
    int otherAsm = loadPair(kProgramAsm);
    ASSERT_TRUE(program(asmIndex).bind());
    ASSERT_TRUE(isOn(GL_VERTEX_PROGRAM_ARB) && isOn(GL_FRAGMENT_PROGRAM_ARB));

    ASSERT_TRUE(program(otherAsm).bind());
    EXPECT_TRUE(isOn(GL_VERTEX_PROGRAM_ARB) && isOn(GL_FRAGMENT_PROGRAM_ARB));
    EXPECT_EQ(boundAsmProgram(GL_VERTEX_PROGRAM_ARB), unsigned(shaderOf(otherAsm, 0).programId));

    ASSERT_TRUE(program(glslIndex).bind());
    EXPECT_FALSE(isOn(GL_VERTEX_PROGRAM_ARB));
    EXPECT_FALSE(isOn(GL_FRAGMENT_PROGRAM_ARB));
    EXPECT_EQ(glGetHandleARB(GL_PROGRAM_OBJECT_ARB), program(glslIndex).handle);

    ASSERT_TRUE(program(asmIndex).bind());
    EXPECT_EQ(glGetHandleARB(GL_PROGRAM_OBJECT_ARB), 0u) << "and back: the GLSL program is put out of use";
    EXPECT_TRUE(isOn(GL_VERTEX_PROGRAM_ARB) && isOn(GL_FRAGMENT_PROGRAM_ARB));
}

TEST_P(BothKinds, VertexOnlyProgramDrawsWithFixedFunctionFragments) {
    const int language = GetParam();
    int pair = loadPair(kProgramAsm);
    int index = manager->loadVertexProgram(
        testFile(language == kProgramGLSL ? "vertexOnly.vert" : "vertexOnly.vp").c_str(), language);
    ASSERT_GT(index, 0);
    ASSERT_EQ(program(index).attached.size, 1u);
    ASSERT_TRUE(program(pair).bind());
    ASSERT_TRUE(program(index).bind());
    EXPECT_FALSE(isOn(GL_FRAGMENT_PROGRAM_ARB));
    EXPECT_EQ(isOn(GL_VERTEX_PROGRAM_ARB), language == kProgramAsm);
    test::drawQuad(-1, -1, 1, 1, 1.0f, 0.5f, 0.0f);
    EXPECT_TRUE(near(readPixel(32, 32), 255, 128, 0)) << "the vertex colour, untouched by a fragment program";
}

TEST_F(ShaderManagerGL, UnbindCurrentReturnsToFixedFunction) {
    for (int language : {kProgramAsm, kProgramGLSL}) {
        int index = loadPair(language);
        declareTintedParams(index);
        ASSERT_TRUE(program(index).bind());
        manager->unbindCurrent();
        EXPECT_FALSE(manager->programActive);
        EXPECT_FALSE(isOn(GL_VERTEX_PROGRAM_ARB));
        EXPECT_FALSE(isOn(GL_FRAGMENT_PROGRAM_ARB));
        EXPECT_EQ(glGetHandleARB(GL_PROGRAM_OBJECT_ARB), 0u);
        clear();
        test::drawQuad(-1, -1, 0, 1, 0.0f, 1.0f, 1.0f);
        EXPECT_TRUE(near(readPixel(16, 32), 0, 255, 255)) << "drawn where it was sent, in its own colour";
        EXPECT_TRUE(near(readPixel(48, 32), test::kClearGrey, test::kClearGrey, test::kClearGrey));
    }
}

TEST_F(ShaderManagerGL, PlaceholderProgramIsNeverLinkedAndBindsNothing) {
    int index = loadPair(kProgramAsm);
    ASSERT_TRUE(program(index).bind());
    EXPECT_FALSE(program(0).bind());
    EXPECT_EQ(manager->currentProgram, index);
    EXPECT_TRUE(isOn(GL_VERTEX_PROGRAM_ARB) && isOn(GL_FRAGMENT_PROGRAM_ARB));
    EXPECT_EQ(boundAsmProgram(GL_VERTEX_PROGRAM_ARB), unsigned(shaderOf(index, 0).programId));
}

TEST_F(ShaderManagerGL, BeforeDrawRunsTheHookOfTheCurrentProgramWhileActive) {
    struct CountingHook : DrawHook {
        int calls = 0;
        void beforeDraw() override { ++calls; }
    } hook;
    int hooked = loadPair(kProgramAsm);
    int plain = loadPair(kProgramAsm);
    program(hooked).drawHook = &hook;
    ASSERT_TRUE(program(hooked).bind());
    manager->beforeDraw();
    manager->beforeDraw();
    EXPECT_EQ(hook.calls, 2);
    manager->unbindCurrent();
    manager->beforeDraw();
    EXPECT_EQ(hook.calls, 2);
    ASSERT_TRUE(program(plain).bind());
    manager->beforeDraw();
    EXPECT_EQ(hook.calls, 2);
    program(hooked).drawHook = nullptr;
}

TEST_F(ShaderManagerGL, ShaderTableStopsAtItsLimit) {
    test::LocalShaderManager local(true, true);
    ShaderManager& m = local.manager;
    const std::string file = testFile("vertexOnly.vp");
    for (unsigned i = 1; i < kMaxShaders; ++i)
        ASSERT_EQ(m.loadShader(GL_VERTEX_PROGRAM_ARB, file.c_str()), int(i));
    EXPECT_EQ(m.shaders.size, kMaxShaders);
    EXPECT_EQ(m.loadShader(GL_VERTEX_PROGRAM_ARB, file.c_str()), 0);
    EXPECT_EQ(m.loadShader(GL_VERTEX_SHADER_ARB, testFile("vertexOnly.vert").c_str()), 0);
    EXPECT_EQ(m.shaders.size, kMaxShaders);
    EXPECT_EQ(m.asmProgramIds.size, kMaxShaders - 1);
}

TEST_F(ShaderManagerGL, LoadShaderRefusesUnknownTargetsAndMissingFiles) {
    test::LocalShaderManager local(true, true);
    ShaderManager& m = local.manager;
    EXPECT_EQ(m.loadShader(GL_TEXTURE_2D, testFile("vertexOnly.vp").c_str()), 0);
    EXPECT_EQ(m.loadShader(GL_VERTEX_PROGRAM_ARB, testFile("none.vp").c_str()), 0);
    EXPECT_EQ(m.loadShader(GL_VERTEX_PROGRAM_ARB, nullptr), 0);
    EXPECT_EQ(m.shaders.size, 1u);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(ShaderManagerGL, ShadingPathsSwitchedOffLoadNothingAndRegisterNothing) {
    auto listed = [](ShaderManager* m) {
        for (const auto& list : PluginManager::getInstance()->phases)
            if (std::find(list.begin(), list.end(), m) != list.end())
                return true;
        return false;
    };
    {
        test::LocalShaderManager off(false, false);
        ShaderManager& m = off.manager;
        EXPECT_FALSE(m.available);
        EXPECT_FALSE(listed(&m));
        EXPECT_EQ(m.loadShader(GL_VERTEX_PROGRAM_ARB, testFile("vertexOnly.vp").c_str()), 0);
        EXPECT_EQ(m.loadShader(GL_VERTEX_SHADER_ARB, testFile("vertexOnly.vert").c_str()), 0);
        EXPECT_EQ(m.loadProgram(testFile("placed.vp").c_str(), testFile("tinted.fp").c_str(), kProgramAsm),
                  0);
        EXPECT_EQ(
            m.loadProgram(testFile("placed.vert").c_str(), testFile("tinted.frag").c_str(), kProgramGLSL), 0);
        EXPECT_EQ(m.loadVertexProgram(testFile("vertexOnly.vp").c_str(), kProgramAsm), 0);
        EXPECT_EQ(m.loadVertexProgram(testFile("vertexOnly.vert").c_str(), kProgramGLSL), 0);
        EXPECT_EQ(m.programs.size, 1u);
    }
    {
        test::LocalShaderManager asmOnly(true, false);
        ShaderManager& m = asmOnly.manager;
        EXPECT_TRUE(m.available);
        EXPECT_TRUE(listed(&m)) << "one path is enough to be a plug-in";
        EXPECT_EQ(m.phaseMask, kPhaseOverlay);
        EXPECT_EQ(m.loadShader(GL_VERTEX_SHADER_ARB, testFile("vertexOnly.vert").c_str()), 0);
        EXPECT_EQ(
            m.loadProgram(testFile("placed.vert").c_str(), testFile("tinted.frag").c_str(), kProgramGLSL), 0);
        EXPECT_EQ(m.loadVertexProgram(testFile("vertexOnly.vert").c_str(), kProgramGLSL), 0);
        EXPECT_EQ(m.loadShader(GL_VERTEX_PROGRAM_ARB, testFile("vertexOnly.vp").c_str()), 1);
    }
    ShaderManager* shared = ShaderManager::getInstance();
    EXPECT_TRUE(shared->available && shared->asmSupported && shared->glslSupported);
    EXPECT_TRUE(listed(shared));
}

TEST_F(ShaderManagerGL, ShutdownDeletesEveryGPUObject) {
    GLuint asmId = 0;
    GLhandleARB shaderHandle = 0;
    {
        test::LocalShaderManager local(true, true);
        ShaderManager& m = local.manager;
        int asmShader = m.loadShader(GL_VERTEX_PROGRAM_ARB, testFile("vertexOnly.vp").c_str());
        int glslShader = m.loadShader(GL_VERTEX_SHADER_ARB, testFile("vertexOnly.vert").c_str());
        ASSERT_GT(asmShader, 0);
        ASSERT_GT(glslShader, 0);
        asmId = GLuint(m.shaders[unsigned(asmShader)].programId);
        shaderHandle = m.shaders[unsigned(glslShader)].handle;
        EXPECT_TRUE(glIsProgramARB(asmId));
        EXPECT_TRUE(glIsShader(shaderHandle));
    }
    EXPECT_FALSE(glIsProgramARB(asmId));
    EXPECT_FALSE(glIsShader(shaderHandle));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(ShaderManagerGL, VarRegistersBeyondTheLocalParametersFailToLoad) {
    GLint limit = 0;
    glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_LOCAL_PARAMETERS_ARB, &limit);
    ASSERT_GT(limit, 1);
    auto source = [](const std::string& resource) {
        return "!!ARBfp1.0\n#var float4 far :  : " + resource +
               " : 1 : 1\nMOV result.color, fragment.color;\nEND\n";
    };
    const std::string last = std::to_string(limit - 1);
    const struct {
        std::string resource;
        bool loads;
    } cases[] = {
        {"c[2147483647]", false},      {"c[" + std::to_string(limit) + "]", false},
        {"c[" + last + "], 2", false}, {"c[1], 2147483647", false},
        {"c[" + last + "]", true},     {"c[0], " + std::to_string(limit), true},
    };
    for (const auto& c : cases) {
        try {
            int shader =
                manager->createAsmShader(GL_FRAGMENT_PROGRAM_ARB, String(source(c.resource).c_str()));
            EXPECT_TRUE(c.loads) << c.resource;
            EXPECT_GT(shader, 0) << c.resource;
        } catch (const Exception& e) {
            EXPECT_FALSE(c.loads) << c.resource;
            const std::string message = e.message.c_str();
            EXPECT_EQ(message.rfind("Shader Load Error\n", 0), 0u) << message;
            EXPECT_GT(message.size(), std::string("Shader Load Error\n").size()) << "a reason follows";
            EXPECT_STREQ(e.function.c_str(), "Vantor::ShaderManager::createAsmShader");
            EXPECT_STREQ(e.file.c_str(), "source\\modules\\ShaderManager\\ShaderManager");
            EXPECT_EQ(e.line, 273);
        }
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << c.resource;
    }

    // Offsets that would carry a register past the int range set nothing.
    int index = asmProgram(passThroughVertex, source("c[" + last + "]").c_str());
    ProgramObject& p = program(index);
    ASSERT_EQ(p.getParamLocation("far"), kLocationInShaders);
    EXPECT_EQ(p.shaderLocation[1], limit - 1);
    EXPECT_FALSE(p.setLocalParam(kLocationInShaders, 1, 2, 3, 4, INT_MAX));
    EXPECT_FALSE(p.setLocalParam(INT_MAX, 1, 2, 3, 4, 1));
    EXPECT_FALSE(p.setLocalParam(0, 1, 2, 3, 4, INT_MIN));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(ShaderManagerGL, GLSLUploadThatRaisesAGLErrorThrowsFromBind) {
    int index = loadPair(kProgramGLSL);
    ASSERT_GT(index, 0);
    // "tint" is a vec4 in the shader; uploading a matrix to it is refused by GL.
    db->registerProgramParam(index, "tint", kParamMatrix);
    try {
        program(index).bind();
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.message.c_str()).rfind("GL Error\n", 0), 0u) << e.message.c_str();
        EXPECT_STREQ(e.function.c_str(), "Vantor::ProgramObject::bind");
        EXPECT_STREQ(e.file.c_str(), "source\\modules\\ShaderManager\\ProgramObject");
        EXPECT_EQ(e.line, 69);
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << "the error was reported, not left for the main loop";
}
