// Shadow volumes on a real context: a box floating over a floor, lit from
// above by a point light, rendered with the depth-fail stencil passes of the
// per-light scene pass. The floor must come out dark where the box shadows it
// and lit elsewhere, seen from above and from a camera inside the volume,
// through buffer objects and through client memory; drawing leaves no buffer
// bound and the vertex array off.
#include "Core/VBOManager.h"
#include "modules/model/ShadowVolume.h"

#include "GLFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <utility>
#include <vector>

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

Vertex vertexAt(const Vector3& p) {
    Vertex v;
    v.position = p;
    return v;
}

// The box with 8 shared corners and 12 counter-clockwise triangles, outward normals.
void buildBox(ArrayList<Vertex>& vertices, ArrayList<Triangle>& triangles) {
    std::map<std::vector<float>, int> corners;
    for (int axis = 0; axis < 3; ++axis)
        for (int sign = -1; sign <= 1; sign += 2) {
            int u = (axis + 1) % 3, v = (axis + 2) % 3;
            if (sign < 0)
                std::swap(u, v);
            const int su[4] = {-1, 1, 1, -1}, sv[4] = {-1, -1, 1, 1};
            int idx[4];
            for (int k = 0; k < 4; ++k) {
                float c[3];
                c[axis] = sign > 0 ? (&kBoxMax.x)[axis] : (&kBoxMin.x)[axis];
                c[u] = su[k] > 0 ? (&kBoxMax.x)[u] : (&kBoxMin.x)[u];
                c[v] = sv[k] > 0 ? (&kBoxMax.x)[v] : (&kBoxMin.x)[v];
                const std::vector<float> key{c[0], c[1], c[2]};
                const auto found = corners.find(key);
                if (found == corners.end()) {
                    corners[key] = int(vertices.size);
                    vertices.add(vertexAt(Vector3(c[0], c[1], c[2])));
                }
                idx[k] = corners[key];
            }
            const int order[2][3] = {{0, 1, 2}, {0, 2, 3}};
            for (const auto& o : order) {
                Triangle t;
                for (int k = 0; k < 3; ++k)
                    t.v[k] = idx[o[k]];
                const Vector3& a = vertices[unsigned(t.v[0])].position;
                t.normal =
                    cross(vertices[unsigned(t.v[1])].position - a, vertices[unsigned(t.v[2])].position - a);
                t.normal.normalize();
                triangles.add(t);
            }
        }
}

// A view matrix looking from eye at target.
Matrix4 lookAt(const Vector3& eye, const Vector3& target, const Vector3& up) {
    Vector3 f = target - eye;
    f.normalize();
    Vector3 s = cross(f, up);
    s.normalize();
    const Vector3 u = cross(s, f);
    Matrix4 m;
    m.m[0] = s.x, m.m[4] = s.y, m.m[8] = s.z;
    m.m[1] = u.x, m.m[5] = u.y, m.m[9] = u.z;
    m.m[2] = -f.x, m.m[6] = -f.y, m.m[10] = -f.z;
    m.m[12] = -dot(s, eye);
    m.m[13] = -dot(u, eye);
    m.m[14] = dot(f, eye);
    return m;
}

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
        buildBox(boxVertices, boxTriangles);
        mesh.build(boxTriangles, boxVertices);
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
        glLoadMatrixf(lookAt(eye, target, up).m);
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
        for (const Triangle& t : boxTriangles)
            for (int v : t.v)
                glVertex3fv(&boxVertices[unsigned(v)].position.x);
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
        const Matrix4 clip = Matrix4(projection) * Matrix4(modelview);
        const float* m = clip.m;
        const float x = m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12];
        const float y = m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13];
        const float w = m[3] * p.x + m[7] * p.y + m[11] * p.z + m[15];
        EXPECT_GT(w, 0.0f);
        const int px = int((x / w * 0.5f + 0.5f) * float(width()));
        const int py = int((y / w * 0.5f + 0.5f) * float(height()));
        EXPECT_TRUE(px >= 0 && px < width() && py >= 0 && py < height()) << px << ", " << py;
        return readPixel(px, py).r;
    }

    static bool bound(GLenum binding) {
        GLint name = -1;
        glGetIntegerv(binding, &name);
        return name != 0;
    }

    ArrayList<Vertex> boxVertices;
    ArrayList<Triangle> boxTriangles;
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
