// What the city's cars, pedestrians and birds share (declared in
// CityMoverParts.h): palette textures, keys and bones, blocks and tubes, and
// the closed paths the movers follow.
#include "city/CityMoverParts.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace Vantor::tools::city::movers {

// ---------------------------------------------------------------------------
// Palette textures

Rgb shade(Rgb c, float f) {
    auto channel = [f](int v) { return std::min(255, std::max(0, int(std::lround(float(v) * f)))); };
    return {channel(c.r), channel(c.g), channel(c.b)};
}

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

Quaternion yaw(float heading) { return axisAngle(heading, 0, 1, 0); }

Key makeKey(const Quaternion& rotation, const Vector3& translation) {
    Key key;
    key.rotation = rotation;
    key.translation = translation;
    return key;
}

void closeLoop(Motion& motion) {
    int frames = 0;
    for (MotionTrack& track : motion.tracks) {
        const Key first = track.keys[0];
        track.keys.add(first);
        frames = int(track.keys.size);
    }
    motion.frameCount = frames;
}

CityRandom moverRandom(std::uint64_t group, int index) {
    std::uint64_t z = kCitySeed ^ (group << 32) ^ (std::uint64_t(index) * 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return CityRandom(z ^ (z >> 31));
}

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

Weights only(int bone) {
    Weights w;
    w.bones[0] = bone;
    w.weights[0] = 1.0f;
    w.count = 1;
    return w;
}

Weights blend(int a, float weight, int b) {
    Weights w;
    w.bones[0] = a;
    w.weights[0] = weight;
    w.bones[1] = b;
    w.weights[1] = 1.0f - weight;
    w.count = 2;
    return w;
}

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

LoopPath::LoopPath(const std::vector<Corner>& corners) {
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

PathPoint LoopPath::at(float distance) const {
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

float blockWest(int bx) { return float(bx) * kBlockPeriod; }
float blockSouth(int bz) { return -float(bz) * kBlockPeriod; }

void insetCorners(int bx0, int bz0, int bx1, int bz1, float inset, float (&x)[4], float (&z)[4]) {
    const float west = blockWest(bx0) + inset, east = blockWest(bx1 + 1) - inset;
    const float south = blockSouth(bz0) - inset, north = blockSouth(bz1 + 1) + inset;
    const float xs[4] = {west, west, east, east}, zs[4] = {south, north, north, south};
    for (int k = 0; k < 4; ++k) {
        x[k] = xs[k];
        z[k] = zs[k];
    }
}

} // namespace Vantor::tools::city::movers
