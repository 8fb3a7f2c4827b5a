// The V3D parse and writer without GL: a written model parses back to the
// same bytes, every truncation and bit flip of a file with all record kinds
// ends cleanly, broken files fail with their one fault, and the pure parts of
// models (the flat table, bones, copies, motions) behave.
#include "V3DSample.h"

#include "Core/WinAppFramework/Exception.h"

#include <gtest/gtest.h>

#include <climits>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace Vantor {
namespace {

using test::makeSampleModel;
using test::writeBytes;

struct ParseResult {
    bool ok = false;
    std::string fault;
    size_t faultAt = 0;
    std::vector<std::string> log;
};

// Parses a whole file image (signature included) into model.
ParseResult parseFile(const ArrayList<unsigned char>& bytes, Model& model, int skinProgram = 0) {
    ParseResult result;
    EXPECT_GE(bytes.size, unsigned(kV3DSignatureLength));
    ByteReader reader(bytes.data + kV3DSignatureLength, bytes.size - kV3DSignatureLength);
    V3DContent content;
    result.ok = model.parse(reader, skinProgram, content);
    result.fault = reader.hasFault() ? reader.faultText().c_str() : "";
    result.faultAt = reader.faultAt() + kV3DSignatureLength;
    for (const String& line : content.log)
        result.log.push_back(line.c_str());
    return result;
}

ParseResult parseContent(const V3DContent& content, Model& model, int skinProgram = 0) {
    return parseFile(writeBytes(content), model, skinProgram);
}

void setInt(ArrayList<unsigned char>& bytes, size_t offset, int value) {
    std::memcpy(bytes.data + offset, &value, 4);
}

TEST(V3DFileTest, WrittenModelParsesBackToTheSameBytes) {
    const ArrayList<unsigned char> bytes = writeBytes(makeSampleModel());
    ByteReader reader(bytes.data + kV3DSignatureLength, bytes.size - kV3DSignatureLength);
    V3DContent parsed;
    ASSERT_TRUE(parseV3D(reader, 0, parsed)) << reader.faultText().c_str();
    EXPECT_EQ(reader.remaining(), 0u);

    const ArrayList<unsigned char> again = writeBytes(parsed);
    ASSERT_EQ(again.size, bytes.size);
    EXPECT_EQ(std::memcmp(again.data, bytes.data, bytes.size), 0);

    // A few fields by name, so that a writer and reader wrong in the same way are caught.
    const Mesh& root = parsed.roots[0];
    EXPECT_EQ(std::string(root.name.c_str()), "body");
    EXPECT_EQ(root.flags, kMeshHasTexCoords | kMeshCastsShadows | kMeshLitPerLight);
    EXPECT_FLOAT_EQ(root.bindKey.translation.z, 3.0f);
    EXPECT_FLOAT_EQ(root.colour[1], 102 / 255.0f);
    ASSERT_EQ(root.children.size, 2u);
    EXPECT_FALSE(root.children[0].visible);
    const Mesh& skinned = root.children[1];
    EXPECT_EQ(skinned.bindVertices.size, 4u);
    EXPECT_EQ(skinned.fileSkinVertices[3].influences[0].bone, 1);
    EXPECT_FLOAT_EQ(skinned.fileSkinVertices[3].influences[0].weight, 0.75f);
    EXPECT_GT(root.shadowMesh.edges.size, 0u);
    EXPECT_FLOAT_EQ(parsed.materials[0].shininess, 16.0f);
    EXPECT_EQ(parsed.materials[1].textures[1].type, kNormalMapSlot);
    EXPECT_EQ(parsed.textures[1].pixel(3, 3)[0], 15 * 16);
    EXPECT_EQ(parsed.motions[0].frameCount, 3);
}

TEST(V3DFileTest, EveryTruncationAndBitFlipEndsCleanly) {
    const ArrayList<unsigned char> bytes = writeBytes(makeSampleModel());
    for (unsigned length = kV3DSignatureLength; length < bytes.size; ++length) {
        ArrayList<unsigned char> cut = bytes;
        cut.resize(length);
        Model model;
        const ParseResult result = parseFile(cut, model);
        ASSERT_FALSE(result.ok) << "prefix of " << length << " bytes";
        EXPECT_FALSE(result.fault.empty());
        EXPECT_LE(result.faultAt, length);
        EXPECT_EQ(model.roots.size + model.meshes.size + model.motions.size, 0u);
    }
    int accepted = 0;
    for (unsigned byte = kV3DSignatureLength; byte < bytes.size; ++byte) {
        for (int bit = 0; bit < 8; ++bit) {
            ArrayList<unsigned char> flipped = bytes;
            flipped[byte] ^= (unsigned char)(1 << bit);
            Model model;
            const ParseResult result = parseFile(flipped, model);
            if (result.ok) {
                ++accepted;
                // A model that parsed is whole: every table entry is a mesh of its tree.
                for (unsigned i = 0; i < model.meshes.size; ++i)
                    ASSERT_EQ(model.meshes[i]->id, int(i));
            } else {
                EXPECT_EQ(model.meshes.size, 0u);
            }
        }
    }
    // Flips in floats and names still parse; flips in counts and indices do not.
    EXPECT_GT(accepted, 0);
}

TEST(V3DFileTest, BrokenFilesFailWithTheirFault) {
    struct Case {
        const char* name;
        void (*breakContent)(V3DContent&);
        const char* fault;
    };
    const Case cases[] = {
        {"triangle index past the vertices", [](V3DContent& c) { c.roots[0].triangles[1].v[2] = 4; },
         "triangle vertex index out of range"},
        {"negative triangle index", [](V3DContent& c) { c.roots[0].triangles[0].v[0] = -1; },
         "triangle vertex index out of range"},
        {"skin vertex reference past the vertices",
         [](V3DContent& c) { c.roots[0].children[1].skinVertices[2].vertexRefs[0] = 9; },
         "skin vertex reference out of range"},
        {"influence naming no mesh",
         [](V3DContent& c) { c.roots[0].children[1].skinVertices[0].influences[0].bone = 3; },
         "influence bone id out of range"},
        {"material slot naming texture 2 of 2",
         [](V3DContent& c) { c.materials[1].textures[1].textureIndex = 2; }, "material texture index out of range"},
        {"two meshes with id 0", [](V3DContent& c) { c.roots[0].children[0].id = 0; }, "broken mesh id numbering"},
        {"id beyond the mesh count", [](V3DContent& c) { c.roots[0].children[1].id = 7; }, "broken mesh id numbering"},
        {"texture with five channels", [](V3DContent& c) { c.textures[0].channels = 5; }, "texture size out of range"},
    };
    for (const Case& broken : cases) {
        V3DContent content = makeSampleModel();
        broken.breakContent(content);
        Model model;
        const ParseResult result = parseContent(content, model);
        EXPECT_FALSE(result.ok) << broken.name;
        EXPECT_EQ(result.fault, broken.fault) << broken.name;
        EXPECT_EQ(model.meshes.size, 0u) << broken.name;
    }
}

TEST(V3DFileTest, CountsAreCheckedBeforeAnythingIsAllocated) {
    // Mesh 0's vertex count sits after the signature, the four file counts and three header ints.
    const size_t vertexCountAt = kV3DSignatureLength + 16 + 12;
    struct Case {
        size_t offset;
        int value;
        const char* fault;
    };
    const Case cases[] = {
        {vertexCountAt, 2000000000, "vertex count exceeds the bytes left in the file"},
        {vertexCountAt + 4, 0x7FFFFFFF, "triangle count exceeds the bytes left in the file"},
        {kV3DSignatureLength, 2000000000, "a count exceeds the bytes left in the file"},
        {kV3DSignatureLength + 4, 513, "more materials than the material table holds"},
        {kV3DSignatureLength + 8, 600, "more textures than the texture table holds"},
    };
    for (const Case& broken : cases) {
        ArrayList<unsigned char> bytes = writeBytes(makeSampleModel());
        setInt(bytes, broken.offset, broken.value);
        Model model;
        const ParseResult result = parseFile(bytes, model);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.fault, broken.fault);
        EXPECT_EQ(result.faultAt, broken.offset) << broken.fault;
    }
    // A negative count reads no records, so the records that follow are read
    // as what comes next: the file fails later, cleanly, with nothing kept.
    for (const size_t offset : {size_t(kV3DSignatureLength), vertexCountAt, vertexCountAt + 4}) {
        for (const int value : {-1, INT_MIN}) {
            ArrayList<unsigned char> bytes = writeBytes(makeSampleModel());
            setInt(bytes, offset, value);
            Model model;
            const ParseResult result = parseFile(bytes, model);
            EXPECT_FALSE(result.ok) << offset << " " << value;
            EXPECT_FALSE(result.fault.empty());
            EXPECT_GT(result.faultAt, offset);
            EXPECT_EQ(model.meshes.size, 0u);
        }
    }
}

TEST(V3DFileTest, DeepMeshTreesAreRefused) {
    for (int depth : {kMaxMeshDepth - 1, kMaxMeshDepth + 50}) {
        V3DContent content;
        Mesh leaf;
        leaf.id = depth - 1;
        for (int level = depth - 2; level >= 0; --level) {
            Mesh parent;
            parent.id = level;
            parent.children.add(leaf);
            leaf = parent;
        }
        content.roots.add(leaf);
        Model model;
        const ParseResult result = parseContent(content, model);
        EXPECT_EQ(result.ok, depth < kMaxMeshDepth) << depth;
        if (!result.ok) {
            EXPECT_EQ(result.fault, "mesh tree too deep");
        }
    }
}

TEST(V3DFileTest, ProgressAndTableLinesAreLogged) {
    Model model;
    ParseResult result = parseContent(makeSampleModel(), model);
    ASSERT_TRUE(result.ok);
    const std::vector<std::string> expected = {
        "Name : body",        "Mesh 0 is visible",      "Name : bone",           "Mesh 1 is not visible",
        "Name : skin",        "Mesh 2 is visible",      "  MeshPtr[0]->ID = 0", "  MeshPtr[1]->ID = 1",
        "  MeshPtr[2]->ID = 2"};
    EXPECT_EQ(result.log, expected);

    V3DContent twins = makeSampleModel();
    twins.roots[0].children[0].id = 0;
    result = parseContent(twins, model);
    EXPECT_EQ(result.log.back(), "  Error: MeshPtr[1] = NULL");

    V3DContent far = makeSampleModel();
    far.roots[0].children[1].id = 7;
    result = parseContent(far, model);
    const std::vector<std::string> tail(result.log.end() - 4, result.log.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"      Mesh::genMeshPointers()",
                                              "\t\t Error: ID 7 is greater than 3 or less than 0",
                                              "  GenMeshPointers()", "    Child mesh 0 returned false"}));
}

TEST(V3DFileTest, InvisibleMeshesCarryNoGeometry) {
    V3DContent content = makeSampleModel();
    Mesh& bone = content.roots[0].children[0];
    for (int i = 0; i < 100; ++i)
        bone.vertices.add(test::makeVertex(0, 0, 0, 0, 0));
    Model model;
    ASSERT_TRUE(parseContent(content, model).ok);
    EXPECT_FALSE(model.meshes[1]->visible);
    EXPECT_EQ(model.meshes[1]->vertexCount, 100);
    EXPECT_EQ(model.meshes[1]->vertices.size, 0u);
    // The skinned sibling after it was read from the right place.
    EXPECT_EQ(std::string(model.meshes[2]->name.c_str()), "skin");
}

TEST(V3DFileTest, MotionsTakeTheShortestTrack) {
    V3DContent content = makeSampleModel();
    Motion& motion = content.motions[0];
    motion.tracks.clear();
    for (int keys : {10, 12, 8}) {
        MotionTrack track;
        track.meshId = 0;
        track.keys.resize(unsigned(keys));
        motion.tracks.add(track);
    }
    content.motions.add(Motion());
    Model model;
    ASSERT_TRUE(parseContent(content, model).ok);
    EXPECT_EQ(model.motions[0].frameCount, 8);
    EXPECT_EQ(model.motions[1].frameCount, kMotionNoFrames);
}

TEST(V3DFileTest, WrongSignatureThrows) {
    const std::string path = ::testing::TempDir() + "signature.v3d";
    for (const std::string& start : {std::string("V3D012"), std::string("V3D")}) {
        ArrayList<unsigned char> bytes = writeBytes(makeSampleModel());
        std::memcpy(bytes.data, start.data(), start.size());
        if (start.size() < size_t(kV3DSignatureLength))
            bytes.resize(unsigned(start.size()));
        FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(bytes.data, 1, bytes.size, file);
        std::fclose(file);
        Model model;
        try {
            model.load(path.c_str(), 0);
            ADD_FAILURE() << "no exception for " << start;
        } catch (const Exception& e) {
            EXPECT_STREQ(e.message.c_str(), "Error loading V3D File. Invalid signature. Expected V3D013");
            EXPECT_STREQ(e.function.c_str(), "Vantor::Model::load");
            EXPECT_EQ(e.line, 96);
        }
    }
    Model model;
    EXPECT_FALSE(model.load("no such file.v3d", 0));
}

TEST(ModelTest, BonesResolveToPaletteIndicesAndFallBackPastThirty) {
    Model model;
    ASSERT_TRUE(parseContent(makeSampleModel(), model, 5).ok);
    Mesh& skinned = *model.meshes[2];
    EXPECT_EQ(skinned.skinProgram, 5);
    // Bone 1 is met first, so it takes palette index 0.
    ASSERT_EQ(skinned.bones.size, 2u);
    EXPECT_EQ(skinned.bones[0], model.meshes[1]);
    EXPECT_EQ(skinned.skinVertices[0].influences[0].bone, 0);
    EXPECT_EQ(skinned.skinVertices[0].influences[1].bone, 1);
    EXPECT_EQ(model.meshes[0]->skinProgram, 0);

    V3DContent many = makeSampleModel();
    for (int b = 0; b < 31; ++b) {
        Mesh extra;
        extra.id = 3 + b;
        extra.visible = false;
        many.roots[0].children.add(extra);
    }
    Mesh& skin = many.roots[0].children[1];
    for (unsigned v = 0; v < skin.skinVertices.size; ++v)
        for (unsigned i = 0; i < 4; ++i)
            skin.skinVertices[v].influences[i] = test::influence(int(3 + v * 4 + i), 0.25f);
    // 16 distinct bones so far; spread the rest over a second set of skin vertices.
    for (int v = 0; v < 4; ++v) {
        SkinVertex extra;
        for (int i = 0; i < 4; ++i)
            extra.influences.add(test::influence(3 + 16 + (v * 4 + i) % 15, 0.25f));
        extra.vertexRefs.add(v);
        skin.skinVertices.add(extra);
    }
    Model crowded;
    ASSERT_TRUE(parseContent(many, crowded, 5).ok);
    EXPECT_EQ(crowded.meshes[2]->bones.size, 31u);
    EXPECT_EQ(crowded.meshes[2]->skinProgram, 0);
    EXPECT_FALSE(crowded.meshes[2]->hardwareSkinning);
}

TEST(ModelTest, CopiesPointAtTheirOwnMeshes) {
    Model original;
    ASSERT_TRUE(parseContent(makeSampleModel(), original).ok);
    original.addInstance();
    Model copy(original);
    original = Model();
    ASSERT_EQ(copy.meshes.size, 3u);
    for (unsigned i = 0; i < copy.meshes.size; ++i) {
        EXPECT_EQ(copy.meshes[i]->id, int(i));
        EXPECT_EQ(copy.meshes[i]->model, &copy);
        EXPECT_EQ(copy.meshes[i]->instances.size, 1u);
    }
    EXPECT_EQ(copy.meshes[1], &copy.roots[0].children[0]);
    EXPECT_EQ(copy.meshes[2]->bones[0], copy.meshes[1]);
    EXPECT_EQ(copy.instances[0].model, &copy);
}

TEST(ModelTest, MotionsWrapAndInterpolate) {
    V3DContent content = makeSampleModel();
    Motion motion;
    MotionTrack track;
    track.meshId = 0;
    for (int k = 0; k < 8; ++k)
        track.keys.add(test::makeKey(1, 0, 0, 0, float(10 * k), 0, 0));
    motion.tracks.add(track);
    content.motions[0] = motion;
    Model model;
    ASSERT_TRUE(parseContent(content, model).ok);
    struct Case {
        float time;
        bool interpolate;
        float x;
    };
    // 9.5 is frame 1 halfway to 2; 7.5 is frame 7 halfway back to 0.
    for (const Case& c : {Case{9.5f, true, 15.0f}, Case{7.5f, true, 35.0f}, Case{7.5f, false, 70.0f},
                          Case{3.0f, true, 30.0f}}) {
        model.motions[0].apply(model, c.time, c.interpolate);
        EXPECT_FLOAT_EQ(model.meshes[0]->currentKey.translation.x, c.x) << c.time;
        EXPECT_FLOAT_EQ(model.meshes[0]->world.m[12], c.x) << c.time;
    }
}

} // namespace
} // namespace Vantor
