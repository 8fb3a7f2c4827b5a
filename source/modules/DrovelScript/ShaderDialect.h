// ShaderDialect: the dialect object-shader scripts are compiled against.
//
// A copy of the standard dialect (the same type and functor objects, so the
// same type ids and name rows) with eight more functions that read and write
// the shader parameter database and read the current GL matrices. Without a
// current GL context the matrix getters give the identity instead of asking
// GL, so scripts also run in tools that open no window.
#pragma once

#include "Core/Singleton.h"
#include "modules/DrovelScript/Dialect.h"

namespace Vantor {

// getFloatParam(String name): the float parameter; "ParamList entry not found"
// when the database has no float of that name.
class GetFloatParamFunc : public DSFunctor {
public:
    void declareSignature() override;
    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override;
    String getName() override { return "getFloatParam"; }
};

class GetVecParamFunc : public DSFunctor {
public:
    void declareSignature() override;
    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override;
    String getName() override { return "getVectorParam"; }
};

class GetMatParamFunc : public DSFunctor {
public:
    void declareSignature() override;
    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override;
    String getName() override { return "getMatrixParam"; }
};

// setFloatParam(String name, float value): overwrites the entry or creates it.
class SetFloatParamFunc : public DSFunctor {
public:
    void declareSignature() override;
    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override;
    String getName() override { return "setFloatParam"; }
};

class SetVectorParamFunc : public DSFunctor {
public:
    void declareSignature() override;
    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override;
    String getName() override { return "setVectorParam"; }
};

class SetMatrixParamFunc : public DSFunctor {
public:
    void declareSignature() override;
    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override;
    String getName() override { return "setMatrixParam"; }
};

// getModelview(): the current GL model-view matrix (the identity without a context).
class GetModelviewFunc : public DSFunctor {
public:
    void declareSignature() override;
    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override;
    String getName() override { return "getModelview"; }
};

// getProjection(): the current GL projection matrix (the identity without a context).
class GetProjectionFunc : public DSFunctor {
public:
    void declareSignature() override;
    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override;
    String getName() override { return "getProjection"; }
};

class ShaderDialect : public Dialect, public Singleton<ShaderDialect> {
public:
    // The standard dialect's tables, then the eight parameter functions.
    ShaderDialect();
};

} // namespace Vantor
