// Mesh: one node of a model's mesh tree, with its geometry, skinning data,
// transforms, material and the per-instance shadow records.
//
// A mesh's children are owned by value; pointers to meshes (the model's flat
// table, a skinned mesh's bones) always point into the model that owns the
// tree and are re-pointed by the model when it is copied. The vertex array is
// shared between copies. Everything up to the vertex array is plain data
// built by the file parse without GL; buildVertexArray, skin, hardwareSkin,
// render and the shadow entry points are the GL edge.
#pragma once

#include "Core/ArrayList.h"
#include "Core/ByteReader.h"
#include "Core/Matrix4.h"
#include "Core/Object.h"
#include "Core/Plane.h"
#include "Core/String.h"
#include "Core/VertexArray.h"
#include "modules/model/Animation.h"
#include "modules/model/ModelTypes.h"
#include "modules/model/ShadowVolume.h"

namespace Vantor {

class Material;
class Model;
class OcclusionCuller;

// Bits of Mesh::flags, kept as the file gives them.
constexpr int kMeshSkinned = 1 << 0;
constexpr int kMeshColourMaterial = 1 << 1;
constexpr int kMeshHasTexCoords = 1 << 3;
constexpr int kMeshCastsShadows = 1 << 4;
constexpr int kMeshLitPerLight = 1 << 5;
// A mesh not lit per light that the base pass draws whole, instead of the
// ambient pass: for opaque meshes whose pass 0 program gives their final
// colour without the fixed-function lights. Their depth, laid down before the
// light passes, keeps the lit surfaces they hide out of those passes. Meshes
// lit per light ignore it.
constexpr int kMeshUnlitInBasePass = 1 << 6;

// Bits of the render mode of Mesh::render and Model::render.
constexpr int kRenderPositionsOnly = 1;
constexpr int kRenderPerLight = 2;
constexpr int kRenderAmbient = 4;

// A skinning program's palette holds this many bones; more fall back to CPU skinning.
constexpr int kMaxHardwareBones = 30;
// Palette rows (four floats each) per bone: the rows of its skin matrix.
constexpr int kPaletteRowsPerBone = 3;
// Texture-coordinate sets of a hardware-skinned mesh and of tangents.
constexpr int kBoneIndexSet = 2;
constexpr int kBoneWeightSet = 3;
constexpr int kUnusedSkinSet = 1;
constexpr int kTangentSet = 4;
// A mesh tree deeper than this is refused by the parse, so reading and
// walking it cannot exhaust the stack.
constexpr int kMaxMeshDepth = 256;

class Mesh {
public:
    int id = 0;
    int flags = 0;
    int materialIndex = 0;
    ArrayList<Vertex> vertices;
    ArrayList<Triangle> triangles;
    Key currentKey;
    ArrayList<Mesh> children;
    bool visible = true;
    float colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    ArrayList<SkinVertex> skinVertices;
    String name;
    ArrayList<Plane> planes;
    Vector3 boxMin;
    Vector3 boxMax;
    // The bind-pose vertices CPU skinning starts from (skinned meshes only).
    ArrayList<Vertex> bindVertices;
    SPtr<VAObject> vertexArray;
    Material* material = nullptr;
    bool localChanged = true;
    Matrix4 skinMatrix;
    Matrix4 bindLocal;
    Matrix4 bindWorld;
    Matrix4 inverseBindWorld;
    Matrix4 currentLocal;
    Matrix4 world;
    int skinProgram = 0;
    bool hardwareSkinning = false;
    int weightSet = kBoneWeightSet;
    int indexSet = kBoneIndexSet;
    // The distinct bone meshes in first-use order; a bone's place here is its palette index.
    ArrayList<Mesh*> bones;
    // The skin vertices with the bone mesh ids as read.
    ArrayList<SkinVertex> fileSkinVertices;
    ShadowMesh shadowMesh;
    // One per model instance, at the instance's index.
    ArrayList<MeshInstance> instances;
    Model* model = nullptr;
    bool needsTangents = false;
    // The key of the file: the bind pose relative to the parent.
    Key bindKey;
    // Vertex and triangle counts of the file's record header.
    int vertexCount = 0;
    int triangleCount = 0;

    virtual ~Mesh() = default;

    // Reads one mesh record and its subtree (depth is this mesh's depth in the
    // tree), appending progress lines to log. False with reader's fault set
    // on a short read, a count the remaining bytes cannot hold, an index
    // outside its list or a tree deeper than kMaxMeshDepth. No GL.
    bool read(ByteReader& reader, int skinProgram, ArrayList<String>& log, int depth = 0);

    // world = parent * currentLocal when forced or changed; skinMatrix = world *
    // inverseBindWorld always; then the children.
    void updateWorld(const Matrix4& parentWorld, bool force);
    void computeBindPose(const Matrix4& parentBindWorld);
    void setKey(const Key& key);
    void setMaterial(Material* newMaterial);
    // Looks each influence's bone up by its file id in table and stores its
    // palette index; more than kMaxHardwareBones bones turn hardware skinning off.
    // False when an id has no mesh in table (nothing is changed then).
    bool resolveBones(const ArrayList<Mesh*>& table);
    void computeBox();

    // GL edge.
    void buildVertexArray();
    void skin();
    void hardwareSkin();
    void render(int mode, int light, int pass);
    // Rasterises the triangles into the culler's buffer when the mesh is big
    // and near enough to hide others, unless memo (or null) says they are in
    // it already.
    void addToOccluder(OcclusionCuller& culler, OcclusionMemo* memo = nullptr);
    void updateShadow(const Vector3& eye, const ShadowLight& light);
    void rebuildShadow(const ShadowLight& light);
    void drawShadow(const ShadowLight& light, bool capped);

    // The shadow record of the model's current instance for light index, or
    // null when there is none.
    ShadowVolume* shadowVolume(int lightIndex);
    // The mesh instance of the model's current instance, or null.
    MeshInstance* currentInstance();
};

} // namespace Vantor
