// A small lit scene built with the V3D writer, for the scene's GL tests and
// its render benchmark: a floor, two boxes and an animated skinned figure,
// two shadow-casting point lights of different colours, and the two GPU
// programs of its materials: one adds one light's colour per light pass, the
// other shows the ambient pass's light.
//
// Everything sits on the floor plane y = 0 with y up, and every static mesh
// is written in world coordinates (identity keys), so that where a shadow
// falls is a ray-box question the tests can answer on the CPU. The camera
// looks straight down from above; +x is right on screen and -z is up.
//
// Mesh flags, and why:
// - floor: lit per light (bit 5), no shadows of its own. Being lit per light,
//   it is drawn in the base pass (its colour, the light-independent level)
//   and in every light's additive pass inside that light's stencil test, so
//   the shadows of both lights show on it. The ambient pass skips it.
// - boxes, torso, hand: cast shadows (bit 4) and are lit per light (bit 5).
// - arm: skinned, not lit per light, so it is drawn by the ambient pass; it
//   casts no shadow (its connectivity would be that of the bind pose). Its
//   material's pass 0 program shows its colour times GL light 0's ambient
//   colour, which the ambient pass sets to the scene's ambient.
//
// The figure's motion turns the shoulder 3 degrees per frame about z, from
// the arm hanging down (frame 0) to pointing along +x (frame 30, one second
// of frame time) and on to 120 degrees (frame 40); the hand, a shadow-casting
// bone under the shoulder, moves with it. The motion has 41 frames, so a
// player that does not loop is still playing after one second.
#pragma once

#include "../../support/TestMath.h"
#include "../model/V3DSample.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace Vantor::test {

// The floor spans [-kFloorHalf, kFloorHalf] in x and z at y = 0.
constexpr float kFloorHalf = 400.0f;

const Box kSampleBoxes[2] = {
    {{-50, 0, -50}, {50, 100, 50}},
    {{100, 0, -330}, {160, 60, -270}},
};

// The figure: a torso box, the shoulder bone at its top right, the skinned
// arm hanging from the shoulder and a hand box under the arm.
const Box kTorso = {{185, 0, 240}, {215, 120, 260}};
const Vector3 kShoulder(215, 110, 250);
// The arm in the bind pose (model space): hanging down from the shoulder.
const Box kArmBind = {{215, 20, 244}, {227, 110, 256}};
// The hand's centre relative to the shoulder, and its half edge.
const Vector3 kHandOffset(7, -97, 0);
constexpr float kHandHalf = 7.0f;
constexpr int kMotionFrames = 41;
constexpr float kShoulderDegreesPerFrame = 3.0f;

// Light A (index 0) and light B (index 1, with a range); both cast shadows.
const Vector3 kLightA(-250, 400, -150);
const Vector3 kLightB(-250, 400, 150);
constexpr float kLightBRange = 1500.0f;
const float kDiffuseA[3] = {0.6f, 0.1f, 0.1f};
const float kDiffuseB[3] = {0.1f, 0.1f, 0.6f};
// The floor's own colour, drawn by the base pass.
constexpr float kFloorLevel = 0.2f;
// The scene's ambient colour (grey).
constexpr float kSceneAmbient = 0.6f;
const float kBoxColour[3] = {0.3f, 0.3f, 0.25f};
const float kArmColour[3] = {0.1f, 0.9f, 0.2f};

// The camera: straight down from kEye, with a symmetric frustum.
const Vector3 kEye(0, 1300, 0);
constexpr float kFrustumTangent = 0.35f;
constexpr float kNearPlane = 100.0f;
constexpr float kFarPlane = 4000.0f;

constexpr float kPi = 3.14159265358979f;

// The shoulder's rotation at motion frame k, in degrees about +z.
inline float shoulderDegrees(float frame) { return frame * kShoulderDegreesPerFrame; }

// The hand's box in world space with the shoulder turned by degrees.
inline Box handAt(float degrees) {
    const float a = degrees * kPi / 180.0f;
    const Vector3 c(kShoulder.x + kHandOffset.x * std::cos(a) - kHandOffset.y * std::sin(a),
                    kShoulder.y + kHandOffset.x * std::sin(a) + kHandOffset.y * std::cos(a), kShoulder.z);
    const Vector3 h(kHandHalf, kHandHalf, kHandHalf);
    // The box turns with the shoulder; its bounds grow by at most sqrt(2).
    const float grow = kHandHalf * (std::fabs(std::cos(a)) + std::fabs(std::sin(a)));
    const Vector3 g(grow, grow, kHandHalf);
    return {c - g, c + g};
}

// The arm's world box with the shoulder turned by degrees (bounds of the
// turned bind box).
inline Box armAt(float degrees) {
    const float a = degrees * kPi / 180.0f;
    Box box{{1e9f, 1e9f, kArmBind.min.z}, {-1e9f, -1e9f, kArmBind.max.z}};
    for (float x : {kArmBind.min.x, kArmBind.max.x})
        for (float y : {kArmBind.min.y, kArmBind.max.y}) {
            const float dx = x - kShoulder.x, dy = y - kShoulder.y;
            const float rx = kShoulder.x + dx * std::cos(a) - dy * std::sin(a);
            const float ry = kShoulder.y + dx * std::sin(a) + dy * std::cos(a);
            box.min.x = std::fmin(box.min.x, rx);
            box.min.y = std::fmin(box.min.y, ry);
            box.max.x = std::fmax(box.max.x, rx);
            box.max.y = std::fmax(box.max.y, ry);
        }
    return box;
}

// The camera's view matrix.
inline Matrix4 sampleView() { return lookAt(kEye, Vector3(0, 0, 0), Vector3(0, 0, -1)); }

// A quad of two triangles over four corners given in order around it,
// wound so that its face normal is normal.
inline void addFace(Mesh& mesh, const Vector3 (&c)[4], const Vector3& normal) {
    const int base = int(mesh.vertices.size);
    for (const Vector3& p : c) {
        Vertex v = makeVertex(p.x, p.y, p.z, 0, 0);
        v.normal = normal;
        mesh.vertices.add(v);
    }
    const bool flip = dot(cross(c[1] - c[0], c[2] - c[0]), normal) < 0.0f;
    Triangle first = makeTriangle(base, base + 1, base + 2);
    Triangle second = makeTriangle(base, base + 2, base + 3);
    for (Triangle* t : {&first, &second}) {
        if (flip) {
            const int keep = t->v[1];
            t->v[1] = t->v[2];
            t->v[2] = keep;
        }
        t->normal = normal;
        mesh.triangles.add(*t);
    }
}

// A closed box of six faces with outward normals (four vertices each; the
// shadow connectivity welds the shared corners).
inline void addBox(Mesh& mesh, const Vector3& lo, const Vector3& hi) {
    for (int axis = 0; axis < 3; ++axis)
        for (int sign = -1; sign <= 1; sign += 2) {
            const int u = (axis + 1) % 3, v = (axis + 2) % 3;
            float fixed[3];
            fixed[axis] = sign > 0 ? (&hi.x)[axis] : (&lo.x)[axis];
            Vector3 c[4];
            const float us[4] = {(&lo.x)[u], (&hi.x)[u], (&hi.x)[u], (&lo.x)[u]};
            const float vs[4] = {(&lo.x)[v], (&lo.x)[v], (&hi.x)[v], (&hi.x)[v]};
            for (int k = 0; k < 4; ++k) {
                float p[3];
                p[axis] = fixed[axis];
                p[u] = us[k];
                p[v] = vs[k];
                c[k] = Vector3(p[0], p[1], p[2]);
            }
            Vector3 normal(0, 0, 0);
            (&normal.x)[axis] = float(sign);
            addFace(mesh, c, normal);
        }
    mesh.boxMin = lo;
    mesh.boxMax = hi;
}

inline void setColour(Mesh& mesh, const float* rgb) {
    mesh.colour[0] = rgb[0];
    mesh.colour[1] = rgb[1];
    mesh.colour[2] = rgb[2];
    mesh.colour[3] = 1.0f;
}

// A material without textures; the scene description gives it its light pass.
inline Material plainMaterial(const char* name) {
    Material material;
    material.name = name;
    material.shininess = 1.0f;
    return material;
}

inline V3DContent makeFloorModel() {
    V3DContent content;
    Mesh floor;
    floor.id = 0;
    floor.flags = kMeshLitPerLight;
    floor.materialIndex = 0;
    floor.name = "floor";
    const float f = kFloorHalf;
    const Vector3 corners[4] = {{-f, 0, -f}, {f, 0, -f}, {f, 0, f}, {-f, 0, f}};
    addFace(floor, corners, Vector3(0, 1, 0));
    floor.boxMin = Vector3(-f, 0, -f);
    floor.boxMax = Vector3(f, 0, f);
    const float level[3] = {kFloorLevel, kFloorLevel, kFloorLevel};
    setColour(floor, level);
    content.roots.add(floor);
    content.materials.add(plainMaterial("sampleFloor"));
    return content;
}

// Both boxes as the two roots of one model.
inline V3DContent makeBoxesModel() {
    V3DContent content;
    for (int i = 0; i < 2; ++i) {
        Mesh box;
        box.id = i;
        box.flags = kMeshCastsShadows | kMeshLitPerLight;
        box.materialIndex = 0;
        box.name = i == 0 ? "box one" : "box two";
        addBox(box, kSampleBoxes[i].min, kSampleBoxes[i].max);
        setColour(box, kBoxColour);
        content.roots.add(box);
    }
    content.materials.add(plainMaterial("sampleBox"));
    return content;
}

// The figure: torso (id 0, root) with the shoulder bone (id 1) and the
// skinned arm (id 2) under it, and the hand (id 3) under the shoulder.
inline V3DContent makeFigureModel() {
    V3DContent content;

    Mesh torso;
    torso.id = 0;
    torso.flags = kMeshCastsShadows | kMeshLitPerLight;
    torso.materialIndex = 0;
    torso.name = "torso";
    addBox(torso, kTorso.min, kTorso.max);
    setColour(torso, kBoxColour);

    Mesh shoulder;
    shoulder.id = 1;
    shoulder.name = "shoulder";
    shoulder.visible = false;
    shoulder.materialIndex = -1;
    shoulder.bindKey = makeKey(1, 0, 0, 0, kShoulder.x, kShoulder.y, kShoulder.z);

    Mesh hand;
    hand.id = 3;
    hand.flags = kMeshCastsShadows | kMeshLitPerLight;
    hand.materialIndex = 0;
    hand.name = "hand";
    hand.bindKey = makeKey(1, 0, 0, 0, kHandOffset.x, kHandOffset.y, kHandOffset.z);
    addBox(hand, Vector3(-kHandHalf, -kHandHalf, -kHandHalf), Vector3(kHandHalf, kHandHalf, kHandHalf));
    setColour(hand, kBoxColour);
    shoulder.children.add(hand);

    // Every vertex of the arm follows the shoulder alone.
    Mesh arm;
    arm.id = 2;
    arm.flags = kMeshSkinned | kMeshColourMaterial;
    arm.materialIndex = 1;
    arm.name = "arm";
    addBox(arm, kArmBind.min, kArmBind.max);
    setColour(arm, kArmColour);
    for (unsigned v = 0; v < arm.vertices.size; ++v) {
        SkinVertex skin;
        skin.influences.add(influence(1, 1.0f));
        skin.influences.add(influence(0, 0.0f));
        skin.influences.add(influence(0, 0.0f));
        skin.influences.add(influence(0, 0.0f));
        skin.vertexRefs.add(int(v));
        arm.skinVertices.add(skin);
    }

    torso.children.add(shoulder);
    torso.children.add(arm);
    content.roots.add(torso);
    content.materials.add(plainMaterial("sampleFigure"));
    content.materials.add(plainMaterial("sampleArm"));

    Motion motion;
    MotionTrack swing;
    swing.meshId = 1;
    for (int k = 0; k < kMotionFrames; ++k) {
        const float half = shoulderDegrees(float(k)) * kPi / 360.0f;
        swing.keys.add(makeKey(std::cos(half), 0, 0, std::sin(half), kShoulder.x, kShoulder.y, kShoulder.z));
    }
    motion.tracks.add(swing);
    content.motions.add(motion);
    return content;
}

// The light pass's program: the light's diffuse colour, flat, wherever the
// surface faces the light; black elsewhere. The light is taken into eye
// space with "eyeModelview", so meshes may have any model matrix.
constexpr const char* kLightPassVertex = R"(// One light's flat colour on the surfaces that face it: vertex stage.
uniform vec4 lightPosition;
uniform mat4 eyeModelview;
varying float facing;

void main() {
    gl_Position = ftransform();
    vec4 eyeVertex = gl_ModelViewMatrix * gl_Vertex;
    vec4 eyeLight = eyeModelview * lightPosition;
    facing = dot(gl_NormalMatrix * gl_Normal, eyeLight.xyz - eyeVertex.xyz);
}
)";

// The ambient pass's program: the mesh colour times GL light 0's ambient.
constexpr const char* kAmbientPassVertex = R"(// The mesh colour in GL light 0's ambient light: vertex stage.
void main() {
    gl_Position = ftransform();
    gl_FrontColor = gl_Color;
}
)";

constexpr const char* kAmbientPassFragment = R"(// The mesh colour in GL light 0's ambient light: fragment stage.
void main() {
    gl_FragColor = vec4(gl_Color.rgb * gl_LightSource[0].ambient.rgb, 1.0);
}
)";

constexpr const char* kLightPassFragment = R"(// One light's flat colour on the surfaces that face it: fragment stage.
uniform vec4 lightDiffuse;
varying float facing;

void main() {
    gl_FragColor = facing > 0.0 ? vec4(lightDiffuse.rgb, 1.0) : vec4(0.0, 0.0, 0.0, 1.0);
}
)";

inline std::string lightElement(const Vector3& p, const float* diffuse, const char* extra) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "    <light castShadows=\"1\"%s>\n"
                  "      <position x=\"%g\" y=\"%g\" z=\"%g\" w=\"1\"/>\n"
                  "      <diffuse r=\"%g\" g=\"%g\" b=\"%g\" a=\"1\"/>\n"
                  "      <specular r=\"0\" g=\"0\" b=\"0\" a=\"1\"/>\n"
                  "    </light>\n",
                  extra, double(p.x), double(p.y), double(p.z), double(diffuse[0]), double(diffuse[1]),
                  double(diffuse[2]));
    return text;
}

// The start-up description: an "init" root holding the "scene" (ambient,
// two lights, three model files with backslash paths) and the
// "materialProperties" that give the lit materials their light pass and the
// arm its ambient pass.
inline std::string sampleDescription() {
    char ambient[160];
    std::snprintf(ambient, sizeof ambient, "    <ambient r=\"%g\" g=\"%g\" b=\"%g\" a=\"1\"/>\n", double(kSceneAmbient),
                  double(kSceneAmbient), double(kSceneAmbient));
    char range[64];
    std::snprintf(range, sizeof range, " range=\"%g\"", double(kLightBRange));
    std::string xml = "<init>\n  <scene>\n";
    xml += ambient;
    xml += lightElement(kLightA, kDiffuseA, "");
    xml += lightElement(kLightB, kDiffuseB, range);
    xml += "    <model filename=\"models\\floor.v3d\"/>\n"
           "    <model filename=\"models\\boxes.v3d\"/>\n"
           "    <model filename=\"models\\figure.v3d\"/>\n"
           "  </scene>\n"
           "  <materialProperties>\n"
           "    <shaders>\n"
           "      <shader name=\"lightPass\" vertex=\"shaders\\lightPass.vert\" fragment=\"shaders\\lightPass.frag\""
           " language=\"GLSL\">\n"
           "        <param name=\"lightPosition\" type=\"vector\"/>\n"
           "        <param name=\"lightDiffuse\" type=\"vector\"/>\n"
           "        <param name=\"eyeModelview\" type=\"matrix\"/>\n"
           "      </shader>\n"
           "      <shader name=\"ambientPass\" vertex=\"shaders\\ambientPass.vert\" fragment=\"shaders\\ambientPass.frag\""
           " language=\"GLSL\"/>\n"
           "    </shaders>\n"
           "    <materials>\n"
           "      <material name=\"sampleFloor\"><pass id=\"1\" shader=\"lightPass\"/></material>\n"
           "      <material name=\"sampleBox\"><pass id=\"1\" shader=\"lightPass\"/></material>\n"
           "      <material name=\"sampleFigure\"><pass id=\"1\" shader=\"lightPass\"/></material>\n"
           "      <material name=\"sampleArm\"><pass id=\"0\" shader=\"ambientPass\"/></material>\n"
           "    </materials>\n"
           "  </materialProperties>\n"
           "</init>\n";
    return xml;
}

inline bool writeFile(const std::string& path, const void* data, size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

inline bool writeModel(const std::string& path, const V3DContent& content) {
    const ArrayList<unsigned char> bytes = writeBytes(content);
    return writeFile(path, bytes.data, bytes.size);
}

// Writes models/floor.v3d, models/boxes.v3d, models/figure.v3d, the two
// programs (shaders/lightPass.*, shaders/ambientPass.*) and scene.xml (the
// description above) into dir. False when a file cannot be written.
inline bool writeSampleScene(const std::string& dir) {
    ::mkdir((dir + "/models").c_str(), 0755);
    ::mkdir((dir + "/shaders").c_str(), 0755);
    const std::string xml = sampleDescription();
    return writeModel(dir + "/models/floor.v3d", makeFloorModel()) &&
           writeModel(dir + "/models/boxes.v3d", makeBoxesModel()) &&
           writeModel(dir + "/models/figure.v3d", makeFigureModel()) &&
           writeFile(dir + "/shaders/lightPass.vert", kLightPassVertex, std::strlen(kLightPassVertex)) &&
           writeFile(dir + "/shaders/lightPass.frag", kLightPassFragment, std::strlen(kLightPassFragment)) &&
           writeFile(dir + "/shaders/ambientPass.vert", kAmbientPassVertex, std::strlen(kAmbientPassVertex)) &&
           writeFile(dir + "/shaders/ambientPass.frag", kAmbientPassFragment, std::strlen(kAmbientPassFragment)) &&
           writeFile(dir + "/scene.xml", xml.data(), xml.size());
}

} // namespace Vantor::test
