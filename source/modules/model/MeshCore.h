// The per-vertex work of meshes as plain functions over plain data, so tests
// drive it without a GL context: influence limiting, tangent generation, CPU
// skinning and the draw-order sorts.
#pragma once

#include "Core/ArrayList.h"
#include "Core/Matrix4.h"
#include "Core/RadixSort.h"
#include "modules/model/ModelTypes.h"

namespace Vantor {

// Influences each skin vertex keeps after loading.
constexpr int kInfluencesPerVertex = 4;
// Below this many keys the draw order is selection-sorted, from it radix-sorted.
constexpr unsigned kRadixSortThreshold = 32;

// Brings influences to exactly n entries. Fewer: padded with (bone 0, weight
// 0), weights kept. More: the n largest are picked one at a time (a running
// maximum from 0 replaced by every weight greater than or equal to it, so
// among equal weights the last wins), then divided by their sum unless the
// sum is below 0.0001.
void limitInfluences(ArrayList<SkinVertexBone>& influences, int n = kInfluencesPerVertex);

// Per-vertex tangents and binormals from the triangles' texture-coordinate
// gradients, accumulated over each vertex's triangles and made orthogonal to
// its normal (Gram-Schmidt). tangents and binormals are resized to the vertex
// count. Degenerate texture mappings are not guarded against (the result is
// then not a number for the vertices concerned). Triangles with an index
// outside the vertex list are skipped.
void generateTangents(const ArrayList<Vertex>& vertices, const ArrayList<Triangle>& triangles,
                      ArrayList<Vector3>& tangents, ArrayList<Vector3>& binormals);

// Skins every skin vertex on the CPU: the bind vertex bindVertices[vertexRefs[0]]
// is moved by the weighted sum of its influences' bone matrices
// (boneMatrices[bone], palette indices), the normal renormalised, and the
// result written to every vertex of vertexRefs in out (positions and normals
// only). Skin vertices without references, and references or bones out of
// range, are skipped.
void skinVertices(const ArrayList<SkinVertex>& skin, const ArrayList<Vertex>& bindVertices,
                  const Matrix4* boneMatrices, unsigned boneCount, ArrayList<Vertex>& out);

// order becomes the indices 0..keys.size-1 by increasing key. Selection sort
// (largest remaining key moved to the end, stopping once the rest is in order)
// below kRadixSortThreshold keys, a four-pass least-significant-byte radix
// sort on the keys' bit patterns from it. Keys are non-negative.
void sortByKey(const ArrayList<float>& keys, ArrayList<unsigned>& order);
void selectionSortByKey(const ArrayList<float>& keys, ArrayList<unsigned>& order);

} // namespace Vantor
