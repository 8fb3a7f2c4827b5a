// Loading a V3D model: the file, the signature, the parse into meshes and
// motions, the flat mesh table, and the GL edge that adds the file's
// materials and textures to the shared tables and builds the vertex arrays.
#include "modules/model/Model.h"

#include "Core/WinAppFramework/App.h"
#include "Core/WinAppFramework/DebugLog.h"
#include "Core/platform/File.h"
#include "Core/textures/TextureManager.h"
#include "modules/Material/MaterialManager.h"

#include <cstdio>

namespace Vantor {

namespace {

const char* const loadName = "Vantor::Model::load";
const char* const modelSourceFile = "source\\modules\\model\\Model";
constexpr int lineBadSignature = 96;

void logLines(const ArrayList<String>& lines) {
    if (DebugLog* log = App::currentLog())
        for (const String& line : lines)
            log->printString(line);
}

// Reads the whole file; false when it cannot be opened or read.
bool readFile(const char* fileName, ArrayList<unsigned char>& bytes) {
    FILE* file = platform::openFile(fileName, "rb");
    if (!file)
        return false;
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(file) : -1;
    ok = ok && size >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        bytes.resize(unsigned(size));
        ok = size == 0 || std::fread(bytes.data, 1, size_t(size), file) == size_t(size);
    }
    std::fclose(file);
    return ok;
}

bool placeMesh(Mesh& mesh, ArrayList<Mesh*>& table, ArrayList<String>& log) {
    if (mesh.id < 0 || unsigned(mesh.id) >= table.size) {
        log.add("      Mesh::genMeshPointers()");
        String line;
        line.appendFormat("\t\t Error: ID %d is greater than %d or less than 0", mesh.id, int(table.size));
        log.add(line);
        return false;
    }
    table[unsigned(mesh.id)] = &mesh;
    for (Mesh& child : mesh.children)
        if (!placeMesh(child, table, log))
            return false;
    return true;
}

unsigned countMeshes(const ArrayList<Mesh>& meshes) {
    unsigned total = 0;
    for (const Mesh& mesh : meshes)
        total += 1 + countMeshes(mesh.children);
    return total;
}

} // namespace

bool Model::load(const char* fileName, int skinProgram) {
    ArrayList<unsigned char> bytes;
    if (!readFile(fileName, bytes))
        return false;
    if (DebugLog* log = App::currentLog())
        log->print("Mesh %s opened", fileName);
    if (bytes.size < unsigned(kV3DSignatureLength) ||
        std::memcmp(bytes.data, kV3DSignature, kV3DSignatureLength) != 0) {
        String message("Error loading V3D File. Invalid signature. Expected ");
        message.append(kV3DSignature);
        throw Exception(message, loadName, modelSourceFile, lineBadSignature);
    }
    ByteReader reader(bytes.data + kV3DSignatureLength, bytes.size - unsigned(kV3DSignatureLength));
    const bool loaded = read(reader, skinProgram);
    if (!loaded && reader.hasFault())
        if (DebugLog* log = App::currentLog())
            log->print("Error loading %s at byte %zu: %s", fileName, reader.faultAt() + kV3DSignatureLength,
                       reader.faultText().c_str());
    return loaded;
}

bool Model::read(ByteReader& reader, int skinProgram) {
    V3DContent content;
    const bool parsed = parse(reader, skinProgram, content);
    logLines(content.log);
    if (!parsed)
        return false;

    // The shared tables must take the whole file, or nothing of it is added.
    MaterialManager* materialTable = MaterialManager::getInstance();
    TextureManager* textureTable = TextureManager::getInstance();
    if (int(content.materials.size) > materialTable->freeSlots()) {
        clear();
        return reader.fail("the material table has no room for the file's materials");
    }
    if (int(content.textures.size) > textureTableSize - textureTable->count) {
        clear();
        return reader.fail("the texture table has no room for the file's textures");
    }

    ArrayList<Texture*> uploaded;
    for (const Image& image : content.textures)
        uploaded.add(textureTable->addImage(image, GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR));
    for (Material& material : content.materials) {
        for (MatTex& slot : material.textures)
            slot.texture = uploaded[unsigned(slot.textureIndex)];
        materials.add(materialTable->add(material));
    }

    for (Mesh* mesh : meshes)
        if (mesh->materialIndex >= 0 && unsigned(mesh->materialIndex) < materials.size)
            mesh->setMaterial(materials[unsigned(mesh->materialIndex)]);
    poseBind();
    for (Mesh* mesh : meshes)
        mesh->buildVertexArray();
    computeBox();
    drawOrder.resize(meshes.size);
    sortKeys.resize(meshes.size);
    for (unsigned i = 0; i < meshes.size; ++i) {
        drawOrder[i] = i;
        sortKeys[i] = 0.0f;
    }
    if (kModelScaleFactor != 1.0f)
        scale(kModelScaleFactor);
    hasSkinned = false;
    for (const Mesh* mesh : meshes)
        hasSkinned = hasSkinned || (mesh->flags & kMeshSkinned) != 0;
    return true;
}

bool Model::parse(ByteReader& reader, int skinProgram, V3DContent& content) {
    clear();
    if (!parseV3D(reader, skinProgram, content)) {
        content.roots.clear();
        return false;
    }
    roots = std::move(content.roots);
    motions = std::move(content.motions);
    if (!genMeshPointers(content.log)) {
        clear();
        return reader.fail("broken mesh id numbering");
    }
    return true;
}

bool Model::genMeshPointers(ArrayList<String>& log) {
    meshes.clear();
    meshes.resize(countMeshes(roots));
    for (unsigned i = 0; i < meshes.size; ++i)
        meshes[i] = nullptr;
    for (unsigned r = 0; r < roots.size; ++r) {
        if (!placeMesh(roots[r], meshes, log)) {
            log.add("  GenMeshPointers()");
            String line;
            line.appendFormat("    Child mesh %d returned false", int(r));
            log.add(line);
            return false;
        }
    }
    for (unsigned j = 0; j < meshes.size; ++j) {
        String line;
        if (!meshes[j]) {
            line.appendFormat("  Error: MeshPtr[%d] = NULL", int(j));
            log.add(line);
            return false;
        }
        line.appendFormat("  MeshPtr[%d]->ID = %d", int(j), meshes[j]->id);
        log.add(line);
    }
    for (Mesh* mesh : meshes) {
        mesh->model = this;
        if (!mesh->resolveBones(meshes))
            return false;
    }
    return true;
}

void Model::clear() {
    roots.clear();
    motions.clear();
    meshes.clear();
    materials.clear();
}

void Model::poseBind() {
    for (Mesh* mesh : meshes)
        mesh->setKey(mesh->bindKey);
    const Matrix4 identity;
    for (Mesh& root : roots)
        root.updateWorld(identity, true);
    baseMatrix = baseKey.toMatrix();
    for (Mesh& root : roots)
        root.updateWorld(baseMatrix, true);
    for (Mesh& root : roots)
        root.computeBindPose(identity);
    // The skin matrices of the bind pose are the identity only once the bind pose is known.
    for (Mesh& root : roots)
        root.updateWorld(baseMatrix, true);
}

} // namespace Vantor
