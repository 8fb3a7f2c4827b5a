// Shadow volumes on a real context: a box floating over a floor, lit from
// above by a point light, rendered with the depth-fail stencil passes of the
// per-light scene pass. The floor must come out dark where the box shadows it
// and lit elsewhere, seen from above and from a camera inside the volume,
// through buffer objects and through client memory; drawing leaves no buffer
// bound and the vertex array off.
#include "Core/VBOManager.h"
#include "modules/model/ShadowVolume.h"

#include "GLFixture.h"
#include "ShadowMeshSample.h"
#include "TestMath.h"

#include <gtest/gtest.h>

using namespace Vantor;
using Vantor::test::RGBA;

namespace {

constexpr int kViewSize = 128;
const Vector3 kBoxMin(-50, 100, -50);
const Vector3 kBoxMax(50, 200, 50);
constexpr float kFloorHalf = 1000.0f;
const Vector4 kLight(200, 500, 0, 1);
constexpr float kAmbient = 0.1f;
constexpr float kLit = 0.7f;
// Red channel bounds: ambient alone is about 26, ambient plus light about 204.
constexpr int kDarkBelow = 60;
constexpr int kLitAbove = 150;

class ShadowVolumeGL : public test::GLFixture, public ::testing::WithParamInterface<bool> {
protected:
    ShadowVolumeGL() : GLFixture(kViewSize, kViewSize) {}

    void SetUp() override {
        GLFixture::SetUp();
        if (HasFatalFailure())
            return;
        static const GLenum loaded = glewInit();
        ASSERT_EQ(loaded, GLenum(GLEW_OK));
        ASSERT_TRUE(GLEW_ARB_vertex_buffer_object);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
        glShadeModel(GL_FLAT);
        box = test::box(kBoxMin, kBoxMax, true);
        mesh.build(box.triangles, box.vertices);
    }

    void TearDown() override { EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)); }

    // Updates and builds the volume for the light, through buffer objects
    // when the test's parameter asks for them.
    void prepare(ShadowVolume& volume, const Vector3& eye) {
        VBOManager* manager = VBOManager::getInstance();
        const bool wasEnabled = manager->enabled;
        manager->enabled = wasEnabled && GetParam();
        volume.update(kBoxMin, kBoxMax, Matrix4(), ShadowLight{kLight, 0.0f, 0}, eye);
        ASSERT_TRUE(volume.active);
        volume.rebuild(mesh, false);
        manager->enabled = wasEnabled;
        if (GetParam())
            ASSERT_NE(volume.indexBuffer, 0u) << "the VBOManager was created before the GL context";
        else
            ASSERT_EQ(volume.indexBuffer, 0u);
    }

    void setCamera(const Vector3& eye, const Vector3& target, const Vector3& up, float nearPlane,
                   float halfAngleTangent) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        const float h = nearPlane * halfAngleTangent;
        glFrustum(-h, h, -h, h, nearPlane, 100000.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixf(test::lookAt(eye, target, up).m);
    }

    // Floor and box in one flat colour, with the depth test on.
    void drawScene(float brightness) const {
        glColor3f(brightness, brightness, brightness);
        glBegin(GL_TRIANGLES);
        const float f = kFloorHalf;
        const float floorCorners[6][3] = {{-f, 0, -f}, {-f, 0, f}, {f, 0, f},
                                          {-f, 0, -f}, {f, 0, f},  {f, 0, -f}};
        for (const auto& c : floorCorners)
            glVertex3fv(c);
        for (const Triangle& t : box.triangles)
            for (int v : t.v)
                glVertex3fv(&box.vertices[unsigned(v)].position.x);
        glEnd();
    }

    // The ambient pass, the volume's depth-fail and depth-pass stages into
    // the stencil buffer, then the additive lit pass where the stencil is 0.
    void render(ShadowVolume& volume) const {
        glClearColor(0, 0, 0, 1);
        glClearStencil(0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glDepthMask(GL_TRUE);
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        drawScene(kAmbient);

        glDepthMask(GL_FALSE);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glStencilFunc(GL_ALWAYS, 0, 255);
        glEnable(GL_STENCIL_TEST);
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(0, 10);
        glCullFace(GL_FRONT);
        glStencilOp(GL_KEEP, GL_INCR, GL_KEEP);
        volume.draw(true);
        glCullFace(GL_BACK);
        glStencilOp(GL_KEEP, GL_DECR, GL_KEEP);
        volume.draw(true);
        glCullFace(GL_BACK);
        glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
        volume.draw(false);
        glCullFace(GL_FRONT);
        glStencilOp(GL_KEEP, GL_KEEP, GL_DECR);
        volume.draw(false);

        glCullFace(GL_BACK);
        glDepthMask(GL_TRUE);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glStencilFunc(GL_EQUAL, 0, 255);
        glDisable(GL_POLYGON_OFFSET_FILL);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
        drawScene(kLit);
        glDisable(GL_BLEND);
        glDisable(GL_STENCIL_TEST);
        glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
    }

    // The red channel of the pixel where world point p lands.
    int redAt(const Vector3& p) const {
        float projection[16], modelview[16];
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
        int px = -1, py = -1;
        EXPECT_TRUE(test::worldToPixel(Matrix4(projection), Matrix4(modelview), p, width(), height(), px, py))
            << px << ", " << py;
        return readPixel(px, py).r;
    }

    static bool bound(GLenum binding) {
        GLint name = -1;
        glGetIntegerv(binding, &name);
        return name != 0;
    }

    test::MeshData box;
    ShadowMesh mesh;
};

} // namespace

TEST_P(ShadowVolumeGL, FloorIsDarkOnlyInTheBoxShadowSeenFromAbove) {
    const Vector3 eye(0, 1200, 0);
    setCamera(eye, {0, 0, 0}, {0, 0, -1}, 10.0f, 0.577f);
    ShadowVolume volume;
    prepare(volume, eye);
    render(volume);
    ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // The shadow falls towards -x, beyond the box's outline seen from above.
    EXPECT_LT(redAt({-130, 0, 0}), kDarkBelow);
    EXPECT_LT(redAt({-190, 0, 20}), kDarkBelow);
    EXPECT_GT(redAt({300, 0, 0}), kLitAbove);
    EXPECT_GT(redAt({-130, 0, 300}), kLitAbove);
    EXPECT_GT(redAt({-400, 0, 0}), kLitAbove);
    EXPECT_GT(redAt({0, 200, 0}), kLitAbove) << "box top";

    EXPECT_FALSE(bound(GL_ARRAY_BUFFER_BINDING_ARB));
    EXPECT_FALSE(bound(GL_ELEMENT_ARRAY_BUFFER_BINDING_ARB));
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
}

TEST_P(ShadowVolumeGL, CameraInsideTheVolumeStillSeesTheShadowEdge) {
    // Between the box and the floor, inside the shadow, looking along it
    // towards where it ends on the floor.
    const Vector3 eye(-100, 50, 0);
    setCamera(eye, {-400, 0, 0}, {0, 1, 0}, 1.0f, 1.0f);
    ShadowVolume volume;
    prepare(volume, eye);
    render(volume);
    ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    EXPECT_LT(redAt({-150, 0, 0}), kDarkBelow);
    EXPECT_LT(redAt({-190, 0, 10}), kDarkBelow);
    EXPECT_GT(redAt({-350, 0, 0}), kLitAbove);
    EXPECT_GT(redAt({-300, 0, 150}), kLitAbove);
}

INSTANTIATE_TEST_SUITE_P(Paths, ShadowVolumeGL, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& path) {
                             return path.param ? "BufferObjects" : "ClientMemory";
                         });
