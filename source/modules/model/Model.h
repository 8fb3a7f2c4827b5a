// Model, Motion and ModelInstance: a loaded V3D model with its mesh tree,
// materials, motions and instances.
//
// A Model is copyable (the model cache stores models by value); a copy
// re-points its flat mesh table, the bones of its skinned meshes and the back
// pointers of meshes and instances at its own meshes. Loading is split in two:
// parse (bytes in, meshes, motions and the file's materials and images out,
// no GL) and the GL edge that adds the materials and textures to the shared
// tables and builds the vertex arrays.
#pragma once

#include "Core/ArrayList.h"
#include "Core/ByteReader.h"
#include "Core/String.h"
#include "Core/textures/Image.h"
#include "modules/Material/Material.h"
#include "modules/model/Mesh.h"

namespace Vantor {

class OcclusionCuller;

constexpr char kV3DSignature[] = "V3D013";
constexpr int kV3DSignatureLength = 6;
// A motion without tracks has this many frames.
constexpr int kMotionNoFrames = 100000;
// Models with more meshes than this are drawn unsorted.
constexpr unsigned kMaxSortedMeshes = 1024;
// Model scale applied after loading; nothing changes it.
constexpr float kModelScaleFactor = 1.0f;
// Bits of ModelInstance::flags that together ask for the frustum and occlusion test.
constexpr int kInstanceCullTest = 1 | 4;

// One key per frame for one mesh.
struct MotionTrack {
    int meshId = 0;
    ArrayList<Key> keys;
};

class Motion {
public:
    ArrayList<MotionTrack> tracks;
    int frameCount = kMotionNoFrames;

    // Reads one motion record; false with reader's fault set on a short read.
    bool read(ByteReader& reader);
    // Poses the model at time (frames): every track whose mesh id is in the
    // model's table takes key (frame mod frameCount), interpolated towards the
    // next key (the first after the last) when interpolate is set; then the
    // model is updated.
    void apply(Model& model, float time, bool interpolate);
};

// A model's placement in the scene for one reference of the model cache,
// and how it is culled: with both bits of kInstanceCullTest in flags and a
// culler set by the scene, the model is frustum- and occlusion-tested as a
// whole and then mesh by mesh, and its meshes marked as occluders are drawn
// into the culler's buffer.
struct ModelInstance {
    Model* model = nullptr;
    int flags = 0;
    OcclusionCuller* occlusion = nullptr;
    bool occluded = false;
    // Grows the model's box on each axis for its test when hasExtraSize is set.
    bool hasExtraSize = false;
    float extraSize[3] = {0.0f, 0.0f, 0.0f};
    // The last test, which the later passes of a frame take while the
    // culler's buffer stays the same.
    OcclusionMemo test;
};

// What a V3D file holds besides meshes and motions, and the progress lines of
// its parse. Material texture slots hold texture indices into textures.
struct V3DContent {
    ArrayList<Mesh> roots;
    ArrayList<Material> materials;
    ArrayList<Image> textures;
    ArrayList<Motion> motions;
    ArrayList<String> log;
};

// Parses the bytes after the signature into content: meshes (influences
// limited to four, bind vertices kept, shadow connectivity built), material
// records, RAW images and motions. Every count is checked against the bytes
// that remain before anything is allocated, and every index (triangle
// corners, skin-vertex references, influence bones, material texture slots)
// against its list. False with reader's fault set. No GL.
bool parseV3D(ByteReader& reader, int skinProgram, V3DContent& content);

// Writes content as a V3D file, signature first, counts taken from the lists.
// Invisible meshes are written without their vertex and triangle records.
void writeV3D(const V3DContent& content, ByteWriter& out);

class Model {
public:
    int flags = 1;
    Key baseKey;
    bool dirty = true;
    Matrix4 baseMatrix;
    ArrayList<Mesh> roots;
    ArrayList<Material*> materials;
    ArrayList<Motion> motions;
    // Every mesh of the tree at the index of its id.
    ArrayList<Mesh*> meshes;
    Vector3 boxMin;
    Vector3 boxMax;
    ArrayList<unsigned> drawOrder;
    ArrayList<float> sortKeys;
    int randomPhase = 0;
    bool hasSkinned = false;
    ArrayList<ModelInstance> instances;
    int currentMotion = 0;
    // The instance render and the shadow entry points work on.
    int currentInstance = 0;

    // Triangles drawn and triangles offered since the counters were last reset.
    static inline int drawnTriangles = 0;
    static inline int totalTriangles = 0;

    Model();
    Model(const Model& other);
    Model& operator=(const Model& other);
    virtual ~Model() = default;

    // Loads a V3D file. False when it cannot be opened or is broken (one log
    // line names the fault and its byte offset; nothing of the model is kept);
    // throws Exception on a wrong signature.
    bool load(const char* fileName, int skinProgram);
    // The body of load after the signature: parse, then the GL edge.
    bool read(ByteReader& reader, int skinProgram);
    // The pure part of read: parses into this model's meshes and motions and
    // builds the flat table; the file's materials and images are left in
    // content. On failure the model is cleared. Lines for the log are added
    // to content.log.
    bool parse(ByteReader& reader, int skinProgram, V3DContent& content);
    // Builds the flat mesh table from the ids and resolves the bones of skinned meshes.
    bool genMeshPointers(ArrayList<String>& log);
    void clear();

    void update(bool force);
    void skin();
    void sortMeshes();
    // The draw order for these sort keys (one per mesh of the flat table).
    void orderByKeys();
    void computeBox();
    void scale(float factor);
    void render(int mode, int light, int pass, bool skipCulling);
    int addInstance();

    // The current instance's record, or null when there is none.
    ModelInstance* instance();
    // The culling test of record against its culler with the current GL
    // matrices; false when the record asks for none.
    bool instanceCulled(ModelInstance& record) const;

private:
    // Re-points the flat table, bones and back pointers after a copy from other.
    void relinkFrom(const Model& other);
    // Steps after the parse that need no file: keys, world and bind transforms.
    void poseBind();
};

} // namespace Vantor
