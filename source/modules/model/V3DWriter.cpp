// The V3D writer: an in-memory model written to the file format byte for
// byte, for tests and the generators of the city's models. It writes what it
// is given; the counts of each record come from the lists themselves.
#include "modules/model/Model.h"

#include <cmath>

namespace Vantor {

namespace {

void writeKey(ByteWriter& out, const Key& key) {
    out.writeFloat(key.rotation.w);
    out.writeFloat(key.rotation.x);
    out.writeFloat(key.rotation.y);
    out.writeFloat(key.rotation.z);
    out.writeFloat(key.translation.x);
    out.writeFloat(key.translation.y);
    out.writeFloat(key.translation.z);
}

// Four components in [0, 1] packed red in the lowest byte.
void writeColour(ByteWriter& out, const float* colour) {
    uint32_t packed = 0;
    for (int i = 0; i < 4; ++i) {
        float c = colour[i] < 0.0f ? 0.0f : (colour[i] > 1.0f ? 1.0f : colour[i]);
        packed |= uint32_t(std::lround(c * 255.0f)) << (8 * i);
    }
    out.writeInt(int(packed));
}

void writeMesh(ByteWriter& out, const Mesh& mesh) {
    out.writeInt(mesh.id);
    out.writeInt(mesh.flags);
    out.writeInt(mesh.materialIndex);
    out.writeInt(int(mesh.vertices.size));
    out.writeInt(int(mesh.triangles.size));
    out.writeInt(int(mesh.children.size));
    out.writeInt(int(mesh.skinVertices.size));
    out.writeString(mesh.name);
    writeKey(out, mesh.bindKey);
    out.writeInt(mesh.visible ? 1 : 0);
    writeColour(out, mesh.colour);
    out.writeInt(int(mesh.planes.size));
    for (const Plane& plane : mesh.planes) {
        out.writeFloat(plane.a);
        out.writeFloat(plane.b);
        out.writeFloat(plane.c);
        out.writeFloat(plane.d);
    }
    const float box[6] = {mesh.boxMin.x, mesh.boxMin.y, mesh.boxMin.z, mesh.boxMax.x, mesh.boxMax.y, mesh.boxMax.z};
    for (float f : box)
        out.writeFloat(f);
    if (mesh.visible) {
        for (const Vertex& v : mesh.vertices) {
            const float f[8] = {v.position.x, v.position.y, v.position.z, v.normal.x, v.normal.y, v.normal.z, v.u, v.v};
            for (float x : f)
                out.writeFloat(x);
        }
        for (const Triangle& t : mesh.triangles) {
            for (int corner : t.v)
                out.writeInt(corner);
            out.writeFloat(t.normal.x);
            out.writeFloat(t.normal.y);
            out.writeFloat(t.normal.z);
        }
    }
    for (const SkinVertex& skin : mesh.skinVertices) {
        out.writeInt(int(skin.influences.size));
        out.writeInt(int(skin.vertexRefs.size));
        for (const SkinVertexBone& influence : skin.influences) {
            out.writeInt(influence.bone);
            out.writeFloat(influence.weight);
        }
        for (int ref : skin.vertexRefs)
            out.writeInt(ref);
    }
    for (const Mesh& child : mesh.children)
        writeMesh(out, child);
}

void writeMaterial(ByteWriter& out, const Material& material) {
    out.writeString(material.name);
    out.writeInt(int(material.textures.size));
    out.writeFloat(material.auxValue);
    // The file keeps the exponent e of shininess = 2^(7e).
    out.writeFloat(material.shininess > 0.0f ? float(std::log2(double(material.shininess)) / 7.0) : 0.0f);
    writeColour(out, material.diffuse);
    writeColour(out, material.specular);
    writeColour(out, material.auxColour);
    for (const MatTex& slot : material.textures) {
        out.writeInt(slot.type);
        out.writeInt(slot.textureIndex);
        out.writeInt(slot.stored);
    }
}

} // namespace

void writeV3D(const V3DContent& content, ByteWriter& out) {
    out.writeBytes(kV3DSignature, kV3DSignatureLength);
    out.writeInt(int(content.roots.size));
    out.writeInt(int(content.materials.size));
    out.writeInt(int(content.textures.size));
    out.writeInt(int(content.motions.size));
    for (const Mesh& root : content.roots)
        writeMesh(out, root);
    for (const Material& material : content.materials)
        writeMaterial(out, material);
    for (const Image& image : content.textures) {
        out.writeInt(image.channels);
        out.writeInt(image.width);
        out.writeInt(image.height);
        out.writeBytes(image.data, size_t(image.size));
    }
    for (const Motion& motion : content.motions) {
        out.writeInt(int(motion.tracks.size));
        for (const MotionTrack& track : motion.tracks) {
            out.writeInt(track.meshId);
            out.writeInt(int(track.keys.size));
            for (const Key& key : track.keys)
                writeKey(out, key);
        }
    }
}

} // namespace Vantor
