// The built-in functions of the standard dialect: constructors, Array size,
// console text, and Vector and Matrix helpers.
//
// Every functor trusts that call resolution has matched its arguments to its
// signature. Functions without a result give the result cell type "void".
// print and cls change only the Console's text; the console draws it.
#pragma once

#include "Core/Matrix4.h"
#include "Core/Vector4.h"
#include "modules/DrovelScript/Dialect.h"

namespace Vantor {

// The default value of a Vector or Matrix. Its name is empty, so that no
// script can call it.
template <class T>
class TCtorFunc : public DSFunctor {
public:
    void declareSignature() override { signature.returnType = dsTypeOf<T>().typeId; }
    void execute(ArrayList<DSVarPtr>&, DSVariable& result) override { result.setType(dsTypeOf<T>()); }
};

// Vector(x, y, z, w).
class VecCtorFunc : public DSFunctor {
public:
    void declareSignature() override;
    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override;
    String getName() override { return "Vector"; }
};

// Matrix(a, b, c, d): the four vectors one after another, a the first column.
class MatCtorFunc : public DSFunctor {
public:
    void declareSignature() override;
    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override;
    String getName() override { return "Matrix"; }
};

// resize(Array a, int n): a gets n fresh "object" elements, the old ones dropped.
class ResizeFunc : public DSFunctor {
public:
    void declareSignature() override;
    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override;
    String getName() override { return "resize"; }
};

// size(Array a): the element count.
class SizeFunc : public DSFunctor {
public:
    void declareSignature() override;
    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override;
    String getName() override { return "size"; }
};

// cls(): empties the Console text.
class ClsFunc : public DSFunctor {
public:
    void declareSignature() override;
    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override;
    String getName() override { return "cls"; }
};

// print(String s): appends the text, no newline added.
class PrintFunc : public DSFunctor {
public:
    void declareSignature() override;
    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override;
    String getName() override { return "print"; }
};

// print(object o): appends the value's text form.
class PrintFuncG : public DSFunctor {
public:
    void declareSignature() override;
    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override;
    String getName() override { return "print"; }
};

// inverse(Matrix m): the general inverse; the identity for a singular matrix.
class MatInverseFunc : public DSFunctor {
public:
    void declareSignature() override;
    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override;
    String getName() override { return "inverse"; }
};

class MatTransposeFunc : public DSFunctor {
public:
    void declareSignature() override;
    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override;
    String getName() override { return "transpose"; }
};

// length(Vector v): the length of the xyz part.
class VecLengthFunc : public DSFunctor {
public:
    void declareSignature() override;
    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override;
    String getName() override { return "length"; }
};

// dot(Vector a, Vector b): the dot product of the xyz parts.
class VecDotFunc : public DSFunctor {
public:
    void declareSignature() override;
    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override;
    String getName() override { return "dot"; }
};

// cross(Vector a, Vector b): the cross product of the xyz parts, w of a.
class VecCrossFunc : public DSFunctor {
public:
    void declareSignature() override;
    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override;
    String getName() override { return "cross"; }
};

} // namespace Vantor
