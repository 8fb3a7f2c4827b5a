// The shader parameter database without a GL context: the three parameter
// lists, the per-program parameter sets, declared-parameter registration and
// the "#var" declarations of assembly sources.
#include "modules/ShaderManager/ParamDatabase.h"
#include "Core/WinAppFramework/Exception.h"
#include "modules/ShaderManager/ProgramObject.h"
#include "modules/ShaderManager/ShaderManager.h"

#include <gtest/gtest.h>

#include <string>

using namespace Vantor;

namespace {

template <class T> std::string thrownFunction(TParamList<T>& list, const char* name) {
    try {
        list.getValue(String(name));
    } catch (const Exception& e) {
        EXPECT_STREQ(e.message.c_str(), "ParamList entry not found");
        EXPECT_STREQ(e.file.c_str(), "source\\modules\\shadermanager\\.\\ParamDatabase");
        EXPECT_EQ(e.line, 84);
        return e.function.c_str();
    }
    return "no exception";
}

} // namespace

TEST(ParamList, MissingNameThrowsWithTheFunctionNameOfItsType) {
    TParamList<float> floats;
    TParamList<Vector4> vectors;
    TParamList<TMatrix4<float>> matrices;
    floats.setValue("present", 1.0f);
    EXPECT_EQ(thrownFunction(floats, "Present"), "Vantor::TParamList<float>::getValue")
        << "names are case-sensitive";
    EXPECT_EQ(thrownFunction(vectors, "lightPosition"),
              "Vantor::TParamList<union Vantor::Vector4>::getValue");
    EXPECT_EQ(thrownFunction(matrices, "eyeModelview"),
              "Vantor::TParamList<class Vantor::TMatrix4<float> >::getValue");
}

TEST(ParamList, SetValueOverwritesAndKeepsFirstSetOrder) {
    TParamList<float> list;
    list.setValue("b", 1.0f);
    list.setValue("a", 2.0f);
    list.setValue("b", 3.0f);
    ASSERT_EQ(list.size, 2u);
    EXPECT_STREQ(list[0].name.c_str(), "b");
    EXPECT_EQ(list[0].value, 3.0f);
    EXPECT_STREQ(list[1].name.c_str(), "a");
    EXPECT_EQ(list[1].reserved, -1);
    list.getValue(String("a")).value = 7.0f;
    EXPECT_EQ(list[1].value, 7.0f) << "the by-name lookup gives the entry itself";
}

TEST(ParamList, ParamNameCachesTheIndexOnlyOnceFound) {
    TParamList<Vector4> list;
    list.setValue("first", Vector4(1, 2, 3, 4));
    ParamName missing;
    missing.name = "second";
    const TShaderParam<Vector4>& fallback = list.getValue(missing);
    EXPECT_EQ(missing.index, -1);
    EXPECT_EQ(fallback.value.x, 0.0f);
    EXPECT_EQ(fallback.value.w, 1.0f);

    list.setValue("second", Vector4(5, 6, 7, 8));
    EXPECT_EQ(list.getValue(missing).value.x, 5.0f) << "searched again on the next call";
    EXPECT_EQ(missing.index, 1);

    ParamName stale;
    stale.name = "second";
    stale.index = 0;
    EXPECT_EQ(list.getValue(stale).value.x, 1.0f) << "a cached index is used without comparing names";

    TParamList<TMatrix4<float>> matrices;
    const TMatrix4<float>& identity = matrices.getValue(missing).value;
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(identity.m[k], k % 5 == 0 ? 1.0f : 0.0f) << k;
}

TEST(ParamDatabase, ProgramSetsExistOnlyForActivatedIdsInRange) {
    ParamDatabase db;
    db.ensureProgramParams(-1);
    db.ensureProgramParams(kMaxParamProgramId + 1);
    EXPECT_EQ(db.programParams.size, 0u);

    db.addProgramParam(2, "lost", kParamFloat);
    db.ensureProgramParams(3);
    ASSERT_EQ(db.programParams.size, 4u);
    EXPECT_FALSE(db.programParams[2].active);
    EXPECT_TRUE(db.programParams[3].active);
    db.addProgramParam(2, "lost", kParamFloat);
    EXPECT_EQ(db.programParams[2].floats.size, 0u) << "inactive entries take no parameters";

    db.addProgramParam(3, "kept", kParamVector);
    db.addProgramParam(3, "unknownType", 3);
    db.ensureProgramParams(3);
    EXPECT_EQ(db.programParams[3].vectors.size, 1u) << "a second ensure keeps the set";
    EXPECT_EQ(db.programParams[3].floats.size + db.programParams[3].matrices.size, 0u);

    db.ensureProgramParams(kMaxParamProgramId);
    EXPECT_EQ(db.programParams.size, unsigned(kMaxParamProgramId) + 1);
}

TEST(ParamDatabase, RegistrationCreatesDefaultsAndKeepsExistingValues) {
    ParamDatabase db;
    db.vectors.setValue("lightDiffuse", Vector4(0.5f, 0.5f, 0.5f, 1));
    db.registerProgramParam(1, "lightDiffuse", kParamVector);
    db.registerProgramParam(1, "shininess", kParamFloat);
    db.registerProgramParam(1, "eyeModelview", kParamMatrix);
    db.registerProgramParam(2, "shininess", kParamFloat);

    EXPECT_EQ(db.vectors.getValue(String("lightDiffuse")).value.x, 0.5f);
    EXPECT_EQ(db.floats.size, 1u) << "a name is one global entry";
    EXPECT_EQ(db.floats.getValue(String("shininess")).value, 0.0f);
    EXPECT_EQ(db.matrices.getValue(String("eyeModelview")).value.m[15], 1.0f);
    ASSERT_EQ(db.programParams[1].vectors.size, 1u);
    EXPECT_STREQ(db.programParams[1].vectors[0].name.c_str(), "lightDiffuse");
    EXPECT_EQ(db.programParams[1].vectors[0].index, -1) << "resolved at the first upload";
    EXPECT_EQ(db.programParams[2].floats.size, 1u);
}

TEST(ParamDatabase, UploadResolvesNamesOnceAndSkipsProgramsWithoutASet) {
    ParamDatabase db;
    db.floats.setValue("a", 1.0f);
    db.floats.setValue("b", 2.0f);
    db.registerProgramParam(1, "b", kParamFloat);

    // Neither program has shaders attached, so nothing reaches GL.
    ProgramObject beyond;
    beyond.id = 5;
    db.uploadParams(beyond);
    EXPECT_EQ(db.programParams.size, 2u);

    ProgramObject program;
    program.id = 1;
    program.type = kProgramGLSL;
    db.uploadParams(program);
    EXPECT_EQ(db.programParams[1].floats[0].index, 1);
}

namespace {

struct VarCase {
    const char* line;
    bool declares;
    const char* name;
    int reg;
    int count;
};

} // namespace

TEST(VarScanning, DeclarationLines) {
    const VarCase cases[] = {
        {"#var float4 lightPosition :  : c[3] : 1 : 1", true, "lightPosition", 3, 1},
        {"#var float4 boneMatrix[0] :  : c[12], 4 : 2 : 1", true, "boneMatrix[0]", 12, 4},
        {"#var float4x4 mvp : state.matrix.mvp : c[0], 4 : 3 : 1", true, "mvp", 0, 4},
        {"#var float scale :  : c[7] : 4 : 1", true, "scale", 7, 1},
        {"#var sampler2D diffuseMap :  : texunit 0 : 3 : 1", false, "", 0, 0},
        {"#var float4 IN.position : $vin.POSITION : POSITION : 0 : 1", false, "", 0, 0},
        {"#var float4 unused :  :  : 5 : 0", false, "", 0, 0},
        {"#var float4 noRegister :  : c[] : 1 : 1", false, "", 0, 0},
        {"#var float4 negative :  : c[-1] : 1 : 1", false, "", 0, 0},
        {"#var float4 zeroCount :  : c[2], 0 : 1 : 1", false, "", 0, 0},
        {"#var float4 noResourceEnd :  : c[2]", false, "", 0, 0},
        {"#var float4 x", false, "", 0, 0},
        {"#var", false, "", 0, 0},
        {"#variable float4 x :  : c[1] : 1 : 1", false, "", 0, 0},
    };
    for (const VarCase& c : cases) {
        ArrayList<NamedParam> params;
        scanVarDeclarations(String(c.line), params);
        if (!c.declares) {
            EXPECT_EQ(params.size, 0u) << c.line;
            continue;
        }
        ASSERT_EQ(params.size, 1u) << c.line;
        EXPECT_STREQ(params[0].name.c_str(), c.name) << c.line;
        EXPECT_EQ(params[0].registerIndex, c.reg) << c.line;
        EXPECT_EQ(params[0].count, c.count) << c.line;
    }
}

TEST(VarScanning, FieldsDoNotRunIntoTheNextLine) {
    // The first line lacks its resource field; the scan must not borrow it
    // from the second line, and must still read the second.
    const char* source = "!!ARBvp1.0\n"
                         "#var float4 broken :  \n"
                         "#var float4 tint :  : c[1] : 1 : 1\n"
                         "MOV result.color, program.local[1];\n"
                         "#var float4 last :  : c[2], 3 : 2 : 1";
    ArrayList<NamedParam> params;
    scanVarDeclarations(String(source), params);
    ASSERT_EQ(params.size, 2u);
    EXPECT_STREQ(params[0].name.c_str(), "tint");
    EXPECT_EQ(params[0].registerIndex, 1);
    EXPECT_STREQ(params[1].name.c_str(), "last");
    EXPECT_EQ(params[1].count, 3);
}
