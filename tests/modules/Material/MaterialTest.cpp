// Materials without GL: the model-file material record on good and broken
// bytes, passes attached from XML, shader lookup, the material table's limit,
// and shader entries read while no shading path is available (every program 0).
#include "modules/Material/MaterialManager.h"
#include "modules/ShaderManager/ParamDatabase.h"
#include "modules/xml/XMLFile.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

using namespace Vantor;

namespace {

struct Slot {
    int type, textureIndex, stored;
};

// A material record as a model file holds it; offsets note where each field starts.
struct Record {
    ByteWriter writer;
    std::vector<size_t> fieldStarts;

    Record(const char* name, int slotCount, const std::vector<Slot>& slots, float exponent = 0.5f) {
        mark();
        writer.writeString(name);
        mark();
        writer.writeInt(slotCount);
        mark();
        writer.writeFloat(0.75f);
        mark();
        writer.writeFloat(exponent);
        for (uint32_t colour : {0x80FF4020u, 0xFF000000u, 0x01020304u}) {
            mark();
            writer.writeInt(int(colour));
        }
        for (const Slot& slot : slots) {
            mark();
            writer.writeInt(slot.type);
            writer.writeInt(slot.textureIndex);
            writer.writeInt(slot.stored);
        }
    }
    void mark() { fieldStarts.push_back(writer.bytes.size); }
    size_t size() const { return writer.bytes.size; }
    const unsigned char* bytes() const { return writer.bytes.data; }
};

Material untouched() {
    Material m;
    m.name = "untouched";
    m.passes.resize(2);
    return m;
}

// Parses XML written with single quotes (the reader takes double quotes only).
XMLFile parse(std::string text) {
    for (char& c : text)
        if (c == '\'')
            c = '"';
    XMLFile file;
    file.parse(String(text.c_str()), "test");
    return file;
}

class MaterialTables : public ::testing::Test {
protected:
    void SetUp() override {
        manager = MaterialManager::getInstance();
        manager->reset();
    }
    void addShader(const char* name, int program) {
        MaterialManager::MaterialShader entry;
        entry.name = name;
        entry.program = program;
        manager->shaders.add(entry);
    }
    MaterialManager* manager = nullptr;
};

} // namespace

TEST(MaterialRecord, GoodRecordFillsEveryField) {
    Record record("brick", 2, {{kNormalMapSlot, 7, 99}, {0, -1, 5}});
    ByteReader reader(record.bytes(), record.size());
    Material m = untouched();
    ASSERT_TRUE(m.read(reader)) << reader.faultText().c_str();
    EXPECT_FALSE(reader.hasFault());
    EXPECT_EQ(reader.remaining(), 0u);
    EXPECT_STREQ(m.name.c_str(), "brick");
    EXPECT_EQ(m.auxValue, 0.75f);
    EXPECT_FLOAT_EQ(m.shininess, std::pow(2.0f, 3.5f));
    const float diffuse[4] = {0x20 / 255.0f, 0x40 / 255.0f, 1.0f, 0x80 / 255.0f};
    const float specular[4] = {0, 0, 0, 1};
    const float aux[4] = {4 / 255.0f, 3 / 255.0f, 2 / 255.0f, 1 / 255.0f};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(m.diffuse[i], diffuse[i]) << i;
        EXPECT_FLOAT_EQ(m.specular[i], specular[i]) << i;
        EXPECT_FLOAT_EQ(m.auxColour[i], aux[i]) << i;
    }
    ASSERT_EQ(m.textures.size, 2u);
    EXPECT_EQ(m.textures[0].type, kNormalMapSlot);
    EXPECT_EQ(m.textures[0].textureIndex, 7);
    EXPECT_EQ(m.textures[0].stored, 99);
    EXPECT_EQ(m.textures[1].textureIndex, -1);
    EXPECT_EQ(m.textures[1].texture, nullptr);
    EXPECT_EQ(m.passes.size, 2u) << "passes are not part of the record";
}

TEST(MaterialRecord, BrokenRecordsFailWithTheirFaultAndChangeNothing) {
    const Record good("brick", 2, {{1, 7, 99}, {0, -1, 5}});
    const std::vector<size_t>& at = good.fieldStarts;
    struct Case {
        size_t length;
        const char* fault;
    };
    const Case cases[] = {
        {0, "material name cut short"},
        {3, "material name cut short"},
        {at[1] - 1, "material name cut short"},
        {at[1], "material texture count cut short"},
        {at[2] - 2, "material texture count cut short"},
        {at[2], "material shininess cut short"},
        {at[4] - 1, "material shininess cut short"},
        {at[4], "material colours cut short"},
        {at[6] + 3, "material colours cut short"},
        {at[7], "material texture slots cut short"},
        {good.size() - 1, "material texture slots cut short"},
    };
    for (const Case& c : cases) {
        ByteReader reader(good.bytes(), c.length);
        Material m = untouched();
        EXPECT_FALSE(m.read(reader)) << c.length;
        EXPECT_STREQ(reader.faultText().c_str(), c.fault) << c.length;
        EXPECT_STREQ(m.name.c_str(), "untouched") << c.length;
        EXPECT_EQ(m.textures.size, 0u) << c.length;
        EXPECT_EQ(m.shininess, 0.0f) << c.length;
    }
}

TEST(MaterialRecord, SlotCountsAreCheckedBeforeAnythingIsAllocated) {
    struct Case {
        int count;
        bool ok;
        const char* fault;
    };
    const Case cases[] = {
        {kMaxMaterialTextures, false, "material has 2048 texture slots or more"},
        {INT_MAX, false, "material has 2048 texture slots or more"},
        {kMaxMaterialTextures - 1, false, "material texture slots cut short"},
        {-1, true, ""},
        {INT_MIN, true, ""},
    };
    for (const Case& c : cases) {
        Record record("x", c.count, {});
        ByteReader reader(record.bytes(), record.size());
        Material m;
        EXPECT_EQ(m.read(reader), c.ok) << c.count;
        EXPECT_STREQ(reader.faultText().c_str(), c.fault) << c.count;
        EXPECT_EQ(m.textures.size, 0u) << c.count;
        if (c.ok) {
            EXPECT_EQ(reader.remaining(), 0u) << "a negative count reads no slots";
        }
    }
    // The largest count that is accepted, with all its slots present.
    std::vector<Slot> slots(kMaxMaterialTextures - 1, Slot{0, 3, 0});
    Record full("full", kMaxMaterialTextures - 1, slots);
    ByteReader reader(full.bytes(), full.size());
    Material m;
    ASSERT_TRUE(m.read(reader));
    EXPECT_EQ(m.textures.size, unsigned(kMaxMaterialTextures - 1));
    EXPECT_EQ(m.textures[m.textures.size - 1].textureIndex, 3);
}

TEST_F(MaterialTables, PassesFromXML) {
    addShader("glow", 7);
    addShader("glass", 9);
    addShader("glow", 11);
    XMLFile xml = parse("<material name='m'>"
                        "<pass id='3' shader='glow'/>"
                        "<pass id='1'/>"
                        "<pass shader='glass'/>"
                        "<pass id='-4' shader='glass'/>"
                        "<pass id='2000000000' shader='glass'/>"
                        "<pass id='64'/>"
                        "<pass id='2' shader='missing'/>"
                        "</material>");
    Material m;
    m.readPasses(xml);
    ASSERT_EQ(m.passes.size, 4u) << "ids 0 to 3; the others were skipped";
    const MaterialPass expected[4] = {{false, 0, -1}, {true, 0, -1}, {true, 0, -1}, {true, 7, 0}};
    for (unsigned i = 0; i < 4; ++i) {
        EXPECT_EQ(m.passes[i].used, expected[i].used) << i;
        EXPECT_EQ(m.passes[i].program, expected[i].program) << i;
        EXPECT_EQ(m.passes[i].shader, expected[i].shader) << i;
    }

    // A later pass with the same id: a shader name replaces the earlier
    // shader (an unknown name with none), no name keeps it.
    XMLFile later = parse("<material><pass id='3' shader='glass'/><pass id='3'/>"
                          "<pass id='63' shader='glass'/><pass id='63' shader='nothing'/></material>");
    m.readPasses(later);
    ASSERT_EQ(m.passes.size, unsigned(kMaxMaterialPasses));
    EXPECT_EQ(m.passes[3].program, 9);
    EXPECT_EQ(m.passes[3].shader, 1);
    EXPECT_TRUE(m.passes[63].used);
    EXPECT_EQ(m.passes[63].program, 0);
    EXPECT_EQ(m.passes[63].shader, -1);
    EXPECT_FALSE(m.passes[62].used);

    EXPECT_EQ(manager->findShader("glow"), 0);
    EXPECT_EQ(manager->findShader("glass"), 1);
    EXPECT_EQ(manager->findShader("Glow"), -1);
}

TEST_F(MaterialTables, ReadMaterialsFindsTheFirstLoadedMaterialOfTheName) {
    addShader("s", 5);
    for (const char* name : {"a", "b", "a"}) {
        Material m;
        m.name = name;
        ASSERT_NE(manager->add(m), nullptr);
    }
    manager->materials[3].name = "c"; // beyond materialCount: not loaded
    XMLFile xml = parse("<materials>"
                        "<material name='a'><pass id='0' shader='s'/></material>"
                        "<material name='c'><pass id='0'/></material>"
                        "<material name='unknown'><pass id='0'/></material>"
                        "<material><pass id='0'/></material>"
                        "<material name='b'><pass id='1'/></material>"
                        "</materials>");
    manager->readMaterials(xml);
    ASSERT_EQ(manager->materials[0].passes.size, 1u);
    EXPECT_EQ(manager->materials[0].passes[0].program, 5);
    ASSERT_EQ(manager->materials[1].passes.size, 2u);
    EXPECT_TRUE(manager->materials[1].passes[1].used);
    EXPECT_EQ(manager->materials[2].passes.size, 0u);
    EXPECT_EQ(manager->materials[3].passes.size, 0u);
}

TEST_F(MaterialTables, AddRefusesTheMaterialAfterTheLastSlot) {
    Material m;
    for (int i = 0; i < kMaxMaterials; ++i) {
        m.name.assign(std::to_string(i).c_str());
        Material* slot = manager->add(m);
        ASSERT_EQ(slot, &manager->materials[i]);
        EXPECT_EQ(manager->freeSlots(), kMaxMaterials - i - 1);
    }
    m.name = "one too many";
    EXPECT_EQ(manager->add(m), nullptr);
    EXPECT_EQ(manager->materialCount, kMaxMaterials);
    EXPECT_EQ(manager->freeSlots(), 0);
    EXPECT_STREQ(manager->materials[kMaxMaterials - 1].name.c_str(), "511");
}

// No GL context here, so no shading path is available: every program is 0,
// and neither "param" nor "objectshader" children are read.
TEST_F(MaterialTables, WithoutShadingPathsEntriesHaveProgramZeroAndPassesRenderFixedFunction) {
    addShader("stale", 3);
    Material m;
    m.name = "wall";
    manager->add(m);
    XMLFile xml = parse("<materialProperties>"
                        "<shaders>"
                        "<shader name='first' vertex='a.vp' fragment='a.fp'>"
                        "<param name='unreadParam' type='vector' formula='x'/>"
                        "<objectshader filename='no such script.ds'/></shader>"
                        "<shader name='noVertex' fragment='b.fp'/>"
                        "<shader name='glsl' vertex='c.vert' fragment='c.frag' language='GLSL'/>"
                        "<shader vertex='d.vp'/>"
                        "<shader name='first' vertex='e.vp'/>"
                        "</shaders>"
                        "<materials><material name='wall'><pass id='1' shader='glsl'/></material></materials>"
                        "</materialProperties>");
    manager->loadMaterialProperties(xml);
    ASSERT_EQ(manager->shaders.size, 4u);
    const char* names[4] = {"first", "glsl", "", "first"};
    for (unsigned i = 0; i < 4; ++i) {
        EXPECT_STREQ(manager->shaders[i].name.c_str(), names[i]) << i;
        EXPECT_EQ(manager->shaders[i].program, 0) << i;
        EXPECT_FALSE(manager->shaders[i].script.valid) << i;
    }
    EXPECT_EQ(manager->findShader("noVertex"), -1);
    EXPECT_LT(ParamDatabase::getInstance()->vectors.findIndex("unreadParam"), 0);
    const Material& wall = manager->materials[0];
    ASSERT_EQ(wall.passes.size, 2u);
    EXPECT_TRUE(wall.passes[1].used);
    EXPECT_EQ(wall.passes[1].shader, 1);
    EXPECT_EQ(wall.passes[1].program, 0);

    // Without a "shaders" child the entries are cleared.
    XMLFile empty = parse("<materialProperties/>");
    manager->loadMaterialProperties(empty);
    EXPECT_EQ(manager->shaders.size, 0u);
}
