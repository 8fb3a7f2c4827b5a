// Cars, pedestrians and birds of the city: their meshes, palette
// textures and looping motions, built in memory for the V3D writer.
//
// Every model is built in its own space (y up, facing +z, so +x is its left)
// and its motion places it in the world frame by frame. A loop of N frames
// has N + 1 keys: the last repeats the first, so the player that restarts
// at the last frame shows no jump.
#include "city/CityMovers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace Vantor::tools::city {

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kDegrees = kPi / 180.0f;

constexpr int kCarMeshFlags = kMeshHasTexCoords | kMeshCastsShadows | kMeshLitPerLight;
constexpr int kWheelMeshFlags = kMeshHasTexCoords | kMeshLitPerLight;
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

Rgb shade(Rgb c, float f) {
    auto channel = [f](int v) { return std::min(255, std::max(0, int(std::lround(float(v) * f)))); };
    return {channel(c.r), channel(c.g), channel(c.b)};
}

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
UV cellPoint(int cell, float fu, float fv) {
    const float x0 = float(cell % kCellsPerRow * kCellTexels) + 0.5f;
    const float y0 = float(cell / kCellsPerRow * kCellTexels) + 0.5f;
    const float span = float(kCellTexels - 1);
    return {(x0 + fu * span) / float(kPaletteTexels), (y0 + fv * span) / float(kPaletteTexels)};
}

UV cellCentre(int cell) { return cellPoint(cell, 0.5f, 0.5f); }

Material paletteMaterial(const std::string& name, float shininess, float specular) {
    Material material;
    material.name = name.c_str();
    material.shininess = shininess;
    for (int i = 0; i < 3; ++i)
        material.specular[i] = specular;
    MatTex slot;
    slot.textureIndex = 0;
    material.textures.add(slot);
    return material;
}

std::string numbered(const char* folder, const char* stem, int index) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%02d.v3d", stem, index);
    return std::string(folder) + name;
}

std::string materialName(const char* stem, int index, const char* what) {
    char name[48];
    std::snprintf(name, sizeof name, "%s%02d%s", stem, index, what);
    return name;
}

// ---------------------------------------------------------------------------
// Keys

Quaternion axisAngle(float angle, float x, float y, float z) {
    const float s = std::sin(angle / 2);
    return Quaternion(std::cos(angle / 2), x * s, y * s, z * s);
}

// Turns +z towards +x by heading: the model's forward axis points along
// (sin heading, 0, cos heading).
Quaternion yaw(float heading) { return axisAngle(heading, 0, 1, 0); }

Key makeKey(const Quaternion& rotation, const Vector3& translation) {
    Key key;
    key.rotation = rotation;
    key.translation = translation;
    return key;
}

// Closes a loop: the last key repeats the first, for every track.
void closeLoop(Motion& motion) {
    int frames = 0;
    for (MotionTrack& track : motion.tracks) {
        const Key first = track.keys[0];
        track.keys.add(first);
        frames = int(track.keys.size);
    }
    motion.frameCount = frames;
}

// A generator for one model of a group: the seed mixes the group and the
// index, so neighbouring models draw unrelated numbers.
CityRandom moverRandom(std::uint64_t group, int index) {
    std::uint64_t z = kCitySeed ^ (group << 32) ^ (std::uint64_t(index) * 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return CityRandom(z ^ (z >> 31));
}

// An invisible bone: no geometry, no material; its key is its bind pose.
Mesh boneMesh(int id, const char* name, const Vector3& offset) {
    Mesh bone;
    bone.id = id;
    bone.name = name;
    bone.visible = false;
    bone.materialIndex = -1;
    bone.bindKey = makeKey(Quaternion(), offset);
    return bone;
}

// ---------------------------------------------------------------------------
// Geometry

// Bone influences of one skinned position (up to four, weights summing to 1).
struct Weights {
    int bones[4] = {0, 0, 0, 0};
    float weights[4] = {0, 0, 0, 0};
    int count = 0;
};

Weights only(int bone) {
    Weights w;
    w.bones[0] = bone;
    w.weights[0] = 1.0f;
    w.count = 1;
    return w;
}

// weight on a, the rest on b.
Weights blend(int a, float weight, int b) {
    Weights w;
    w.bones[0] = a;
    w.weights[0] = weight;
    w.bones[1] = b;
    w.weights[1] = 1.0f - weight;
    w.count = 2;
    return w;
}

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
              const BlockLook& look, const Weights& weights) {
    const Vector3 b[4] = {{bottom.x0, yBottom, bottom.z0},
                          {bottom.x1, yBottom, bottom.z0},
                          {bottom.x1, yBottom, bottom.z1},
                          {bottom.x0, yBottom, bottom.z1}};
    const Vector3 t[4] = {
        {top.x0, yTop, top.z0}, {top.x1, yTop, top.z0}, {top.x1, yTop, top.z1}, {top.x0, yTop, top.z1}};
    int sb[4], st[4];
    for (int k = 0; k < 4; ++k)
        sb[k] = builder.skinPosition(weights);
    for (int k = 0; k < 4; ++k)
        st[k] = builder.skinPosition(weights);
    // Each face from the corner at the bottom left as seen from outside.
    const Vector3 faces[kBlockFaces][4] = {
        {b[2], b[1], t[1], t[2]}, // +x, the model's left
        {b[0], b[3], t[3], t[0]}, // -x, its right
        {b[3], b[2], t[2], t[3]}, // +z, the front
        {b[1], b[0], t[0], t[1]}, // -z, the back
        {t[3], t[2], t[1], t[0]}, // top
        {b[2], b[3], b[0], b[1]}, // bottom
    };
    const int skins[kBlockFaces][4] = {
        {sb[2], sb[1], st[1], st[2]}, {sb[0], sb[3], st[3], st[0]}, {sb[3], sb[2], st[2], st[3]},
        {sb[1], sb[0], st[0], st[1]}, {st[3], st[2], st[1], st[0]}, {sb[2], sb[3], sb[0], sb[1]},
    };
    for (int f = 0; f < kBlockFaces; ++f)
        builder.flatQuad(faces[f], skins[f], look.cells[f], look.pictures[f]);
}

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

void addTube(MeshBuilder& builder, const Tube& tube) {
    const int n = tube.sides;
    const size_t sides = static_cast<size_t>(n), ringCount = tube.rings.size();
    std::vector<Vector3> position(ringCount * sides), normal(ringCount * sides);
    std::vector<int> skin(ringCount * sides);
    std::vector<float> angle(sides);
    for (int i = 0; i < n; ++i)
        angle[size_t(i)] = 2 * kPi * float(i) / float(n);
    for (size_t j = 0; j < ringCount; ++j) {
        const Ring& ring = tube.rings[j];
        for (int i = 0; i < n; ++i) {
            const float c = std::cos(angle[size_t(i)]), s = std::sin(angle[size_t(i)]);
            const size_t at = j * size_t(n) + size_t(i);
            position[at] = ring.centre + tube.axis1 * (ring.radius1 * c) + tube.axis2 * (ring.radius2 * s);
            normal[at] = tube.axis1 * (c / ring.radius1) + tube.axis2 * (s / ring.radius2);
            normal[at].normalize();
            skin[at] = builder.skinPosition(ring.weights);
        }
    }
    auto at = [n](size_t ring, int side) { return ring * size_t(n) + size_t((side + n) % n); };

    for (size_t j = 0; j + 1 < ringCount; ++j) {
        const int cell = tube.bandCells[j];
        if (tube.faceted) {
            for (int i = 0; i < n; ++i) {
                const Vector3 corners[4] = {position[at(j, i)], position[at(j, i + 1)], position[at(j + 1, i + 1)],
                                            position[at(j + 1, i)]};
                const int skins[4] = {skin[at(j, i)], skin[at(j, i + 1)], skin[at(j + 1, i + 1)],
                                      skin[at(j + 1, i)]};
                builder.flatQuad(corners, skins, cell, false);
            }
            continue;
        }
        const UV uv = cellCentre(cell);
        std::vector<int> lower(sides), upper(sides);
        for (int i = 0; i < n; ++i) {
            lower[size_t(i)] = builder.vertex(position[at(j, i)], normal[at(j, i)], uv, skin[at(j, i)]);
            upper[size_t(i)] = builder.vertex(position[at(j + 1, i)], normal[at(j + 1, i)], uv, skin[at(j + 1, i)]);
        }
        for (int i = 0; i < n; ++i) {
            const size_t next = size_t((i + 1) % n);
            builder.quad(lower[size_t(i)], lower[next], upper[next], upper[size_t(i)]);
        }
    }

    // Caps: a fan round the ring's centre, facing back along the tube at the
    // first ring and forward at the last.
    Vector3 forward = cross(tube.axis1, tube.axis2);
    forward.normalize();
    for (int end = 0; end < 2; ++end) {
        const size_t j = end == 0 ? 0 : ringCount - 1;
        const int cell = end == 0 ? tube.firstCapCell : tube.lastCapCell;
        const Vector3 facing = end == 0 ? -forward : forward;
        const Ring& ring = tube.rings[j];
        const int middle = builder.vertex(ring.centre, facing, cellCentre(cell), builder.skinPosition(ring.weights));
        std::vector<int> rim(sides);
        for (int i = 0; i < n; ++i) {
            const float c = std::cos(angle[size_t(i)]), s = std::sin(angle[size_t(i)]);
            rim[size_t(i)] =
                builder.vertex(position[at(j, i)], facing, cellPoint(cell, 0.5f + 0.5f * c, 0.5f + 0.5f * s),
                               skin[at(j, i)]);
        }
        for (int i = 0; i < n; ++i) {
            const int a = rim[size_t(i)], b = rim[size_t((i + 1) % n)];
            if (end == 0)
                builder.triangle(middle, b, a);
            else
                builder.triangle(middle, a, b);
        }
    }
}

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

    explicit LoopPath(const std::vector<Corner>& corners) {
        const size_t n = corners.size();
        // Where each corner's arc starts and ends, and the turn it makes.
        struct Fillet {
            float ax, az, bx, bz, cx, cz, turn, radius;
        };
        std::vector<Fillet> fillets(n);
        for (size_t i = 0; i < n; ++i) {
            const Corner& prev = corners[(i + n - 1) % n];
            const Corner& c = corners[i];
            const Corner& next = corners[(i + 1) % n];
            float inX = c.x - prev.x, inZ = c.z - prev.z, outX = next.x - c.x, outZ = next.z - c.z;
            const float inLength = std::hypot(inX, inZ), outLength = std::hypot(outX, outZ);
            inX /= inLength;
            inZ /= inLength;
            outX /= outLength;
            outZ /= outLength;
            // The signed change of heading from the incoming to the outgoing direction.
            float change = headingOf(outX, outZ) - headingOf(inX, inZ);
            while (change > kPi)
                change -= 2 * kPi;
            while (change < -kPi)
                change += 2 * kPi;
            const float tangent = c.radius * std::tan(std::fabs(change) / 2);
            Fillet& f = fillets[i];
            f.ax = c.x - inX * tangent;
            f.az = c.z - inZ * tangent;
            f.bx = c.x + outX * tangent;
            f.bz = c.z + outZ * tangent;
            // The centre lies a radius from the arc's start, a quarter turn
            // from the incoming direction towards the turn.
            const float side = change > 0 ? kPi / 2 : -kPi / 2;
            rotate(inX, inZ, side, f.cx, f.cz);
            f.cx = f.ax + f.cx * c.radius;
            f.cz = f.az + f.cz * c.radius;
            f.turn = change;
            f.radius = c.radius;
        }
        for (size_t i = 0; i < n; ++i) {
            const Fillet& from = fillets[(i + n - 1) % n];
            const Fillet& to = fillets[i];
            Piece straight;
            straight.x = from.bx;
            straight.z = from.bz;
            straight.length = std::max(0.0f, std::hypot(to.ax - from.bx, to.az - from.bz));
            straight.heading = headingOf(corners[i].x - corners[(i + n - 1) % n].x,
                                         corners[i].z - corners[(i + n - 1) % n].z);
            pieces.push_back(straight);
            Piece arc;
            arc.x = to.ax;
            arc.z = to.az;
            arc.heading = straight.heading;
            arc.turn = to.turn;
            arc.cx = to.cx;
            arc.cz = to.cz;
            arc.length = to.radius * std::fabs(to.turn);
            pieces.push_back(arc);
        }
        for (const Piece& p : pieces)
            total += p.length;
    }

    float length() const { return total; }

    PathPoint at(float distance) const {
        float s = std::fmod(distance, total);
        if (s < 0)
            s += total;
        for (size_t i = 0; i < pieces.size(); ++i) {
            const Piece& p = pieces[i];
            if (s > p.length && i + 1 < pieces.size()) {
                s -= p.length;
                continue;
            }
            s = std::min(s, p.length);
            const float f = p.length > 0 ? s / p.length : 0.0f;
            if (p.turn == 0.0f) {
                float dx = 0, dz = 0;
                rotate(0, 1, p.heading, dx, dz);
                return {p.x + dx * s, p.z + dz * s, p.heading};
            }
            float rx = 0, rz = 0;
            rotate(p.x - p.cx, p.z - p.cz, f * p.turn, rx, rz);
            return {p.cx + rx, p.cz + rz, p.heading + f * p.turn};
        }
        return {pieces[0].x, pieces[0].z, pieces[0].heading};
    }

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
float blockWest(int bx) { return float(bx) * kBlockPeriod; }
float blockSouth(int bz) { return -float(bz) * kBlockPeriod; }

// The corners of a rectangle of blocks, inset by inset from the street
// centre lines, in clockwise order seen from above (north up): south-west,
// north-west, north-east, south-east. Going round them in this order keeps
// the blocks on the right.
void insetCorners(int bx0, int bz0, int bx1, int bz1, float inset, float (&x)[4], float (&z)[4]) {
    const float west = blockWest(bx0) + inset, east = blockWest(bx1 + 1) - inset;
    const float south = blockSouth(bz0) - inset, north = blockSouth(bz1 + 1) + inset;
    const float xs[4] = {west, west, east, east}, zs[4] = {south, north, north, south};
    for (int k = 0; k < 4; ++k) {
        x[k] = xs[k];
        z[k] = zs[k];
    }
}

// ---------------------------------------------------------------------------
// Cars

constexpr float kCarSpeedMin = 260.0f;
constexpr float kCarSpeedRange = 80.0f;
// Cars turn right round the corners of their blocks on this radius.
constexpr float kCarTurnRadius = 50.0f;
constexpr float kWheelRadius = 9.0f;
constexpr float kWheelHalfWidth = 3.5f;
// Wheel centres: across (the outer face a little outside the body) and along.
constexpr float kWheelX = kCarWidth / 2 - kWheelHalfWidth + 0.5f;
constexpr float kWheelZ = 35.0f;

// The car texture's cells.
enum CarCell {
    kPaintCell,
    kSideCell,
    kFrontCell,
    kBackCell,
    kGlassCell,
    kCabinSideCell,
    kCabinEndCell,
    kTyreCell,
    kHubCell,
    kUnderCell,
    kSignCell
};

struct CarLook {
    Rgb paint;
    bool taxi;
};

const CarLook kCarLooks[kCarCount] = {
    {{178, 34, 34}, false},   {{30, 70, 160}, false},  {{232, 232, 226}, false}, {{240, 190, 20}, true},
    {{26, 26, 30}, false},    {{172, 174, 178}, false}, {{40, 112, 62}, false},  {{112, 22, 32}, false},
    {{112, 162, 212}, false}, {{222, 112, 30}, false}, {{240, 190, 20}, true},   {{100, 104, 110}, false},
};

// The blocks each car circles (west, south, east, north block indices):
// single blocks and pairs, no block twice, so no two cars share a lane. The
// first four drive past the walking camera's start along x = 1600.
struct CarRoute {
    int bx0, bz0, bx1, bz1;
};

const CarRoute kCarRoutes[kCarCount] = {
    {1, 1, 1, 1}, {2, 1, 2, 1}, {1, 2, 1, 2}, {2, 2, 2, 2}, {0, 0, 1, 0}, {3, 0, 3, 0},
    {4, 0, 4, 1}, {0, 2, 0, 3}, {3, 2, 3, 2}, {2, 3, 3, 3}, {4, 3, 4, 4}, {0, 4, 1, 4},
};

Image carTexture(const CarLook& look) {
    Palette p;
    const Rgb paint = look.paint, dark = shade(paint, 0.6f), glass = {38, 52, 68}, tyre = {22, 22, 24},
              bumper = {52, 52, 56}, lamp = {250, 246, 212}, tail = {204, 24, 20}, grille = {34, 34, 38},
              steel = {192, 192, 198}, spoke = {92, 92, 98};
    p.fill(kPaintCell, paint);
    p.fill(kSideCell, paint);
    for (int x = 0; x < kCellTexels; ++x) {
        p.set(kSideCell, x, 0, dark);
        p.set(kSideCell, x, 6, shade(paint, 1.15f));
    }
    p.fill(kFrontCell, paint);
    p.fill(kBackCell, paint);
    for (int x = 0; x < kCellTexels; ++x)
        for (int y = 0; y < 2; ++y) {
            p.set(kFrontCell, x, y, bumper);
            p.set(kBackCell, x, y, bumper);
        }
    for (int y = 3; y <= 5; ++y)
        for (int x : {0, 1, 6, 7})
            p.set(kFrontCell, x, y, lamp);
    for (int y = 3; y <= 4; ++y)
        for (int x = 2; x <= 5; ++x)
            p.set(kFrontCell, x, y, grille);
    for (int y = 3; y <= 4; ++y)
        for (int x : {0, 1, 6, 7})
            p.set(kBackCell, x, y, tail);
    p.set(kBackCell, 3, 2, {236, 236, 236});
    p.set(kBackCell, 4, 2, {236, 236, 236});
    p.fill(kGlassCell, glass);
    // Windows framed by the paint: pillars at the ends (and in the middle
    // of the sides), the roof line and the waist.
    p.fill(kCabinSideCell, glass);
    p.fill(kCabinEndCell, glass);
    for (int y = 0; y < kCellTexels; ++y) {
        for (int x : {0, 3, 7})
            p.set(kCabinSideCell, x, y, paint);
        for (int x : {0, 7})
            p.set(kCabinEndCell, x, y, paint);
    }
    for (int x = 0; x < kCellTexels; ++x)
        for (int y : {0, 7}) {
            p.set(kCabinSideCell, x, y, paint);
            p.set(kCabinEndCell, x, y, paint);
        }
    p.fill(kTyreCell, tyre);
    // The hub: a steel disc with a dark cross, so the wheel is seen to turn.
    p.fill(kHubCell, tyre);
    for (int y = 0; y < kCellTexels; ++y)
        for (int x = 0; x < kCellTexels; ++x) {
            const float dx = float(x) - 3.5f, dy = float(y) - 3.5f;
            if (dx * dx + dy * dy <= 2.6f * 2.6f)
                p.set(kHubCell, x, y, (x == 3 || x == 4) != (y == 3 || y == 4) ? spoke : steel);
        }
    p.fill(kUnderCell, {40, 40, 42});
    p.fill(kSignCell, look.taxi ? Rgb{250, 250, 240} : paint);
    for (int x = 1; x < 7; ++x)
        p.set(kSignCell, x, 4, {30, 30, 30});
    return p.image;
}

// The body, facing +z and standing on y = 0: a lower box with the lamps at
// its ends and a cabin whose windscreen leans back, both closed.
Mesh carBody() {
    Mesh body;
    body.id = 0;
    body.name = "body";
    body.flags = kCarMeshFlags;
    body.materialIndex = 0;
    MeshBuilder builder(body);
    const float halfWidth = kCarWidth / 2, halfLength = kCarLength / 2;
    const BlockLook lower = {{kSideCell, kSideCell, kFrontCell, kBackCell, kPaintCell, kUnderCell},
                             {true, true, true, true, false, false}};
    addBlock(builder, 6.0f, {-halfWidth, halfWidth, -halfLength, halfLength}, 21.0f,
             {-halfWidth + 1, halfWidth - 1, -halfLength + 1.5f, halfLength - 1}, lower, Weights());
    const BlockLook cabin = {{kCabinSideCell, kCabinSideCell, kCabinEndCell, kCabinEndCell, kPaintCell, kUnderCell},
                             {true, true, true, true, false, false}};
    addBlock(builder, 20.5f, {-halfWidth + 1.5f, halfWidth - 1.5f, -30.0f, 18.0f}, 38.0f,
             {-halfWidth + 4.5f, halfWidth - 4.5f, -25.0f, 5.0f}, cabin, Weights());
    builder.finish();
    return body;
}

// A wheel round its axle along x, its outer face (the hub) on the side of side.
Mesh carWheel(int id, const char* name, float side) {
    Mesh wheel;
    wheel.id = id;
    wheel.name = name;
    wheel.flags = kWheelMeshFlags;
    wheel.materialIndex = 0;
    MeshBuilder builder(wheel);
    Tube tube;
    tube.axis1 = Vector3(0, 1, 0);
    tube.axis2 = Vector3(0, 0, 1);
    tube.sides = 10;
    tube.faceted = true;
    for (float x : {-kWheelHalfWidth, kWheelHalfWidth})
        tube.rings.push_back({Vector3(x, 0, 0), kWheelRadius, kWheelRadius, Weights()});
    tube.bandCells = {kTyreCell};
    tube.firstCapCell = side < 0 ? kHubCell : kTyreCell;
    tube.lastCapCell = side > 0 ? kHubCell : kTyreCell;
    addTube(builder, tube);
    builder.finish();
    wheel.bindKey = makeKey(Quaternion(), Vector3(side * kWheelX, kWheelRadius, 0));
    return wheel;
}

MoverModel carModel(int index) {
    const CarLook& look = kCarLooks[index];
    const CarRoute& route = kCarRoutes[index];
    CityRandom random = moverRandom(1, index);

    Mesh body = carBody();
    if (look.taxi) {
        MeshBuilder builder(body);
        const BlockLook sign = {{kSignCell, kSignCell, kSignCell, kSignCell, kPaintCell, kPaintCell},
                                {true, true, true, true, false, false}};
        addBlock(builder, 37.5f, {-6, 6, -13, -9}, 41.5f, {-6, 6, -13, -9}, sign, Weights());
        builder.finish();
    }
    struct WheelPlace {
        const char* name;
        float side, along;
    };
    const WheelPlace wheels[4] = {{"wheelFrontLeft", 1, kWheelZ},
                                  {"wheelFrontRight", -1, kWheelZ},
                                  {"wheelBackLeft", 1, -kWheelZ},
                                  {"wheelBackRight", -1, -kWheelZ}};
    for (int w = 0; w < 4; ++w) {
        Mesh wheel = carWheel(1 + w, wheels[w].name, wheels[w].side);
        wheel.bindKey.translation.z = wheels[w].along;
        body.children.add(wheel);
    }

    // Round the blocks on the right-hand lane, turning right at each corner.
    float cx[4], cz[4];
    insetCorners(route.bx0, route.bz0, route.bx1, route.bz1, kLaneOffset, cx, cz);
    std::vector<LoopPath::Corner> corners;
    for (int k = 0; k < 4; ++k)
        corners.push_back({cx[k], cz[k], kCarTurnRadius});
    const LoopPath path(corners);
    const float speed = kCarSpeedMin + kCarSpeedRange * float(random.unit());
    const int frames = std::max(1, int(std::lround(path.length() / speed * float(kMoverFramesPerSecond))));
    const float start = path.length() * float(random.unit());
    // The wheels turn a whole number of times per loop.
    const float turns = std::max(1.0f, std::round(path.length() / (2 * kPi * kWheelRadius)));

    Motion motion;
    MotionTrack drive;
    drive.meshId = body.id;
    for (int k = 0; k < frames; ++k) {
        const PathPoint p = path.at(start + path.length() * float(k) / float(frames));
        drive.keys.add(makeKey(yaw(p.heading), Vector3(p.x, 0, p.z)));
    }
    motion.tracks.add(drive);
    for (const Mesh& wheel : body.children) {
        MotionTrack spin;
        spin.meshId = wheel.id;
        for (int k = 0; k < frames; ++k) {
            const float angle = 2 * kPi * turns * float(k) / float(frames);
            spin.keys.add(makeKey(axisAngle(angle, 1, 0, 0), wheel.bindKey.translation));
        }
        motion.tracks.add(spin);
    }
    closeLoop(motion);
    body.bindKey = drive.keys[0];

    MoverModel model;
    model.path = numbered(kCarFolder, "car", index);
    model.content.roots.add(body);
    model.content.materials.add(paletteMaterial(materialName("car", index, "Paint"), 48.0f, 0.6f));
    model.content.textures.add(carTexture(look));
    model.content.motions.add(motion);
    return model;
}

// ---------------------------------------------------------------------------
// Pedestrians

// The bones, in file order (depth first): hips (the root) with the chest
// (head and upper arms under it) and the legs.
enum PedestrianMesh {
    kHips,
    kChest,
    kHead,
    kLeftArm,
    kRightArm,
    kLeftThigh,
    kLeftShin,
    kRightThigh,
    kRightShin,
    kFigure
};

// The figure in its bind pose, standing on y = 0 facing +z (+x is its left).
constexpr float kHipHeight = 24.0f;
constexpr float kHipJointY = 23.5f;
constexpr float kKneeY = 13.0f;
constexpr float kLegX = 3.2f;
constexpr float kChestY = 31.0f;
constexpr float kNeckY = 38.5f;
constexpr float kShoulderY = 37.5f;
constexpr float kShoulderX = 8.0f;

// The walk: degrees of the swing at the hip, of the knee's bend (at rest and
// at most, in the middle of a leg's swing) and of the arms' swing; the hips
// drop this much between the steps.
constexpr float kHipSwing = 25.0f;
constexpr float kKneeRest = 5.0f;
constexpr float kKneeBend = 40.0f;
constexpr float kArmSwing = 18.0f;
constexpr float kHipDrop = 1.0f;
constexpr float kWalkSpeedMin = 36.0f;
constexpr float kWalkSpeedRange = 6.0f;

// Pedestrians keep right: the lane nearer the block when it is on their right,
// the one nearer the street when it is on their left. They turn round on
// kWalkTurnRadius, and round a block's corner on the lanes' common centre.
constexpr float kWalkLaneSpread = 10.0f;
constexpr float kBlockSideLane = kPavementLine + kWalkLaneSpread;
constexpr float kStreetSideLane = kPavementLine - kWalkLaneSpread;
constexpr float kWalkTurnRadius = kWalkLaneSpread;
constexpr float kOuterCornerRadius = kWalkTurnRadius + 2 * kWalkLaneSpread;

enum PedestrianCell { kSkinCell, kHairCell, kShirtCell, kTrousersCell, kShoesCell, kForearmCell };

const Rgb kSkinTones[] = {{236, 200, 170}, {212, 166, 126}, {172, 122, 86},
                          {122, 82, 56},   {92, 62, 42},    {246, 216, 192}};
const Rgb kHairColours[] = {{30, 25, 20}, {82, 52, 30}, {152, 112, 62}, {212, 182, 122}, {162, 162, 162}, {132, 52, 26}};
const Rgb kShirtColours[] = {{182, 42, 42},  {42, 82, 162},  {232, 232, 232}, {62, 142, 72},  {222, 182, 42},
                             {122, 62, 142}, {42, 42, 46},   {202, 112, 62},  {92, 152, 192}, {232, 142, 172}};
const Rgb kTrouserColours[] = {{52, 72, 122}, {36, 36, 42}, {112, 112, 118}, {172, 152, 112}, {92, 66, 46}};
const Rgb kShoeColours[] = {{26, 26, 26}, {92, 62, 36}, {222, 222, 222}};

template <class T, size_t N>
const T& pick(CityRandom& random, const T (&list)[N]) {
    return list[random.next() % N];
}

// A walking path: along one side of a block (out on one lane, back on the
// other), or round one of its corners the same way.
struct Walk {
    int bx, bz;
    bool corner;
    // The side (from corner k to corner k + 1, clockwise) or the corner k.
    int k;
};

// A point of a lane round block (bx, bz): along the side from its corner
// k (clockwise, as insetCorners) to the next, at distance along from the
// corner's street centre line and inset from the side's.
LoopPath::Corner lanePoint(int bx, int bz, int k, float along, float inset, float radius) {
    float x[4], z[4];
    insetCorners(bx, bz, bx, bz, 0.0f, x, z);
    const int a = (k + 4) % 4, b = (k + 1) % 4;
    const float ex = (x[b] - x[a]) / kBlockPeriod, ez = (z[b] - z[a]) / kBlockPeriod;
    // Into the block: the right of the side's direction.
    const float nx = -ez, nz = ex;
    return {x[a] + ex * along + nx * inset, z[a] + ez * along + nz * inset, radius};
}

std::vector<LoopPath::Corner> walkCorners(const Walk& walk, CityRandom& random) {
    const int bx = walk.bx, bz = walk.bz, k = walk.k;
    const float r = kWalkTurnRadius;
    if (!walk.corner) {
        // Out clockwise on the block's lane, back on the street's; the ends
        // of the side lanes are where the lanes round the corners begin.
        const float a0 = kBlockSideLane + 60.0f * float(random.unit());
        const float a1 = kBlockPeriod - kBlockSideLane - 60.0f * float(random.unit());
        return {lanePoint(bx, bz, k, a0, kBlockSideLane, r), lanePoint(bx, bz, k, a1, kBlockSideLane, r),
                lanePoint(bx, bz, k, a1, kStreetSideLane, r), lanePoint(bx, bz, k, a0, kStreetSideLane, r)};
    }
    // Along side k - 1 to corner k and on along side k, turning right on the
    // block's lane; back and round the corner on the street's.
    const float a0 = 240.0f + 240.0f * float(random.unit()), a1 = 320.0f + 240.0f * float(random.unit());
    return {lanePoint(bx, bz, k - 1, a0, kBlockSideLane, r),
            lanePoint(bx, bz, k - 1, kBlockPeriod - kBlockSideLane, kBlockSideLane, r),
            lanePoint(bx, bz, k, a1, kBlockSideLane, r),
            lanePoint(bx, bz, k, a1, kStreetSideLane, r),
            lanePoint(bx, bz, k - 1, kBlockPeriod - kStreetSideLane, kStreetSideLane, kOuterCornerRadius),
            lanePoint(bx, bz, k - 1, a0, kStreetSideLane, r)};
}

// The first eight walk the pavements of the street along x = 1600 next to
// the walking camera's start: along the blocks' sides and round the corners
// at the crossing to the north of it.
const Walk kNearWalks[] = {{1, 1, false, 2}, {2, 1, false, 0}, {1, 2, false, 2}, {2, 2, false, 0},
                           {1, 1, true, 2},  {2, 1, true, 1},  {1, 2, true, 3},  {2, 2, true, 0}};
constexpr int kNearWalkCount = int(sizeof kNearWalks / sizeof kNearWalks[0]);

Image pedestrianTexture(CityRandom& random) {
    Palette p;
    const Rgb skin = pick(random, kSkinTones), shirt = pick(random, kShirtColours);
    p.fill(kSkinCell, skin);
    p.fill(kHairCell, pick(random, kHairColours));
    p.fill(kShirtCell, shirt);
    p.fill(kTrousersCell, pick(random, kTrouserColours));
    p.fill(kShoesCell, pick(random, kShoeColours));
    p.fill(kForearmCell, random.between(0, 1) ? skin : shirt);
    return p.image;
}

// A vertical tube from bottom to top ring.
Tube uprightTube(int sides, const std::vector<Ring>& rings, const std::vector<int>& bands, int bottomCell,
                 int topCell) {
    Tube tube;
    tube.axis1 = Vector3(0, 0, 1);
    tube.axis2 = Vector3(1, 0, 0);
    tube.sides = sides;
    tube.rings = rings;
    tube.bandCells = bands;
    tube.firstCapCell = bottomCell;
    tube.lastCapCell = topCell;
    return tube;
}

Ring level(float x, float y, float z, float depth, float width, const Weights& weights) {
    return {Vector3(x, y, z), depth, width, weights};
}

// The skinned figure, about kPersonHeight tall: torso, head, arms, legs and
// feet, each a closed tube or block; joints blend the bones on either side.
Mesh figureMesh() {
    Mesh figure;
    figure.id = kFigure;
    figure.name = "figure";
    figure.flags = kSkinnedMeshFlags;
    figure.materialIndex = 0;
    MeshBuilder builder(figure);

    addTube(builder, uprightTube(8,
                                 {level(0, 21.0f, 0, 3.4f, 5.8f, only(kHips)),
                                  level(0, 27.0f, 0, 3.0f, 5.4f, blend(kHips, 0.5f, kChest)),
                                  level(0, 31.0f, 0, 3.3f, 6.0f, only(kChest)),
                                  level(0, 36.0f, 0, 3.5f, 7.0f, only(kChest)),
                                  level(0, 38.5f, 0, 2.5f, 4.0f, blend(kChest, 0.7f, kHead))},
                                 {kTrousersCell, kShirtCell, kShirtCell, kShirtCell}, kTrousersCell, kShirtCell));
    addTube(builder, uprightTube(6,
                                 {level(0, 38.0f, 0.3f, 1.5f, 1.5f, blend(kChest, 0.5f, kHead)),
                                  level(0, 40.0f, 0.3f, 2.8f, 2.6f, only(kHead)),
                                  level(0, 43.0f, 0.3f, 3.2f, 3.0f, only(kHead)),
                                  level(0, 45.0f, 0.1f, 2.9f, 2.7f, only(kHead)),
                                  level(0, 46.0f, 0.0f, 1.7f, 1.5f, only(kHead))},
                                 {kSkinCell, kSkinCell, kHairCell, kHairCell}, kSkinCell, kHairCell));
    const BlockLook shoe = {{kShoesCell, kShoesCell, kShoesCell, kShoesCell, kShoesCell, kShoesCell}, {}};
    for (int side = 0; side < 2; ++side) {
        const float x = side == 0 ? kLegX : -kLegX;
        const int thigh = side == 0 ? kLeftThigh : kRightThigh, shin = side == 0 ? kLeftShin : kRightShin;
        addTube(builder, uprightTube(6,
                                     {level(x, 3.5f, 0, 1.9f, 1.8f, only(shin)),
                                      level(x, kKneeY, 0, 2.3f, 2.3f, blend(thigh, 0.5f, shin)),
                                      level(x, 19.0f, 0, 2.8f, 2.7f, only(thigh)),
                                      level(x, 25.0f, 0, 3.0f, 2.8f, blend(kHips, 0.5f, thigh))},
                                     {kTrousersCell, kTrousersCell, kTrousersCell}, kTrousersCell, kTrousersCell));
        addBlock(builder, 0.0f, {x - 1.8f, x + 1.8f, -2.2f, 5.0f}, 3.8f, {x - 1.7f, x + 1.7f, -2.0f, 3.0f}, shoe,
                 only(shin));
        const float armX = side == 0 ? kShoulderX : -kShoulderX;
        const int arm = side == 0 ? kLeftArm : kRightArm;
        addTube(builder, uprightTube(6,
                                     {level(armX, 20.5f, 0, 1.2f, 1.1f, only(arm)),
                                      level(armX, 24.0f, 0, 1.4f, 1.3f, only(arm)),
                                      level(armX, 34.0f, 0, 1.8f, 1.7f, only(arm)),
                                      level(armX, 38.0f, 0, 2.0f, 1.9f, blend(kChest, 0.5f, arm))},
                                     {kSkinCell, kForearmCell, kShirtCell}, kSkinCell, kShirtCell));
    }
    builder.finish();
    return figure;
}

// Where each bone sits relative to its parent in the bind pose.
Vector3 boneOffset(int bone) {
    switch (bone) {
    case kHips:
        return Vector3(0, kHipHeight, 0);
    case kChest:
        return Vector3(0, kChestY - kHipHeight, 0);
    case kHead:
        return Vector3(0, kNeckY - kChestY, 0);
    case kLeftArm:
    case kRightArm:
        return Vector3(bone == kLeftArm ? kShoulderX : -kShoulderX, kShoulderY - kChestY, 0);
    case kLeftThigh:
    case kRightThigh:
        return Vector3(bone == kLeftThigh ? kLegX : -kLegX, kHipJointY - kHipHeight, 0);
    default:
        return Vector3(0, kKneeY - kHipJointY, 0);
    }
}

Mesh pedestrianSkeleton() {
    Mesh hips = boneMesh(kHips, "hips", boneOffset(kHips));
    Mesh chest = boneMesh(kChest, "chest", boneOffset(kChest));
    chest.children.add(boneMesh(kHead, "head", boneOffset(kHead)));
    chest.children.add(boneMesh(kLeftArm, "leftUpperArm", boneOffset(kLeftArm)));
    chest.children.add(boneMesh(kRightArm, "rightUpperArm", boneOffset(kRightArm)));
    hips.children.add(chest);
    Mesh leftThigh = boneMesh(kLeftThigh, "leftThigh", boneOffset(kLeftThigh));
    leftThigh.children.add(boneMesh(kLeftShin, "leftShin", boneOffset(kLeftShin)));
    hips.children.add(leftThigh);
    Mesh rightThigh = boneMesh(kRightThigh, "rightThigh", boneOffset(kRightThigh));
    rightThigh.children.add(boneMesh(kRightShin, "rightShin", boneOffset(kRightShin)));
    hips.children.add(rightThigh);
    return hips;
}

MoverModel pedestrianModel(int index) {
    CityRandom random = moverRandom(2, index);
    Walk walk;
    if (index < kNearWalkCount) {
        walk = kNearWalks[index];
    } else {
        walk.bx = random.between(0, kBlocksPerSide - 1);
        walk.bz = random.between(0, kBlocksPerSide - 1);
        walk.corner = random.between(0, 1) == 1;
        walk.k = random.between(0, 3);
    }
    const LoopPath path(walkCorners(walk, random));
    // A whole number of walk cycles per loop, at about the chosen speed.
    const float speed = kWalkSpeedMin + kWalkSpeedRange * float(random.unit());
    const float cycleLength = speed * float(kWalkCycleFrames) / float(kMoverFramesPerSecond);
    const int cycles = std::max(1, int(std::lround(path.length() / cycleLength)));
    const int frames = cycles * kWalkCycleFrames;
    const float start = path.length() * float(random.unit());
    const int cycleStart = random.between(0, kWalkCycleFrames - 1);

    Motion motion;
    const int trackBones[] = {kHips, kLeftThigh, kRightThigh, kLeftShin, kRightShin, kLeftArm, kRightArm};
    for (int bone : trackBones) {
        MotionTrack track;
        track.meshId = bone;
        motion.tracks.add(track);
    }
    for (int k = 0; k < frames; ++k) {
        const PathPoint p = path.at(start + path.length() * float(k) / float(frames));
        const float phase = 2 * kPi * float((k + cycleStart) % kWalkCycleFrames) / float(kWalkCycleFrames);
        const float bob = -kHipDrop * (1 - std::cos(2 * phase)) / 2;
        for (MotionTrack& track : motion.tracks) {
            const int bone = track.meshId;
            // The left side leads with phase, the right side half a cycle later.
            const bool left = bone == kLeftThigh || bone == kLeftShin || bone == kLeftArm;
            const float legPhase = left ? phase : phase + kPi;
            Quaternion rotation;
            if (bone == kHips) {
                track.keys.add(makeKey(yaw(p.heading), Vector3(p.x, kHipHeight + bob, p.z)));
                continue;
            }
            if (bone == kLeftThigh || bone == kRightThigh) {
                // Forward swing carries the foot towards +z: a negative turn about x.
                rotation = axisAngle(-kHipSwing * kDegrees * std::sin(legPhase), 1, 0, 0);
            } else if (bone == kLeftShin || bone == kRightShin) {
                // The knee bends most in the middle of the leg's forward swing.
                const float swing = std::max(0.0f, std::cos(legPhase));
                rotation = axisAngle((kKneeRest + kKneeBend * swing * swing) * kDegrees, 1, 0, 0);
            } else {
                // Each arm swings with the other side's leg.
                rotation = axisAngle(kArmSwing * kDegrees * std::sin(legPhase), 1, 0, 0);
            }
            track.keys.add(makeKey(rotation, boneOffset(bone)));
        }
    }
    closeLoop(motion);

    MoverModel model;
    model.path = numbered(kPedestrianFolder, "pedestrian", index);
    model.content.roots.add(pedestrianSkeleton());
    model.content.roots.add(figureMesh());
    model.content.materials.add(paletteMaterial(materialName("pedestrian", index, "Clothes"), 4.0f, 0.08f));
    model.content.textures.add(pedestrianTexture(random));
    model.content.motions.add(motion);
    return model;
}

// ---------------------------------------------------------------------------
// Birds

// The bones in file order: the body (root) with each wing and its tip.
enum BirdMesh { kBirdBody, kLeftWing, kLeftWingTip, kRightWing, kRightWingTip, kBirdSkin };

enum BirdCell { kBirdBodyCell, kBirdWingCell, kBirdTipCell, kBirdBeakCell, kBirdHeadCell, kBirdTailCell };

struct BirdKind {
    const char* name;
    Rgb body, wing, tip, beak, head, tail;
    float span;
    int framesPerBeat;
};

const BirdKind kBirdKinds[] = {
    {"Gull", {236, 236, 236}, {162, 166, 176}, {32, 32, 32}, {232, 182, 42}, {244, 244, 244}, {236, 236, 236}, 54,
     12},
    {"Crow", {32, 32, 36}, {26, 26, 30}, {18, 18, 20}, {52, 52, 52}, {30, 30, 34}, {24, 24, 28}, 44, 10},
    {"Pigeon", {132, 136, 150}, {152, 156, 166}, {62, 62, 72}, {202, 182, 172}, {92, 102, 122}, {92, 96, 106}, 40,
     8},
    {"Kite", {122, 82, 52}, {112, 76, 46}, {52, 36, 26}, {222, 192, 62}, {152, 122, 92}, {132, 92, 62}, 58, 14},
};
constexpr int kBirdKindCount = int(sizeof kBirdKinds / sizeof kBirdKinds[0]);

// The wing's cross-sections from root to tip, for a span of kBaseSpan:
// distance out, half thickness, half chord and how far the chord's middle
// lies aft.
constexpr float kBaseSpan = 54.0f;
constexpr float kWingRootX = 2.0f;
constexpr float kWingJointX = 14.0f;
constexpr float kWingY = 0.8f;
constexpr float kFlap = 35.0f;
constexpr float kTipFlap = 18.0f;
constexpr float kBank = 12.0f;
// Birds keep this far above the highest roof within their circle's reach.
constexpr float kBirdClearance = 150.0f;
constexpr float kBirdReach = 100.0f;
constexpr float kBirdSpeed = 160.0f;

// A bird's circle: centre x, z and radius.
struct BirdCircle {
    float x, z, radius;
};

float circleHeight(const std::vector<Building>& buildings, const BirdCircle& c) {
    return roofHeightNear(buildings, c.x, c.z, c.radius + kBirdReach) + kBirdClearance;
}

// Three birds circle in the view north of the walking camera's start: of the
// circles on a grid there, the ones seen lowest above the horizon from the
// start, each well apart from the others.
std::vector<BirdCircle> nearCircles(const std::vector<Building>& buildings) {
    constexpr int kNear = 3;
    constexpr float kRadius = 300.0f, kApart = 700.0f;
    struct Candidate {
        float elevation;
        BirdCircle circle;
    };
    std::vector<Candidate> candidates;
    for (float z = -1800.0f; z >= -3400.0f; z -= 200.0f)
        for (float x = 1000.0f; x <= 2200.0f; x += 200.0f) {
            const BirdCircle c{x, z, kRadius};
            const float distance = std::hypot(x - kWalkStartX, z - kWalkStartZ);
            candidates.push_back({std::atan2(circleHeight(buildings, c) - kWalkStartY, distance), c});
        }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.elevation < b.elevation; });
    std::vector<BirdCircle> chosen;
    for (const Candidate& candidate : candidates) {
        bool apart = true;
        for (const BirdCircle& c : chosen)
            apart = apart && std::hypot(c.x - candidate.circle.x, c.z - candidate.circle.z) >= kApart;
        if (apart && int(chosen.size()) < kNear)
            chosen.push_back(candidate.circle);
    }
    return chosen;
}

// The others anywhere over the city, avoiding the tallest towers: of a few
// random circles, the one that needs to fly lowest.
BirdCircle randomCircle(const std::vector<Building>& buildings, CityRandom& random) {
    BirdCircle best{0, 0, 0};
    float lowest = 0;
    for (int attempt = 0; attempt < 6; ++attempt) {
        BirdCircle c;
        c.x = 400.0f + 3200.0f * float(random.unit());
        c.z = -400.0f - 3200.0f * float(random.unit());
        c.radius = 220.0f + 260.0f * float(random.unit());
        const float height = circleHeight(buildings, c);
        if (attempt == 0 || height < lowest) {
            best = c;
            lowest = height;
        }
    }
    return best;
}

Image birdTexture(const BirdKind& kind) {
    Palette p;
    p.fill(kBirdBodyCell, kind.body);
    p.fill(kBirdWingCell, kind.wing);
    p.fill(kBirdTipCell, kind.tip);
    p.fill(kBirdBeakCell, kind.beak);
    p.fill(kBirdHeadCell, kind.head);
    p.fill(kBirdTailCell, kind.tail);
    return p.image;
}

// The bird in its bind pose: body along +z centred on the origin, wings
// spread flat along x (+x is its left).
Mesh birdSkin(float scale) {
    Mesh skin;
    skin.id = kBirdSkin;
    skin.name = "bird";
    skin.flags = kSkinnedMeshFlags;
    skin.materialIndex = 0;
    MeshBuilder builder(skin);
    auto ring = [scale](float x, float y, float z, float r1, float r2, const Weights& w) {
        return Ring{Vector3(x, y, z) * scale, r1 * scale, r2 * scale, w};
    };

    Tube body;
    body.axis1 = Vector3(1, 0, 0);
    body.axis2 = Vector3(0, 1, 0);
    body.sides = 6;
    const Weights b = only(kBirdBody);
    body.rings = {ring(0, 0.5f, -14, 3.0f, 0.4f, b), ring(0, 0.3f, -8, 2.2f, 1.6f, b), ring(0, 0, -2, 3.2f, 2.8f, b),
                  ring(0, 0.2f, 4, 2.8f, 2.6f, b),   ring(0, 0.8f, 7, 1.8f, 1.8f, b),   ring(0, 1.2f, 10, 2.0f, 2.0f, b),
                  ring(0, 1.0f, 12, 0.8f, 0.7f, b),  ring(0, 0.8f, 15, 0.15f, 0.15f, b)};
    body.bandCells = {kBirdTailCell, kBirdBodyCell, kBirdBodyCell, kBirdBodyCell,
                      kBirdHeadCell, kBirdHeadCell, kBirdBeakCell};
    body.firstCapCell = kBirdTailCell;
    body.lastCapCell = kBirdBeakCell;
    addTube(builder, body);

    for (int side = 0; side < 2; ++side) {
        const float s = side == 0 ? 1.0f : -1.0f;
        const int wing = side == 0 ? kLeftWing : kRightWing, tip = side == 0 ? kLeftWingTip : kRightWingTip;
        Tube t;
        // Rings run outwards from the body: along +x on the left, -x on the right.
        t.axis1 = side == 0 ? Vector3(0, 1, 0) : Vector3(0, 0, 1);
        t.axis2 = side == 0 ? Vector3(0, 0, 1) : Vector3(0, 1, 0);
        t.sides = 4;
        t.faceted = true;
        struct Section {
            float x, thickness, chord, aft;
            Weights weights;
        };
        const Section sections[] = {{kWingRootX, 0.5f, 5.5f, -0.5f, blend(kBirdBody, 0.5f, wing)},
                                    {8.0f, 0.45f, 5.0f, 0.5f, only(wing)},
                                    {kWingJointX, 0.4f, 4.2f, 1.5f, blend(wing, 0.5f, tip)},
                                    {kBaseSpan / 2, 0.2f, 2.0f, 4.5f, only(tip)}};
        for (const Section& c : sections) {
            const float r1 = side == 0 ? c.thickness : c.chord, r2 = side == 0 ? c.chord : c.thickness;
            t.rings.push_back(ring(s * c.x, kWingY, -c.aft, r1, r2, c.weights));
        }
        t.bandCells = {kBirdWingCell, kBirdWingCell, kBirdTipCell};
        t.firstCapCell = kBirdWingCell;
        t.lastCapCell = kBirdTipCell;
        addTube(builder, t);
    }
    builder.finish();
    return skin;
}

MoverModel birdModel(int index, const std::vector<Building>& buildings, const std::vector<BirdCircle>& near) {
    CityRandom random = moverRandom(3, index);
    const BirdKind& kind = kBirdKinds[index % kBirdKindCount];
    const float scale = kind.span / kBaseSpan;
    const BirdCircle circle = size_t(index) < near.size() ? near[size_t(index)] : randomCircle(buildings, random);
    const float height = circleHeight(buildings, circle) + 100.0f * float(random.unit());
    // At about kBirdSpeed, one circle in 8 to 20 seconds (a little inside,
    // so that whole wing beats keep it there).
    const float speed = kBirdSpeed * (0.8f + 0.4f * float(random.unit()));
    const float seconds = std::min(19.5f, std::max(8.5f, 2 * kPi * circle.radius / speed));
    const int beats =
        std::max(1, int(std::lround(seconds * float(kMoverFramesPerSecond) / float(kind.framesPerBeat))));
    const int frames = beats * kind.framesPerBeat;
    // +1 circles counter-clockwise seen from above (the centre on the left).
    const float direction = random.between(0, 1) ? 1.0f : -1.0f;
    const float start = 2 * kPi * float(random.unit());

    Mesh body = boneMesh(kBirdBody, "body", Vector3());
    for (int side = 0; side < 2; ++side) {
        const float s = side == 0 ? 1.0f : -1.0f;
        Mesh wing = boneMesh(side == 0 ? kLeftWing : kRightWing, side == 0 ? "leftWing" : "rightWing",
                             Vector3(s * kWingRootX, kWingY, 0) * scale);
        wing.children.add(boneMesh(side == 0 ? kLeftWingTip : kRightWingTip,
                                   side == 0 ? "leftWingTip" : "rightWingTip",
                                   Vector3(s * (kWingJointX - kWingRootX), 0, 0) * scale));
        body.children.add(wing);
    }

    Motion motion;
    MotionTrack bodyTrack, wingTracks[2], tipTracks[2];
    bodyTrack.meshId = kBirdBody;
    wingTracks[0].meshId = kLeftWing;
    wingTracks[1].meshId = kRightWing;
    tipTracks[0].meshId = kLeftWingTip;
    tipTracks[1].meshId = kRightWingTip;
    for (int k = 0; k < frames; ++k) {
        // Counter-clockwise from above is clockwise in (x, z), z being south.
        const float angle = start - direction * 2 * kPi * float(k) / float(frames);
        const float x = circle.x + circle.radius * std::cos(angle), z = circle.z + circle.radius * std::sin(angle);
        // Moving along the circle: d(x, z)/d(angle) times the sign of the turn.
        const float heading = LoopPath::headingOf(direction * std::sin(angle), -direction * std::cos(angle));
        const float beat = 2 * kPi * float(k % kind.framesPerBeat) / float(kind.framesPerBeat);
        // The body rises a little on each downstroke and banks into the turn:
        // the wing on the centre's side dips.
        const float lift = -scale * std::sin(beat);
        const Quaternion bank = axisAngle(-direction * kBank * kDegrees, 0, 0, 1);
        bodyTrack.keys.add(makeKey(yaw(heading) * bank, Vector3(x, height + lift, z)));
        const float flap = kFlap * kDegrees * std::sin(beat);
        const float tipFlap = kTipFlap * kDegrees * std::sin(beat - 0.9f);
        for (int side = 0; side < 2; ++side) {
            const float s = side == 0 ? 1.0f : -1.0f;
            const Mesh& wing = body.children[unsigned(side)];
            wingTracks[side].keys.add(makeKey(axisAngle(s * flap, 0, 0, 1), wing.bindKey.translation));
            tipTracks[side].keys.add(
                makeKey(axisAngle(s * tipFlap, 0, 0, 1), wing.children[0].bindKey.translation));
        }
    }
    motion.tracks.add(bodyTrack);
    for (int side = 0; side < 2; ++side) {
        motion.tracks.add(wingTracks[side]);
        motion.tracks.add(tipTracks[side]);
    }
    closeLoop(motion);

    MoverModel model;
    model.path = numbered(kBirdFolder, "bird", index);
    model.content.roots.add(body);
    model.content.roots.add(birdSkin(scale));
    model.content.materials.add(
        paletteMaterial(materialName("bird", index, kind.name), 8.0f, 0.12f));
    model.content.textures.add(birdTexture(kind));
    model.content.motions.add(motion);
    return model;
}

} // namespace

std::vector<MoverModel> carModels() {
    std::vector<MoverModel> models;
    for (int i = 0; i < kCarCount; ++i)
        models.push_back(carModel(i));
    return models;
}

std::vector<MoverModel> pedestrianModels() {
    std::vector<MoverModel> models;
    for (int i = 0; i < kPedestrianCount; ++i)
        models.push_back(pedestrianModel(i));
    return models;
}

std::vector<MoverModel> birdModels(const std::vector<Building>& buildings) {
    const std::vector<BirdCircle> near = nearCircles(buildings);
    std::vector<MoverModel> models;
    for (int i = 0; i < kBirdCount; ++i)
        models.push_back(birdModel(i, buildings, near));
    return models;
}

} // namespace Vantor::tools::city
