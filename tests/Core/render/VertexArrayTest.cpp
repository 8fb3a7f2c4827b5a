// The block layout of vertex arrays and the checks on counts and indices,
// without a GL context (so on client memory only).
#include "Core/VertexArray.h"
#include "Core/WinAppFramework/Exception.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace Vantor;

namespace {

constexpr int C = VertexArray::colorArray;
constexpr int N = VertexArray::normalArray;
constexpr int T = VertexArray::texCoordArray;

float* floatsAt(VertexArray& va, int offset) { return reinterpret_cast<float*>(va.block.data + offset); }

} // namespace

TEST(VertexArrayLayout, CreatePutsTheArraysBackToBack) {
    const struct {
        int vertexCount, arrays, sets;
        int normalOffset, colorOffset;
        std::vector<int> texOffsets;
        unsigned blockSize;
    } layouts[] = {
        {4, 0, 0, 0, 0, {}, 48},
        {4, N | T, 2, 48, 0, {96, 128}, 160},
        {3, N | C | T, 1, 36, 72, {120}, 144},
        {2, C, 0, 0, 24, {}, 56},
        {5, N, 3, 60, 0, {}, 120}, // sets without the texture bit
        {1, N | C | T, 8, 12, 24, {40, 48, 56, 64, 72, 80, 88, 96}, 104},
    };
    for (const auto& layout : layouts) {
        SCOPED_TRACE(testing::Message() << "arrays " << layout.arrays << ", sets " << layout.sets);
        VertexArray va;
        va.create(layout.vertexCount, layout.arrays, layout.sets, false, false);
        EXPECT_EQ(va.block.size, layout.blockSize);
        EXPECT_EQ(va.normalOffset, layout.normalOffset);
        EXPECT_EQ(va.colorOffset, layout.colorOffset);
        for (int i = 0; i < VertexArray::maxTexCoordSets; ++i) {
            const bool present = i < int(layout.texOffsets.size());
            EXPECT_EQ(va.texSize[i], present ? 2 : 0) << "set " << i;
            EXPECT_EQ(va.texPointer[i], present ? va.block.data + layout.texOffsets[i] : nullptr) << "set " << i;
        }
        EXPECT_EQ(va.positionPointer, va.block.data);
        EXPECT_EQ(va.normalPointer, (layout.arrays & N) ? va.block.data + layout.normalOffset : nullptr);
        EXPECT_EQ(va.colorPointer, (layout.arrays & C) ? va.block.data + layout.colorOffset : nullptr);
    }
}

TEST(VertexArrayLayout, AddedSetsGoAtTheEndAndKeepWhatIsStored) {
    // The sets a hardware-skinned mesh with tangents adds after create.
    VertexArray va;
    va.create(3, N | T, 1, false, false);
    for (int i = 0; i < 9; ++i)
        floatsAt(va, va.normalOffset)[i] = float(100 + i);
    const float uv[2] = {0.25f, 0.75f};
    va.setTexCoord(2, uv);

    const struct {
        int set, size, offset;
    } added[] = {{1, 2, 96}, {3, 4, 120}, {2, 4, 168}, {4, 3, 216}, {5, 3, 252}};
    for (const auto& set : added) {
        va.addTexCoordSet(set.set, set.size);
        EXPECT_EQ(va.texOffset[set.set], set.offset) << "set " << set.set;
    }
    const float tangent[3] = {1, 2, 3};
    va.setTexCoord(1, 4, tangent);

    EXPECT_EQ(va.block.size, 288u);
    EXPECT_EQ(va.normalOffset, 36);
    EXPECT_EQ(va.texOffset[0], 72);
    EXPECT_EQ(va.normalPointer, va.block.data + 36) << "pointers follow the block when it moves";
    EXPECT_EQ(va.texPointer[5], va.block.data + 252);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(floatsAt(va, va.normalOffset)[i], float(100 + i));
    const std::vector<float> set0(floatsAt(va, 72), floatsAt(va, 72) + 6);
    EXPECT_EQ(set0, (std::vector<float>{0, 0, 0, 0, 0.25f, 0.75f}));
    const std::vector<float> set4(floatsAt(va, 216), floatsAt(va, 216) + 9);
    EXPECT_EQ(set4, (std::vector<float>{0, 0, 0, 1, 2, 3, 0, 0, 0}));
}

TEST(VertexArrayLayout, BadCountsAndIndicesAreRefused) {
    const struct {
        const char* name;
        std::function<void(VAObject&)> call;
        const char* message;
        const char* function;
    } cases[] = {
        {"negative vertex count", [](VAObject& va) { va.create(-1, 0, 0, false, false); },
         "Vertex count out of range", "Vantor::VertexArray::create"},
        {"nine sets", [](VAObject& va) { va.create(4, T, 9, false, false); },
         "Texture coordinate set count out of range", "Vantor::VertexArray::create"},
        {"block past 2 GiB", [](VAObject& va) { va.create(0x7FFFFFFF / 104 + 1, N | C | T, 8, false, false); },
         "Vertex array too large", "Vantor::VertexArray::create"},
        {"set index 8", [](VAObject& va) { va.addTexCoordSet(8, 2); }, "Texture coordinate set out of range",
         "Vantor::VertexArray::addTexCoordSet"},
        {"set of 5 floats", [](VAObject& va) { va.addTexCoordSet(1, 5); }, "Texture coordinate size out of range",
         "Vantor::VertexArray::addTexCoordSet"},
        {"added set past 2 GiB",
         [](VAObject& va) {
             va.vertexCount = 0x40000000;
             va.addTexCoordSet(1, 2);
         },
         "Vertex array too large", "Vantor::VertexArray::addTexCoordSet"},
        {"vertex past the end", [](VAObject& va) { va.setTexCoord(4, 0, nullptr); }, "Vertex out of range",
         "Vantor::VertexArray::setTexCoord"},
        {"absent set", [](VAObject& va) { va.setTexCoord(0, 1, nullptr); }, "Texture coordinate set absent",
         "Vantor::VertexArray::setTexCoord"},
        {"negative list count", [](VAObject& va) { va.createIndexLists(-1); }, "Index list count out of range",
         "Vantor::VAObject::createIndexLists"},
        {"index bytes past 2 GiB", [](VAObject& va) { va.indexLists[0].allocate(VAIndexList::maxCount + 1); },
         "Index count out of range", "Vantor::VAIndexList::allocate"},
        {"index equal to the vertex count", [](VAObject& va) { va.indexLists[0].indices[2] = 4; va.upload(); },
         "Vertex index out of range", "Vantor::VAObject::upload"},
        {"index 2^31, negative as an int",
         [](VAObject& va) {
             va.indexLists[0].indices[0] = 0x80000000u;
             va.upload();
         },
         "Vertex index out of range", "Vantor::VAObject::upload"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VAObject va;
        va.create(4, N | T, 1, false, false);
        va.createIndexLists(1);
        va.indexLists[0].allocate(3);
        va.indexLists[0].indices[1] = 3;
        try {
            c.call(va);
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.message.c_str(), c.message);
            EXPECT_STREQ(e.function.c_str(), c.function);
        }
        EXPECT_EQ(va.block.size, 128u) << "a refused call leaves the layout";
        EXPECT_EQ(va.indexListCount, 1);
        EXPECT_EQ(va.indexLists[0].count, 3);
    }
}
