// Model at run time: copies, updates, skinning, draw order, boxes, scaling,
// rendering with the triangle counters, instances, and playing motions.
#include "modules/model/Model.h"

#include "modules/model/MeshCore.h"
#include "modules/occlusion/OcclusionCuller.h"

#include <GL/glew.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace Vantor {

namespace {

// The start values of the model box: a model whose meshes have no vertices keeps them.
const Vector3 kBoxStartMin(1e7f, 1e8f, 1e7f);
const Vector3 kBoxStartMax(-1e7f, -1e8f, -1e7f);

void placeInTable(Mesh& mesh, ArrayList<Mesh*>& table) {
    if (mesh.id >= 0 && unsigned(mesh.id) < table.size)
        table[unsigned(mesh.id)] = &mesh;
    for (Mesh& child : mesh.children)
        placeInTable(child, table);
}

} // namespace

Model::Model() : randomPhase(std::rand() % 100) {}

Model::Model(const Model& other) { *this = other; }

Model& Model::operator=(const Model& other) {
    if (this == &other)
        return *this;
    flags = other.flags;
    baseKey = other.baseKey;
    dirty = other.dirty;
    baseMatrix = other.baseMatrix;
    roots = other.roots;
    materials = other.materials;
    motions = other.motions;
    boxMin = other.boxMin;
    boxMax = other.boxMax;
    drawOrder = other.drawOrder;
    sortKeys = other.sortKeys;
    randomPhase = other.randomPhase;
    hasSkinned = other.hasSkinned;
    instances = other.instances;
    currentMotion = other.currentMotion;
    currentInstance = other.currentInstance;
    relinkFrom(other);
    return *this;
}

void Model::relinkFrom(const Model& other) {
    meshes.clear();
    meshes.resize(other.meshes.size);
    for (unsigned i = 0; i < meshes.size; ++i)
        meshes[i] = nullptr;
    for (Mesh& root : roots)
        placeInTable(root, meshes);
    for (Mesh* mesh : meshes) {
        if (!mesh)
            continue;
        mesh->model = this;
        // The copied bone pointers still point into other; map them by id.
        for (Mesh*& bone : mesh->bones)
            bone = (bone && unsigned(bone->id) < meshes.size) ? meshes[unsigned(bone->id)] : nullptr;
    }
    for (ModelInstance& record : instances)
        record.model = this;
}

ModelInstance* Model::instance() {
    if (currentInstance < 0 || unsigned(currentInstance) >= instances.size)
        return nullptr;
    return &instances[unsigned(currentInstance)];
}

int Model::addInstance() {
    ModelInstance record;
    record.model = this;
    instances.add(record);
    for (Mesh* mesh : meshes)
        if (mesh)
            mesh->instances.add(MeshInstance());
    return int(instances.size) - 1;
}

void Model::update(bool) {
    baseMatrix = baseKey.toMatrix();
    dirty = false;
    for (Mesh& root : roots)
        root.updateWorld(baseMatrix, true);
}

void Model::skin() {
    for (Mesh* mesh : meshes)
        if (mesh)
            mesh->skin();
}

void Model::sortMeshes() {
    Matrix4 current;
    glGetFloatv(GL_CURRENT_MATRIX_ARB, current.m);
    sortKeys.resize(meshes.size);
    for (unsigned i = 0; i < meshes.size; ++i) {
        const Mesh& mesh = *meshes[i];
        Vector3 centre = (mesh.boxMin + mesh.boxMax) * 0.5f;
        const Matrix4 toEye = current * mesh.world;
        toEye.transformPoint(centre);
        sortKeys[i] = std::fabs(centre.z);
    }
    orderByKeys();
}

void Model::orderByKeys() { sortByKey(sortKeys, drawOrder); }

void Model::computeBox() {
    if (meshes.size == 0) {
        boxMin = boxMax = Vector3();
        return;
    }
    boxMin = kBoxStartMin;
    boxMax = kBoxStartMax;
    for (const Mesh* mesh : meshes) {
        const bool skinned = (mesh->flags & kMeshSkinned) != 0;
        for (const Vertex& vertex : mesh->vertices) {
            Vector3 p = vertex.position;
            if (!skinned)
                mesh->world.transformPoint(p);
            Vector3::accumulateBounds(p, boxMin, boxMax);
        }
    }
}

void Model::scale(float factor) {
    for (Mesh* mesh : meshes) {
        for (Vertex& vertex : mesh->vertices)
            vertex.position = vertex.position * factor;
        for (Vertex& vertex : mesh->bindVertices)
            vertex.position = vertex.position * factor;
        mesh->boxMin = mesh->boxMin * factor;
        mesh->boxMax = mesh->boxMax * factor;
        for (Plane& plane : mesh->planes)
            plane.d *= factor;
        mesh->bindKey.translation = mesh->bindKey.translation * factor;
        mesh->bindLocal = mesh->bindKey.toMatrix();
    }
    for (Motion& motion : motions)
        for (MotionTrack& track : motion.tracks)
            for (Key& key : track.keys)
                key.translation = key.translation * factor;
    baseKey.translation = baseKey.translation * factor;
    poseBind();
    computeBox();
}

void Model::render(int mode, int light, int pass, bool skipCulling) {
    // The counts are the files' own, invisible meshes included (a negative
    // count of a damaged file adds nothing).
    int total = 0;
    for (const Mesh* mesh : meshes)
        total += std::max(0, mesh->triangleCount);
    totalTriangles += total;

    ModelInstance* record = instance();
    if (!skipCulling && record)
        record->occluded = instanceCulled(*record);
    if (!skipCulling && record && record->occluded) {
        drawnTriangles += 1;
        return;
    }
    update(false);

    const bool sorted = record && record->flags != 0 && meshes.size <= kMaxSortedMeshes;
    if (sorted)
        sortMeshes();
    for (unsigned i = 0; i < meshes.size; ++i) {
        Mesh* mesh = meshes[sorted ? drawOrder[i] : i];
        mesh->render(mode, light, pass);
        const MeshInstance* meshRecord = mesh->currentInstance();
        if (!meshRecord || !meshRecord->occluded)
            drawnTriangles += std::max(0, mesh->triangleCount);
    }
}

bool Model::instanceCulled(ModelInstance& record) const {
    if ((record.flags & kInstanceCullTest) != kInstanceCullTest || !record.occlusion)
        return false;
    const float* extra = record.hasExtraSize ? record.extraSize : nullptr;
    return record.occlusion->isOccludedFromGL(boxMin, boxMax, extra, true, &record.test);
}

void Motion::apply(Model& model, float time, bool interpolate) {
    if (frameCount <= 0)
        return;
    const int frame = int(std::floor(time));
    const float fraction = time - float(frame);
    for (const MotionTrack& track : tracks) {
        if (track.meshId < 0 || unsigned(track.meshId) >= model.meshes.size || track.keys.size == 0)
            continue;
        const int d = ((frame % frameCount) + frameCount) % frameCount;
        Key key = track.keys[unsigned(d)];
        if (interpolate) {
            const unsigned next = d + 1 < frameCount ? unsigned(d + 1) : 0u;
            key = interpolateKey(key, track.keys[next], fraction);
        }
        model.meshes[unsigned(track.meshId)]->setKey(key);
    }
    model.update(false);
}

} // namespace Vantor
