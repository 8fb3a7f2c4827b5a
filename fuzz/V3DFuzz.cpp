// libFuzzer harness for the V3D parse: each input is a model file whose first
// six bytes stand for the signature (they are skipped, so mutations are not
// spent on it). The parse may fail; a sanitizer report, or a parsed model that
// breaks its invariants (a flat table of its own meshes by id, indices inside
// their lists), is a finding. The model is then posed through its motions and
// copied, as the model cache would.
#include "modules/model/MeshCore.h"
#include "modules/model/Model.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using namespace Vantor;

void checkMesh(const Mesh& mesh) {
    for (const Triangle& t : mesh.triangles)
        for (int corner : t.v)
            if (corner < 0 || unsigned(corner) >= mesh.vertices.size)
                std::abort();
    for (const SkinVertex& skin : mesh.skinVertices) {
        if (skin.influences.size != unsigned(kInfluencesPerVertex))
            std::abort();
        for (int ref : skin.vertexRefs)
            if (ref < 0 || unsigned(ref) >= mesh.vertices.size)
                std::abort();
    }
    for (const Edge& edge : mesh.shadowMesh.edges)
        if (edge.v0 < 0 || unsigned(edge.v0) >= mesh.shadowMesh.positions.size || edge.v1 < 0 ||
            unsigned(edge.v1) >= mesh.shadowMesh.positions.size)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < size_t(kV3DSignatureLength))
        return 0;
    ByteReader reader(data + kV3DSignatureLength, size - kV3DSignatureLength);
    Model model;
    V3DContent content;
    if (!model.parse(reader, 1, content)) {
        if (model.meshes.size != 0 || model.roots.size != 0 || !reader.hasFault())
            std::abort();
        return 0;
    }
    for (unsigned i = 0; i < model.meshes.size; ++i) {
        if (!model.meshes[i] || model.meshes[i]->id != int(i))
            std::abort();
        checkMesh(*model.meshes[i]);
    }
    model.addInstance();
    for (Motion& motion : model.motions)
        for (float time : {0.0f, 1.5f, 99.25f})
            motion.apply(model, time, true);
    Model copy(model);
    copy.update(true);
    return 0;
}
