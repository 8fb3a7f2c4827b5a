// Models loaded through the GL edge: the file's materials and textures join
// the shared tables (or the load fails when they have no room), meshes draw
// through their materials in the three modes, and skinned meshes bend with
// their bones alike on the CPU and in the shipped skinning vertex program.
#include "../ShaderManager/ShaderTestSupport.h"
#include "ShadowMeshSample.h"
#include "TestMath.h"
#include "V3DSample.h"

#include "Core/textures/TextureManager.h"
#include "modules/Material/MaterialManager.h"
#include "Core/WinAppFramework/Exception.h"
#include "modules/model/ModelManager.h"
#include "modules/occlusion/OcclusionCuller.h"

#include <cstdio>
#include <string>

#include <cmath>
#include <cstdlib>

using namespace Vantor;

namespace {

constexpr float kHalfWidth = 0.12f;
constexpr float kStripEnd = 0.8f;

// Bone 0 at the origin with bone 1 as its child at the same place, and a
// vertical strip from y -0.8 to 0.8: its bottom row follows bone 0, its top
// row bone 1 and its middle row both equally.
V3DContent makeStrip() {
    V3DContent content;
    Mesh lower;
    lower.id = 0;
    lower.visible = false;
    lower.materialIndex = -1;
    Mesh upper;
    upper.id = 1;
    upper.visible = false;
    upper.materialIndex = -1;
    Mesh strip;
    strip.id = 2;
    strip.flags = kMeshSkinned;
    strip.materialIndex = -1;
    const float rows[3] = {-kStripEnd, 0.0f, kStripEnd};
    const float upperWeight[3] = {0.0f, 0.5f, 1.0f};
    for (int r = 0; r < 3; ++r) {
        for (float x : {-kHalfWidth, kHalfWidth}) {
            strip.vertices.add(test::makeVertex(x, rows[r], 0, 0, 0));
            SkinVertex skin;
            skin.influences.add(test::influence(1, upperWeight[r]));
            skin.influences.add(test::influence(0, 1.0f - upperWeight[r]));
            skin.influences.add(test::influence(0, 0.0f));
            skin.influences.add(test::influence(0, 0.0f));
            skin.vertexRefs.add(int(strip.vertices.size) - 1);
            strip.skinVertices.add(skin);
        }
    }
    for (int r = 0; r < 2; ++r) {
        const int base = 2 * r;
        strip.triangles.add(test::makeTriangle(base, base + 1, base + 3));
        strip.triangles.add(test::makeTriangle(base, base + 3, base + 2));
    }
    upper.children.add(strip);
    lower.children.add(upper);
    content.roots.add(lower);
    return content;
}

class SkinnedStrip : public test::ShaderGL {
protected:
    void SetUp() override {
        test::ShaderGL::SetUp();
        if (HasFatalFailure())
            return;
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        const float towardsViewer[4] = {0, 0, 1, 0};
        const float white[4] = {1, 1, 1, 1};
        const float black[4] = {0, 0, 0, 1};
        glLightfv(GL_LIGHT0, GL_POSITION, towardsViewer);
        glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
        glLightfv(GL_LIGHT0, GL_AMBIENT, black);
        glLightfv(GL_LIGHT0, GL_SPECULAR, black);
        // The skinning program's path turns texturing on: no texture of an earlier test may show.
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    void TearDown() override {
        glDisable(GL_LIGHTING);
        glDisable(GL_LIGHT0);
    }

    void load(Model& model, int skinProgram) {
        const ArrayList<unsigned char> bytes = test::writeBytes(makeStrip());
        ByteReader reader(bytes.data + kV3DSignatureLength, bytes.size - kV3DSignatureLength);
        ASSERT_TRUE(model.read(reader, skinProgram)) << reader.faultText().c_str();
        model.addInstance();
    }

    // Turns the upper bone by degrees about z and draws the model.
    void drawBent(Model& model, float degrees) {
        const float half = degrees * 3.14159265f / 360.0f;
        model.meshes[1]->setKey(test::makeKey(std::cos(half), 0, 0, std::sin(half), 0, 0, 0));
        model.update(false);
        model.skin();
        clear();
        model.render(kRenderAmbient, -1, 0, true);
        ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    bool covered(int x, int y) { return readPixel(x, y).r > test::kClearGrey + 40; }

    std::vector<test::RGBA> frame() {
        std::vector<test::RGBA> pixels;
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x)
                pixels.push_back(readPixel(x, y));
        return pixels;
    }
};

TEST_F(SkinnedStrip, BendsWhenTheUpperBoneTurns) {
    Model model;
    load(model, 0);
    ASSERT_FALSE(model.meshes[2]->hardwareSkinning);
    // Pixel (32, 32) is the joint; the strip's top reaches y = 32 + 0.8 * 32.
    drawBent(model, 0.0f);
    EXPECT_TRUE(covered(32, 52));
    EXPECT_TRUE(covered(32, 12));
    EXPECT_FALSE(covered(12, 32));
    drawBent(model, 90.0f);
    EXPECT_FALSE(covered(32, 52)) << "the top has turned away";
    EXPECT_TRUE(covered(12, 32)) << "it lies to the left now";
    EXPECT_TRUE(covered(32, 12)) << "the lower half stays";
    EXPECT_FALSE(covered(52, 32));
}

TEST_F(SkinnedStrip, HardwareSkinningMatchesTheCPU) {
    const int program = manager->loadVertexProgram(test::shippedFile("shaders\\skinning.vp").c_str(), kProgramAsm);
    ASSERT_GT(program, 0);
    Model onCPU, onGPU;
    load(onCPU, 0);
    load(onGPU, program);
    ASSERT_TRUE(onGPU.meshes[2]->hardwareSkinning);
    for (float degrees : {0.0f, 45.0f, 120.0f}) {
        drawBent(onCPU, degrees);
        const std::vector<test::RGBA> cpu = frame();
        drawBent(onGPU, degrees);
        const std::vector<test::RGBA> gpu = frame();
        int covering = 0, differing = 0;
        for (size_t i = 0; i < cpu.size(); ++i) {
            covering += cpu[i].r > test::kClearGrey + 40;
            const int d = std::abs(cpu[i].r - gpu[i].r) + std::abs(cpu[i].g - gpu[i].g) + std::abs(cpu[i].b - gpu[i].b);
            differing += d > 3 * test::kChannelTolerance;
        }
        EXPECT_GT(covering, 150) << degrees;
        // Rasterisation of the two paths may differ along the strip's edges only.
        EXPECT_LE(differing, 6) << degrees;
    }
    EXPECT_FALSE(isOn(GL_VERTEX_PROGRAM_ARB)) << "the program is unbound after drawing";
}

class LoadedSample : public test::ShaderGL {
protected:
    void TearDown() override { MaterialManager::getInstance()->reset(); }

    static bool load(Model& model, const V3DContent& content) {
        const ArrayList<unsigned char> bytes = test::writeBytes(content);
        ByteReader reader(bytes.data + kV3DSignatureLength, bytes.size - kV3DSignatureLength);
        return model.read(reader, 0);
    }
};

TEST_F(LoadedSample, MaterialsAndTexturesJoinTheSharedTables) {
    MaterialManager* materials = MaterialManager::getInstance();
    TextureManager* textures = TextureManager::getInstance();
    const int texturesBefore = textures->count;
    Model model;
    ASSERT_TRUE(load(model, test::makeSampleModel()));
    ASSERT_EQ(materials->materialCount, 2);
    EXPECT_EQ(textures->count, texturesBefore + 2);
    ASSERT_EQ(model.materials.size, 2u);
    EXPECT_EQ(model.materials[1], &materials->materials[1]);
    EXPECT_EQ(materials->materials[1].textures[1].texture, &textures->textures[texturesBefore + 1]);
    EXPECT_EQ(model.meshes[0]->material, model.materials[0]);
    EXPECT_EQ(model.meshes[1]->material, nullptr);
    // The skinned mesh's material has a normal map: its array carries tangents and binormals.
    ASSERT_TRUE(model.meshes[2]->needsTangents);
    EXPECT_EQ(model.meshes[2]->vertexArray->texSize[kTangentSet], 3);
    EXPECT_EQ(model.meshes[0]->vertexArray->texSize[kTangentSet], 0);
    EXPECT_TRUE(model.hasSkinned);
    EXPECT_EQ(model.meshes[1]->vertexArray.get(), nullptr) << "bones have no geometry";
}

TEST_F(LoadedSample, AFileTheTablesCannotHoldAddsNothing) {
    MaterialManager* materials = MaterialManager::getInstance();
    Material filler;
    while (materials->freeSlots() > 1)
        materials->add(filler);
    const int texturesBefore = TextureManager::getInstance()->count;
    Model model;
    EXPECT_FALSE(load(model, test::makeSampleModel()));
    EXPECT_EQ(materials->freeSlots(), 1);
    EXPECT_EQ(TextureManager::getInstance()->count, texturesBefore);
    EXPECT_EQ(model.meshes.size, 0u);
}

TEST_F(LoadedSample, ModesChooseWhatIsDrawnAndHowIsStated) {
    V3DContent content = test::makeSampleModel();
    content.roots[0].bindKey = test::makeKey(1, 0, 0, 0, 0, 0, 0);
    content.roots[0].children.remove(1);
    content.roots[0].flags |= kMeshColourMaterial;
    Model model;
    ASSERT_TRUE(load(model, content));
    model.addInstance();
    const int lit = model.meshes[0]->flags;
    ASSERT_TRUE(lit & kMeshLitPerLight);
    const int unlit = lit & ~kMeshLitPerLight, unlitInBase = unlit | kMeshUnlitInBasePass;
    struct Case {
        int flags, mode, light;
        bool drawn;
    };
    // Lit per light: drawn in the per-light and depth passes, not in the ambient
    // pass. Not lit: only in the ambient pass, or whole in the base pass (light
    // -1) when the mesh asks for it.
    const Case cases[] = {
        {lit, kRenderPerLight, -1, true},          {lit, kRenderAmbient, -1, false},
        {lit, kRenderPositionsOnly, -1, true},     {lit | kMeshUnlitInBasePass, kRenderAmbient, -1, false},
        {unlit, kRenderPerLight, -1, false},       {unlit, kRenderAmbient, -1, true},
        {unlitInBase, kRenderPerLight, -1, true},  {unlitInBase, kRenderPerLight, 0, false},
        {unlitInBase, kRenderAmbient, -1, false},
    };
    for (const Case& c : cases) {
        model.meshes[0]->flags = c.flags;
        clear();
        glColor4f(1, 1, 1, 1);
        Model::drawnTriangles = Model::totalTriangles = 0;
        // Uploading the file's textures left texturing on; positions-only drawing keeps what it finds.
        glDisable(GL_TEXTURE_2D);
        model.render(c.mode, c.light, c.light < 0 ? 0 : 1, true);
        ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        const test::RGBA centre = readPixel(32, 32);
        const test::RGBA background{128, 128, 128, 255};
        EXPECT_EQ(centre != background, c.drawn) << c.flags << " " << c.mode << " " << c.light << " " << centre;
        EXPECT_EQ(Model::totalTriangles, 2);
        if (c.mode == kRenderPerLight && c.drawn) {
            // Colour material with the mesh colour, texturing off: exactly the file's colour.
            EXPECT_TRUE(test::near(centre, 51, 102, 153));
        }
        if (c.mode == kRenderPositionsOnly) {
            // No material and no attribute push: the current colour is left as it was.
            EXPECT_TRUE(test::near(centre, 255, 255, 255));
        }
    }
}

TEST_F(LoadedSample, PolygonCountersSumTheFilesTriangleCountsInvisibleMeshesIncluded) {
    V3DContent content = test::makeSampleModel();
    content.roots[0].children.remove(1);
    // The invisible bone's record counts three triangles that the file leaves out.
    Mesh& bone = content.roots[0].children[0];
    ASSERT_FALSE(bone.visible);
    bone.triangles.resize(3);
    Model model;
    ASSERT_TRUE(load(model, content));
    model.addInstance();
    Model::drawnTriangles = Model::totalTriangles = 0;
    model.render(kRenderPerLight, -1, 0, true);
    EXPECT_EQ(Model::totalTriangles, 5);
    EXPECT_EQ(Model::drawnTriangles, 5);
}

TEST_F(LoadedSample, TheCacheHandsOutIndicesAndPlaysMotions) {
    V3DContent content = test::makeSampleModel();
    Motion eight;
    MotionTrack track;
    track.meshId = 1;
    for (int k = 0; k < 8; ++k)
        track.keys.add(test::makeKey(1, 0, 0, 0, float(k), 0, 0));
    eight.tracks.add(track);
    content.motions[0] = eight;
    const std::string path = ::testing::TempDir() + "cached.v3d";
    const ArrayList<unsigned char> bytes = test::writeBytes(content);
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data, 1, bytes.size, file);
    std::fclose(file);

    ModelManager* cache = ModelManager::getInstance();
    const unsigned before = cache->models.size;
    ModelRef first = cache->load(path.c_str(), 0);
    ModelRef second = cache->load(path.c_str(), 0);
    EXPECT_EQ(first.modelIndex, int(before));
    EXPECT_EQ(second.modelIndex, int(before) + 1);
    EXPECT_EQ(first.instanceIndex, 0);
    if (before == 1) {
        EXPECT_EQ(first.modelIndex, 1) << "index 0 is the placeholder";
    }

    // Two references to one model: resolving each selects its instance.
    ModelRef other = first;
    other.instanceIndex = cache->getModel(first)->addInstance();
    EXPECT_EQ(cache->resolve(other)->currentInstance, 1);
    EXPECT_EQ(cache->resolve(first)->currentInstance, 0);

    // A player that does not loop finishes when its time reaches frame 7 of 8.
    AnimationPlayer* player = first.player();
    EXPECT_TRUE(cache->advance(*player, 3.0f / 30.0f, true));
    EXPECT_FLOAT_EQ(cache->getModel(first)->meshes[1]->currentKey.translation.x, 3.0f);
    EXPECT_TRUE(cache->advance(*player, 3.9f / 30.0f, true));
    EXPECT_FALSE(cache->advance(*player, 0.2f / 30.0f, true));
    EXPECT_TRUE(player->finished && player->stopped);
    EXPECT_FLOAT_EQ(player->time, 0.0f);

    try {
        cache->load("missing.v3d", 0);
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.message.c_str(), "Error Loading Model: \n    missing.v3d");
        EXPECT_EQ(e.line, 27);
    }
    EXPECT_EQ(cache->models.size, before + 2);
}

// A model of one closed box, casting shadows (the city's occluders are such meshes).
V3DContent boxModel(const Vector3& lo, const Vector3& hi) {
    test::MeshData data = test::box(lo, hi, true);
    Mesh mesh;
    mesh.flags = kMeshCastsShadows;
    mesh.materialIndex = -1;
    mesh.vertices = data.vertices;
    mesh.triangles = data.triangles;
    mesh.boxMin = lo;
    mesh.boxMax = hi;
    V3DContent content;
    content.roots.add(mesh);
    return content;
}

TEST_F(LoadedSample, ABuildingHiddenBehindAnotherIsCulledAndNotCounted) {
    // A big near box in front of a small far one, both on the view axis.
    Model front, back;
    ASSERT_TRUE(load(front, boxModel({-400, -400, -1900}, {400, 400, -1100})));
    ASSERT_TRUE(load(back, boxModel({-50, -50, -3100}, {50, 50, -3000})));
    OcclusionCuller culler;
    culler.setSize(600, 300);
    culler.scaleX = 300;
    culler.scaleY = 150;
    culler.minBoxSize = 64;
    for (Model* model : {&front, &back}) {
        model->addInstance();
        model->instance()->flags = kInstanceCullTest;
        model->instance()->occlusion = &culler;
        model->meshes[0]->currentInstance()->occluder = true;
    }
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(test::perspective(60, 1, 50, 20000).m);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    for (bool enabled : {true, false}) {
        culler.enabled = enabled;
        culler.beginFrameFromGL(50, 20000);
        Model::drawnTriangles = Model::totalTriangles = 0;
        front.render(kRenderPositionsOnly, -1, 0, false);
        back.render(kRenderPositionsOnly, -1, 0, false);
        ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        EXPECT_EQ(Model::totalTriangles, 24);
        // Culled as a whole, the hidden model counts 1 drawn triangle.
        EXPECT_EQ(Model::drawnTriangles, enabled ? 13 : 24) << "culling " << enabled;
        EXPECT_EQ(back.instance()->occluded, enabled);
        EXPECT_GT(culler.occluderPolygons, enabled ? 0 : -1);
    }
}

} // namespace
