// The plain records of model geometry, shared by the V3D reader and writer,
// meshes, skinning and shadow volumes. Each has exactly the layout of its
// record in a V3D file (no padding), so lists of them can be handed to GL
// or copied bytewise.
#pragma once

#include "Core/ArrayList.h"
#include "Core/Vector3.h"

#include <type_traits>

namespace Vantor {

// Position, normal and one texture coordinate: 32 bytes.
struct Vertex {
    Vector3 position;
    Vector3 normal;
    float u = 0.0f;
    float v = 0.0f;
};

// Three vertex indices and the face normal: 24 bytes.
struct Triangle {
    int v[3] = {0, 0, 0};
    Vector3 normal;
};

// One influence on a skinned vertex: a bone (a mesh id as read from the
// file, a palette index once the mesh's bones are resolved) and its weight.
struct SkinVertexBone {
    int bone = 0;
    float weight = 0.0f;
};

// One skinned position: its influences and the vertices that take it
// (vertices duplicated along texture seams share one skin vertex).
struct SkinVertex {
    ArrayList<SkinVertexBone> influences;
    ArrayList<int> vertexRefs;
};

static_assert(sizeof(Vertex) == 32, "Vertex must match its 32-byte file record");
static_assert(sizeof(Triangle) == 24, "Triangle must match its 24-byte file record");
static_assert(std::is_trivially_copyable<Vertex>::value && std::is_trivially_copyable<Triangle>::value,
              "geometry records are copied bytewise");

} // namespace Vantor
