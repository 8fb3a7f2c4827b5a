// What the city's cars, pedestrians and birds share, internal to tools/city:
// palette textures, keys and bones, the mesh builder with its blocks and
// tubes, and the closed paths the movers follow.
//
// Every model is built in its own space (y up, facing +z, so +x is its left)
// and its motion places it in the world frame by frame. A loop of N frames
// has N + 1 keys: the last repeats the first, so the player that restarts
// at the last frame shows no jump.
#pragma once

#include "city/CityMovers.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace Vantor::tools::city::movers {

constexpr float kPi = 3.14159265358979f;
constexpr float kDegrees = kPi / 180.0f;

constexpr int kSkinnedMeshFlags = kMeshSkinned | kMeshHasTexCoords | kMeshLitPerLight;

// ---------------------------------------------------------------------------
// Palette textures

// Each model's texture is a grid of 4 x 4 cells of 8 x 8 texels. Most cells
// are one flat colour and faces take it from the cell's middle, so filtering
// keeps the colour; a few cells hold small pictures (lamps, a wheel's hub).
constexpr int kPaletteTexels = 32;
constexpr int kCellTexels = 8;
constexpr int kCellsPerRow = kPaletteTexels / kCellTexels;

struct Rgb {
    int r, g, b;
};

Rgb shade(Rgb c, float f);

class Palette {
public:
    Palette() {
        image.allocate(3, kPaletteTexels, kPaletteTexels);
        std::memset(image.data, 0, size_t(image.size));
    }

    // Texel (x, y) of a cell, y counted from the cell's bottom row (the
    // image's rows run bottom first).
    void set(int cell, int x, int y, Rgb c) {
        const int column = cell % kCellsPerRow * kCellTexels + x;
        const int row = cell / kCellsPerRow * kCellTexels + y;
        unsigned char* texel = image.data + 3 * (row * kPaletteTexels + column);
        texel[0] = static_cast<unsigned char>(c.r);
        texel[1] = static_cast<unsigned char>(c.g);
        texel[2] = static_cast<unsigned char>(c.b);
    }

    void fill(int cell, Rgb c) {
        for (int y = 0; y < kCellTexels; ++y)
            for (int x = 0; x < kCellTexels; ++x)
                set(cell, x, y, c);
    }

    Image image;
};

struct UV {
    float u, v;
};

// A point of a cell: fu and fv in [0, 1] run from the centre of its first
// texel to the centre of its last.
UV cellPoint(int cell, float fu, float fv);

UV cellCentre(int cell);

// A material whose one texture slot takes the model's palette (texture 0).
Material paletteMaterial(const std::string& name, float shininess, float specular);

// A model file's engine path: the group's folder, then the stem and the
// index as in car03.v3d.
std::string numbered(const char* folder, const char* stem, int index);

// A material's name: the stem, the index and what it is, as in car03Paint.
std::string materialName(const char* stem, int index, const char* what);

// ---------------------------------------------------------------------------
// Keys

Quaternion axisAngle(float angle, float x, float y, float z);

// Turns +z towards +x by heading: the model's forward axis points along
// (sin heading, 0, cos heading).
Quaternion yaw(float heading);

Key makeKey(const Quaternion& rotation, const Vector3& translation);

// Closes a loop: the last key repeats the first, for every track.
void closeLoop(Motion& motion);

// A generator for one model of a group: the seed mixes the group and the
// index, so neighbouring models draw unrelated numbers.
CityRandom moverRandom(std::uint64_t group, int index);

// An invisible bone: no geometry, no material; its key is its bind pose.
Mesh boneMesh(int id, const char* name, const Vector3& offset);

// ---------------------------------------------------------------------------
// Geometry

// Bone influences of one skinned position (up to four, weights summing to 1).
struct Weights {
    int bones[4] = {0, 0, 0, 0};
    float weights[4] = {0, 0, 0, 0};
    int count = 0;
};

Weights only(int bone);

// weight on a, the rest on b.
Weights blend(int a, float weight, int b);

// Appends vertices and triangles to a mesh. In a skinned mesh every distinct
// position has one skin vertex, which all the vertices at that position (one
// per face colour or normal) reference.
class MeshBuilder {
public:
    explicit MeshBuilder(Mesh& target) : mesh(target) {}

    bool skinned() const { return (mesh.flags & kMeshSkinned) != 0; }

    // A new skinned position; -1 in a mesh that is not skinned.
    int skinPosition(const Weights& w) {
        if (!skinned())
            return -1;
        SkinVertex skin;
        for (int k = 0; k < 4; ++k) {
            SkinVertexBone influence;
            influence.bone = k < w.count ? w.bones[k] : w.bones[0];
            influence.weight = k < w.count ? w.weights[k] : 0.0f;
            skin.influences.add(influence);
        }
        mesh.skinVertices.add(skin);
        return int(mesh.skinVertices.size) - 1;
    }

    int vertex(const Vector3& position, const Vector3& normal, UV uv, int skin) {
        Vertex v;
        v.position = position;
        v.normal = normal;
        v.u = uv.u;
        v.v = uv.v;
        mesh.vertices.add(v);
        const int index = int(mesh.vertices.size) - 1;
        if (skin >= 0)
            mesh.skinVertices[unsigned(skin)].vertexRefs.add(index);
        return index;
    }

    // The face looks to the side from which a, b, c run counter-clockwise.
    void triangle(int a, int b, int c) {
        Triangle t;
        t.v[0] = a;
        t.v[1] = b;
        t.v[2] = c;
        t.normal = faceNormal(a, b, c);
        mesh.triangles.add(t);
    }

    void quad(int a, int b, int c, int d) {
        triangle(a, b, c);
        triangle(a, c, d);
    }

    Vector3 faceNormal(int a, int b, int c) const {
        const Vector3& pa = mesh.vertices[unsigned(a)].position;
        Vector3 n = cross(mesh.vertices[unsigned(b)].position - pa, mesh.vertices[unsigned(c)].position - pa);
        n.normalize();
        return n;
    }

    // A flat quad over four positions (counter-clockwise seen from outside,
    // from its bottom-left corner) showing a cell, whole or at its middle.
    void flatQuad(const Vector3 (&corners)[4], const int (&skins)[4], int cell, bool picture) {
        Vector3 n = cross(corners[1] - corners[0], corners[2] - corners[0]) +
                    cross(corners[2] - corners[0], corners[3] - corners[0]);
        n.normalize();
        const float fu[4] = {0, 1, 1, 0}, fv[4] = {0, 0, 1, 1};
        int v[4];
        for (int k = 0; k < 4; ++k)
            v[k] = vertex(corners[k], n, picture ? cellPoint(cell, fu[k], fv[k]) : cellCentre(cell), skins[k]);
        quad(v[0], v[1], v[2], v[3]);
    }

    void finish() {
        if (mesh.vertices.size == 0)
            return;
        mesh.boxMin = mesh.boxMax = mesh.vertices[0].position;
        for (const Vertex& v : mesh.vertices)
            Vector3::accumulateBounds(v.position, mesh.boxMin, mesh.boxMax);
    }

    Mesh& mesh;
};

// A block between two horizontal rectangles: the bottom one at yBottom and
// the top one at yTop, both with sides along x and z, so every face is flat.
struct Rect {
    float x0, x1, z0, z1;
};

// Cells of a block's faces, and whether a face shows its cell's picture.
enum BlockFace { kFaceLeft, kFaceRight, kFaceFront, kFaceBack, kFaceTop, kFaceBottom, kBlockFaces };

struct BlockLook {
    int cells[kBlockFaces];
    bool pictures[kBlockFaces];
};

// A closed block, every face counter-clockwise seen from outside.
void addBlock(MeshBuilder& builder, float yBottom, const Rect& bottom, float yTop, const Rect& top,
              const BlockLook& look, const Weights& weights);

// One cross-section of a tube: an ellipse around centre with radius1 along
// the tube's axis1 and radius2 along its axis2.
struct Ring {
    Vector3 centre;
    float radius1, radius2;
    Weights weights;
};

// A closed tube of rings joined by bands of quads and capped at both ends.
// Rings follow each other along cross(axis1, axis2), which makes the bands
// and caps face outwards. Band k takes bandCells[k]; the caps map their
// cells round the middle, so a picture cell shows as a disc.
struct Tube {
    Vector3 axis1, axis2;
    int sides = 6;
    bool faceted = false;
    std::vector<Ring> rings;
    std::vector<int> bandCells;
    int firstCapCell = 0;
    int lastCapCell = 0;
};

void addTube(MeshBuilder& builder, const Tube& tube);

// ---------------------------------------------------------------------------
// Paths

// A point of a path on the ground and the heading there (see yaw).
struct PathPoint {
    float x, z, heading;
};

// A closed path round the corners of a polygon, each corner rounded by an
// arc of its own radius: straight pieces joined by arcs, walked by length.
class LoopPath {
public:
    struct Corner {
        float x, z, radius;
    };

    explicit LoopPath(const std::vector<Corner>& corners);

    float length() const { return total; }

    PathPoint at(float distance) const;

    // The heading of a direction on the ground.
    static float headingOf(float x, float z) { return std::atan2(x, z); }

private:
    // Turns (x, z) as a heading change by angle turns a direction.
    static void rotate(float x, float z, float angle, float& outX, float& outZ) {
        const float c = std::cos(angle), s = std::sin(angle);
        outX = x * c + z * s;
        outZ = -x * s + z * c;
    }

    struct Piece {
        float x = 0, z = 0, heading = 0, length = 0;
        float turn = 0, cx = 0, cz = 0;
    };
    std::vector<Piece> pieces;
    float total = 0;
};

// The blocks of the plan: block (bx, bz) spans x from bx * kBlockPeriod east
// and z from -bz * kBlockPeriod north.
float blockWest(int bx);
float blockSouth(int bz);

// The corners of a rectangle of blocks, inset by inset from the street
// centre lines, in clockwise order seen from above (north up): south-west,
// north-west, north-east, south-east. Going round them in this order keeps
// the blocks on the right.
void insetCorners(int bx0, int bz0, int bx1, int bz1, float inset, float (&x)[4], float (&z)[4]);

} // namespace Vantor::tools::city::movers
