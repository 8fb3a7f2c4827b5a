// The operator arithmetic that is not inline: integer division and the
// element-wise and vector products of matrices.
#include "modules/DrovelScript/StandardOperators.h"

#include "Core/WinAppFramework/Exception.h"

#include <climits>

namespace Vantor {

namespace {

const char* const standardDialectFile = "source\\modules\\DrovelScript\\StandardDialect";
constexpr int lineIntegerDivisionByZero = 212;

} // namespace

int dsmath::div(int a, int b) {
    if (b == 0)
        throw Exception("Integer division by zero", "Vantor::TDivFunc<int,int,int>::compute",
                        standardDialectFile, lineIntegerDivisionByZero);
    // The one quotient that does not fit an int; the processor traps on it.
    if (a == INT_MIN && b == -1)
        return INT_MIN;
    return a / b;
}

TMatrix4<float> dsmath::add(const TMatrix4<float>& a, const TMatrix4<float>& b) {
    TMatrix4<float> r;
    for (int i = 0; i < 16; ++i)
        r.m[i] = a.m[i] + b.m[i];
    return r;
}

TMatrix4<float> dsmath::sub(const TMatrix4<float>& a, const TMatrix4<float>& b) {
    TMatrix4<float> r;
    for (int i = 0; i < 16; ++i)
        r.m[i] = a.m[i] - b.m[i];
    return r;
}

TMatrix4<float> dsmath::mul(float s, const TMatrix4<float>& m) {
    TMatrix4<float> r;
    for (int i = 0; i < 16; ++i)
        r.m[i] = s * m.m[i];
    return r;
}

Vector4 dsmath::mul(const TMatrix4<float>& m, const Vector4& v) {
    Vector4 r;
    for (int row = 0; row < 4; ++row)
        r[row] = m(row, 0) * v[0] + m(row, 1) * v[1] + m(row, 2) * v[2] + m(row, 3) * v[3];
    return r;
}

} // namespace Vantor
