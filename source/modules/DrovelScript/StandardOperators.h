// The operator functors of the standard dialect: arithmetic on int, float,
// Vector and Matrix, logic on bool, comparisons of int and float.
//
// TArithmeticFunc<R, A, B> unpacks an A and a B, computes and stores an R;
// TConditionalFunc<T> compares two T and stores a bool. Operands are read in
// full before the result cell is written, and never changed. Vector results
// keep the w of the (first) Vector operand. Integer arithmetic wraps around
// in two's complement; integer division by zero raises an Exception.
#pragma once

#include "Core/Matrix4.h"
#include "Core/Vector3.h"
#include "Core/Vector4.h"
#include "modules/DrovelScript/Dialect.h"

namespace Vantor {

namespace dsmath {

inline int add(int a, int b) { return int(unsigned(a) + unsigned(b)); }
inline int sub(int a, int b) { return int(unsigned(a) - unsigned(b)); }
inline int mul(int a, int b) { return int(unsigned(a) * unsigned(b)); }
// Truncates toward zero; INT_MIN / -1 wraps to INT_MIN. "Integer division
// by zero" for b == 0.
int div(int a, int b);
inline int negate(int a) { return int(0u - unsigned(a)); }

inline float add(float a, float b) { return a + b; }
inline float sub(float a, float b) { return a - b; }
inline float mul(float a, float b) { return a * b; }
inline float div(float a, float b) { return a / b; }
inline float negate(float a) { return -a; }

inline Vector4 add(const Vector4& a, const Vector4& b) { return {a.x + b.x, a.y + b.y, a.z + b.z, a.w}; }
inline Vector4 sub(const Vector4& a, const Vector4& b) { return {a.x - b.x, a.y - b.y, a.z - b.z, a.w}; }
// The cross product of the xyz parts.
inline Vector4 mul(const Vector4& a, const Vector4& b) { return Vector4(cross(a.xyz(), b.xyz()), a.w); }
inline Vector4 mul(float s, const Vector4& v) { return {s * v.x, s * v.y, s * v.z, v.w}; }
inline Vector4 mul(const Vector4& v, float s) { return {s * v.x, s * v.y, s * v.z, v.w}; }
inline Vector4 div(const Vector4& v, float s) { return mul(v, 1.0f / s); }
inline Vector4 negate(const Vector4& v) { return {-v.x, -v.y, -v.z, v.w}; }

TMatrix4<float> add(const TMatrix4<float>& a, const TMatrix4<float>& b);
TMatrix4<float> sub(const TMatrix4<float>& a, const TMatrix4<float>& b);
inline TMatrix4<float> mul(const TMatrix4<float>& a, const TMatrix4<float>& b) { return a * b; }
TMatrix4<float> mul(float s, const TMatrix4<float>& m);
inline TMatrix4<float> mul(const TMatrix4<float>& m, float s) { return mul(s, m); }
// The full 4x4 product m * v, w included.
Vector4 mul(const TMatrix4<float>& m, const Vector4& v);
inline TMatrix4<float> div(const TMatrix4<float>& m, float s) { return mul(1.0f / s, m); }

} // namespace dsmath

template <class R, class A, class B>
class TArithmeticFunc : public DSFunctor {
public:
    void declareSignature() override {
        signature.parameterTypes.add(dsTypeOf<A>().typeId);
        signature.parameterTypes.add(dsTypeOf<B>().typeId);
        signature.returnType = dsTypeOf<R>().typeId;
    }

    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override {
        const A a = arguments[0]->template get<A>();
        const B b = arguments[1]->template get<B>();
        const R r = compute(a, b);
        result.setType(dsTypeOf<R>());
        result.set(r);
    }

    virtual R compute(const A& a, const B& b) = 0;
};

template <class R, class A, class B>
class TAddFunc : public TArithmeticFunc<R, A, B> {
public:
    R compute(const A& a, const B& b) override { return dsmath::add(a, b); }
};

template <class R, class A, class B>
class TSubFunc : public TArithmeticFunc<R, A, B> {
public:
    R compute(const A& a, const B& b) override { return dsmath::sub(a, b); }
};

template <class R, class A, class B>
class TMulFunc : public TArithmeticFunc<R, A, B> {
public:
    R compute(const A& a, const B& b) override { return dsmath::mul(a, b); }
};

template <class R, class A, class B>
class TDivFunc : public TArithmeticFunc<R, A, B> {
public:
    R compute(const A& a, const B& b) override { return dsmath::div(a, b); }
};

template <class T>
class TConditionalFunc : public DSFunctor {
public:
    void declareSignature() override {
        signature.parameterTypes.add(dsTypeOf<T>().typeId);
        signature.parameterTypes.add(dsTypeOf<T>().typeId);
        signature.returnType = dsTypeOf<bool>().typeId;
    }

    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override {
        const bool r = compute(arguments[0]->template get<T>(), arguments[1]->template get<T>());
        result.setType(dsTypeOf<bool>());
        result.set(r);
    }

    virtual bool compute(const T& a, const T& b) = 0;
};

template <class T>
class TLessFunc : public TConditionalFunc<T> {
public:
    bool compute(const T& a, const T& b) override { return a < b; }
};

template <class T>
class TGreaterFunc : public TConditionalFunc<T> {
public:
    bool compute(const T& a, const T& b) override { return a > b; }
};

template <class T>
class TEqualFunc : public TConditionalFunc<T> {
public:
    bool compute(const T& a, const T& b) override { return a == b; }
};

template <class T>
class TNotEqualFunc : public TConditionalFunc<T> {
public:
    bool compute(const T& a, const T& b) override { return a != b; }
};

template <class T>
class TLessOrEqualFunc : public TConditionalFunc<T> {
public:
    bool compute(const T& a, const T& b) override { return a <= b; }
};

template <class T>
class TGreaterOrEqualFunc : public TConditionalFunc<T> {
public:
    bool compute(const T& a, const T& b) override { return a >= b; }
};

class TAndFunc : public TConditionalFunc<bool> {
public:
    bool compute(const bool& a, const bool& b) override { return a && b; }
};

class TOrFunc : public TConditionalFunc<bool> {
public:
    bool compute(const bool& a, const bool& b) override { return a || b; }
};

class UnaryNotFunc : public DSFunctor {
public:
    void declareSignature() override {
        signature.parameterTypes.add(dsTypeOf<bool>().typeId);
        signature.returnType = dsTypeOf<bool>().typeId;
    }

    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override {
        const bool a = arguments[0]->get<bool>();
        result.setType(dsTypeOf<bool>());
        result.set(!a);
    }
};

template <class T>
class TUnaryMinusFunc : public DSFunctor {
public:
    void declareSignature() override {
        signature.parameterTypes.add(dsTypeOf<T>().typeId);
        signature.returnType = dsTypeOf<T>().typeId;
    }

    void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) override {
        const T r = dsmath::negate(arguments[0]->template get<T>());
        result.setType(dsTypeOf<T>());
        result.set(r);
    }
};

} // namespace Vantor
