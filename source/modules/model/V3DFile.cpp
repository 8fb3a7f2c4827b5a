// The V3D parse: mesh records with their subtrees, material records, RAW
// images and motions, read from bytes in memory without GL.
//
// Nothing is allocated for a list before the bytes that remain are known to
// hold it, and every index is checked against the list it indexes, so a
// broken or hostile file ends in a clean false with the fault and its byte
// offset recorded in the reader.
#include "Core/textures/TextureManager.h"
#include "modules/model/MeshCore.h"
#include "modules/model/Model.h"

#include <cmath>

namespace Vantor {

namespace {

// The smallest mesh record: seven header ints, an empty name, the key, the
// visible flag, the colour, an empty plane list and the box.
constexpr size_t kMinMeshRecordBytes = 7 * 4 + 4 + 28 + 4 + 4 + 4 + 24;
constexpr size_t kKeyBytes = 28;
constexpr size_t kVertexBytes = 32;
constexpr size_t kTriangleBytes = 24;
constexpr size_t kPlaneBytes = 16;
constexpr size_t kInfluenceBytes = 8;
constexpr size_t kSkinVertexHeaderBytes = 8;
constexpr size_t kTrackHeaderBytes = 8;
constexpr size_t kMinMaterialRecordBytes = 4 + 4 + 4 + 4 + 3 * 4;
constexpr size_t kRawHeaderBytes = 12;
// A file adds at most this many entries to each shared table, whatever else is loaded.
constexpr int kMaxFileMaterials = kMaxMaterials;
constexpr int kMaxFileTextures = textureTableSize;

bool readKey(ByteReader& reader, Key& key) {
    float f[7];
    if (!reader.readFloats(f, 7))
        return false;
    key.rotation = Quaternion(f[0], f[1], f[2], f[3]);
    key.translation = Vector3(f[4], f[5], f[6]);
    return true;
}

bool readColour(ByteReader& reader, float* colour) {
    uint32_t packed = 0;
    if (!reader.readUInt(packed))
        return false;
    for (int i = 0; i < 4; ++i)
        colour[i] = float((packed >> (8 * i)) & 0xFF) / 255.0f;
    return true;
}

// A record count: negative counts read nothing; a count the remaining bytes
// cannot hold at recordBytes each is a fault.
bool readCount(ByteReader& reader, size_t recordBytes, int& count, const char* what) {
    if (!reader.readInt(count))
        return reader.fail(what);
    if (count < 0)
        count = 0;
    if (!reader.canHold(count, recordBytes))
        return reader.fail("a count exceeds the bytes left in the file");
    return true;
}

bool readSkinVertex(ByteReader& reader, int vertexTotal, SkinVertex& skin) {
    int influenceCount = 0;
    int refCount = 0;
    if (!reader.readInt(influenceCount) || !reader.readInt(refCount))
        return reader.fail("truncated skin vertex");
    influenceCount = influenceCount < 0 ? 0 : influenceCount;
    refCount = refCount < 0 ? 0 : refCount;
    if (!reader.canHold(influenceCount, kInfluenceBytes) ||
        !reader.canHold((long long)influenceCount * kInfluenceBytes + (long long)refCount * 4, 1))
        return reader.fail("a skin vertex count exceeds the bytes left in the file");
    skin.influences.resize(unsigned(influenceCount));
    for (SkinVertexBone& influence : skin.influences) {
        reader.readInt(influence.bone);
        reader.readFloat(influence.weight);
    }
    skin.vertexRefs.resize(unsigned(refCount));
    for (int& ref : skin.vertexRefs) {
        const size_t at = reader.offset();
        reader.readInt(ref);
        if (ref < 0 || ref >= vertexTotal)
            return reader.failAt(at, "skin vertex reference out of range");
    }
    return true;
}

// Every influence of every mesh names a mesh of the file.
bool checkBones(const ArrayList<Mesh>& meshes, int meshTotal) {
    for (const Mesh& mesh : meshes) {
        for (const SkinVertex& skin : mesh.skinVertices)
            for (const SkinVertexBone& influence : skin.influences)
                if (influence.bone < 0 || influence.bone >= meshTotal)
                    return false;
        if (!checkBones(mesh.children, meshTotal))
            return false;
    }
    return true;
}

int countMeshes(const ArrayList<Mesh>& meshes) {
    int total = 0;
    for (const Mesh& mesh : meshes)
        total += 1 + countMeshes(mesh.children);
    return total;
}

bool readImage(ByteReader& reader, Image& image) {
    int channels = 0, width = 0, height = 0;
    if (!reader.readInt(channels) || !reader.readInt(width) || !reader.readInt(height))
        return reader.fail("truncated texture header");
    if (channels < 1 || channels > maxImageChannels || width < 0 || width > maxImageDimension || height < 0 ||
        height > maxImageDimension)
        return reader.fail("texture size out of range");
    const long long bytes = (long long)channels * width * height;
    if (!reader.canHold(bytes, 1))
        return reader.fail("texture pixels exceed the bytes left in the file");
    if (!image.allocate(channels, width, height))
        return reader.fail("texture size out of range");
    reader.readBytes(image.data, size_t(bytes));
    return true;
}

} // namespace

bool Mesh::read(ByteReader& reader, int program, ArrayList<String>& log, int depth) {
    if (depth >= kMaxMeshDepth)
        return reader.fail("mesh tree too deep");
    int childCount = 0;
    int skinVertexCount = 0;
    // Faults in the counts are reported at the count's own field.
    const size_t headerAt = reader.offset();
    const size_t vertexCountAt = headerAt + 12, triangleCountAt = headerAt + 16, childCountAt = headerAt + 20,
                 skinCountAt = headerAt + 24;
    if (!reader.readInt(id) || !reader.readInt(flags) || !reader.readInt(materialIndex) ||
        !reader.readInt(vertexCount) || !reader.readInt(triangleCount) || !reader.readInt(childCount) ||
        !reader.readInt(skinVertexCount))
        return reader.fail("truncated mesh header");
    if (!reader.readString(name))
        return reader.fail("bad mesh name length");
    String line("Name : ");
    line.append(name);
    log.add(line);

    if (!readKey(reader, bindKey))
        return reader.fail("truncated mesh key");
    bindLocal = bindKey.toMatrix();
    setKey(bindKey);

    int visibleFlag = 0;
    if (!reader.readInt(visibleFlag))
        return reader.fail("truncated mesh record");
    visible = visibleFlag != 0;
    String visibility;
    visibility.appendFormat(visible ? "Mesh %d is visible" : "Mesh %d is not visible", id);
    log.add(visibility);
    if (!readColour(reader, colour))
        return reader.fail("truncated mesh colour");

    int planeCount = 0;
    if (!readCount(reader, kPlaneBytes, planeCount, "truncated plane count"))
        return false;
    planes.resize(unsigned(planeCount));
    for (Plane& plane : planes)
        reader.readFloats(&plane.a, 4);
    float box[6];
    if (!reader.readFloats(box, 6))
        return reader.fail("truncated bounding box");
    boxMin = Vector3(box[0], box[1], box[2]);
    boxMax = Vector3(box[3], box[4], box[5]);

    if (visible) {
        const int verticesToRead = vertexCount < 0 ? 0 : vertexCount;
        if (!reader.canHold(verticesToRead, kVertexBytes))
            return reader.failAt(vertexCountAt, "vertex count exceeds the bytes left in the file");
        vertices.resize(unsigned(verticesToRead));
        for (Vertex& vertex : vertices)
            reader.readFloats(&vertex.position.x, 8);
        const int trianglesToRead = triangleCount < 0 ? 0 : triangleCount;
        if (!reader.canHold(trianglesToRead, kTriangleBytes))
            return reader.failAt(triangleCountAt, "triangle count exceeds the bytes left in the file");
        triangles.resize(unsigned(trianglesToRead));
        for (Triangle& triangle : triangles) {
            const size_t at = reader.offset();
            for (int& corner : triangle.v)
                reader.readInt(corner);
            reader.readFloats(&triangle.normal.x, 3);
            for (int corner : triangle.v)
                if (corner < 0 || unsigned(corner) >= vertices.size)
                    return reader.failAt(at, "triangle vertex index out of range");
        }
    }

    if (skinVertexCount < 0)
        skinVertexCount = 0;
    if (!reader.canHold(skinVertexCount, kSkinVertexHeaderBytes))
        return reader.failAt(skinCountAt, "skin vertex count exceeds the bytes left in the file");
    skinVertices.resize(unsigned(skinVertexCount));
    for (SkinVertex& skin : skinVertices)
        if (!readSkinVertex(reader, int(vertices.size), skin))
            return false;

    if (childCount < 0)
        childCount = 0;
    if (!reader.canHold(childCount, kMinMeshRecordBytes))
        return reader.failAt(childCountAt, "child count exceeds the bytes left in the file");
    if (childCount > 0 && depth + 1 >= kMaxMeshDepth)
        return reader.fail("mesh tree too deep");
    children.resize(unsigned(childCount));
    for (Mesh& child : children)
        if (!child.read(reader, program, log, depth + 1))
            return false;

    if (flags & kMeshSkinned)
        skinProgram = program;
    if (triangleCount == 0 || vertexCount == 0)
        visible = false;
    for (SkinVertex& skin : skinVertices)
        limitInfluences(skin.influences, kInfluencesPerVertex);
    if (flags & kMeshSkinned) {
        bindVertices = vertices;
        fileSkinVertices = skinVertices;
    }
    if (vertices.size > 0 && triangles.size > 0)
        shadowMesh.build(triangles, vertices);
    return true;
}

bool Motion::read(ByteReader& reader) {
    int trackCount = 0;
    if (!readCount(reader, kTrackHeaderBytes, trackCount, "truncated motion"))
        return false;
    tracks.resize(unsigned(trackCount));
    frameCount = kMotionNoFrames;
    for (MotionTrack& track : tracks) {
        int keyCount = 0;
        if (!reader.readInt(track.meshId))
            return reader.fail("truncated motion track");
        if (!readCount(reader, kKeyBytes, keyCount, "truncated motion track"))
            return false;
        track.keys.resize(unsigned(keyCount));
        for (Key& key : track.keys)
            readKey(reader, key);
        if (keyCount < frameCount)
            frameCount = keyCount;
    }
    return true;
}

bool parseV3D(ByteReader& reader, int skinProgram, V3DContent& content) {
    int rootCount = 0, materialCount = 0, textureCount = 0, motionCount = 0;
    const size_t countsAt = reader.offset();
    if (!reader.readInt(rootCount) || !reader.readInt(materialCount) || !reader.readInt(textureCount) ||
        !reader.readInt(motionCount))
        return reader.fail("truncated file header");
    rootCount = rootCount < 0 ? 0 : rootCount;
    materialCount = materialCount < 0 ? 0 : materialCount;
    textureCount = textureCount < 0 ? 0 : textureCount;
    motionCount = motionCount < 0 ? 0 : motionCount;
    if (materialCount > kMaxFileMaterials)
        return reader.failAt(countsAt + 4, "more materials than the material table holds");
    if (textureCount > kMaxFileTextures)
        return reader.failAt(countsAt + 8, "more textures than the texture table holds");
    const size_t recordBytes[4] = {kMinMeshRecordBytes, kMinMaterialRecordBytes, kRawHeaderBytes, 4};
    const int counts[4] = {rootCount, materialCount, textureCount, motionCount};
    for (int i = 0; i < 4; ++i)
        if (!reader.canHold(counts[i], recordBytes[i]))
            return reader.failAt(countsAt + 4 * size_t(i), "a count exceeds the bytes left in the file");

    content.roots.resize(unsigned(rootCount));
    for (Mesh& root : content.roots)
        if (!root.read(reader, skinProgram, content.log, 0))
            return false;
    if (!checkBones(content.roots, countMeshes(content.roots)))
        return reader.fail("influence bone id out of range");

    content.materials.resize(unsigned(materialCount));
    for (Material& material : content.materials)
        if (!material.read(reader))
            return false;
    for (const Material& material : content.materials)
        for (const MatTex& slot : material.textures)
            if (slot.textureIndex < 0 || slot.textureIndex >= textureCount)
                return reader.fail("material texture index out of range");

    content.textures.resize(unsigned(textureCount));
    for (Image& image : content.textures)
        if (!readImage(reader, image))
            return false;

    content.motions.resize(unsigned(motionCount));
    for (Motion& motion : content.motions)
        if (!motion.read(reader))
            return false;
    return true;
}

} // namespace Vantor
