// TMatrix4<T>: a 4x4 matrix laid out exactly as OpenGL expects, sixteen T in
// column-major order: element (row r, column c) is m[4 * c + r]. So m[12],
// m[13], m[14] are the translation, m[3], m[7], m[11] the projective row, and
// m[15] is 1 for an affine matrix. A TMatrix4<float> can be given to
// glLoadMatrixf / glMultMatrixf or filled by glGetFloatv without conversion.
//
// Composition follows GL: a.multiply(b) makes a = a * b, so b acts on a point
// first, and translate/rotate post-multiply like glTranslatef/glRotatef.
// Angles are in degrees. A default-constructed matrix is the identity; the
// struct is a plain trivially copyable value (copies are a 64-byte block copy).
//
// Float products go through multiplyMatrices4, which uses SSE when the CPU
// probe (run once, on the first product) reports it, and a scalar loop
// otherwise; the two give the same sums in the same order.
#pragma once

#include <cmath>
#include <type_traits>

#include "Core/Angle.h"
#include "Core/Vector3.h"

namespace Vantor {

// The process-wide CPU capability word: kCpuCapabilitiesUnprobed until the
// first call (or the first matrix product) probes the CPU, then a mask of the
// kCpuHas* bits, cached for the rest of the run. Always 0 on non-x86 builds.
constexpr int kCpuCapabilitiesUnprobed = -1;
constexpr int kCpuHasSse = 1 << 0;
constexpr int kCpuHasSse2 = 1 << 1;
int cpuCapabilities();

// out = a * b for column-major 4x4 float matrices. None of the pointers needs
// 16-byte alignment, and out may be the same array as a or b (or both).
void multiplyMatrices4Scalar(const float* a, const float* b, float* out);
// The same product four floats at a time; falls back to the scalar loop on
// builds for CPUs without SSE intrinsics. Call only when cpuCapabilities()
// has kCpuHasSse, or use multiplyMatrices4.
void multiplyMatrices4SSE(const float* a, const float* b, float* out);
// Picks one of the two above from the cached CPU probe.
void multiplyMatrices4(const float* a, const float* b, float* out);

// inverse() gives up (and yields the identity) below this |determinant|.
constexpr double kSingularDeterminant = 0.0001;
// How far from unit length and from orthogonal the columns of the upper 3x3
// may be for inverse() to treat a matrix as rotation plus translation.
constexpr double kRigidTolerance = 0.0001;

namespace detail {

// out = a * b, each result column the sum of a's columns weighted by the
// matching column of b, accumulated in column order. Alias-safe.
template <class T>
void multiplyMatrices4Generic(const T* a, const T* b, T* out) {
    T r[16];
    for (int col = 0; col < 4; ++col) {
        const T* bc = b + 4 * col;
        for (int row = 0; row < 4; ++row)
            r[4 * col + row] = a[row] * bc[0] + a[4 + row] * bc[1] + a[8 + row] * bc[2] + a[12 + row] * bc[3];
    }
    for (int i = 0; i < 16; ++i)
        out[i] = r[i];
}

} // namespace detail

template <class T>
struct TMatrix4 {
    T m[16];

    constexpr TMatrix4() : m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1} {}

    // From sixteen values in column-major order (the layout of m).
    explicit TMatrix4(const T* columnMajor) {
        for (int i = 0; i < 16; ++i)
            m[i] = columnMajor[i];
    }

    T& operator()(int row, int col) { return m[4 * col + row]; }
    const T& operator()(int row, int col) const { return m[4 * col + row]; }

    void identity() { *this = TMatrix4(); }

    // out = a * b; out may be a or b.
    static void multiply(const TMatrix4& a, const TMatrix4& b, TMatrix4& out) {
        if constexpr (std::is_same<T, float>::value)
            multiplyMatrices4(a.m, b.m, out.m);
        else
            detail::multiplyMatrices4Generic(a.m, b.m, out.m);
    }

    // this = this * b: b is applied first, as with glMultMatrixf.
    void multiply(const TMatrix4& b) { multiply(*this, b, *this); }

    TMatrix4 operator*(const TMatrix4& b) const {
        TMatrix4 out;
        multiply(*this, b, out);
        return out;
    }

    static TMatrix4 translation(T x, T y, T z) {
        TMatrix4 t;
        t.m[12] = x;
        t.m[13] = y;
        t.m[14] = z;
        return t;
    }

    // The rotation by angle degrees about (x, y, z), element for element what
    // glRotatef builds, except that the axis is used as given rather than
    // normalised: callers pass a unit axis.
    static TMatrix4 rotation(T angle, T x, T y, T z) {
        const double radians = angle * kDegreesToRadians;
        const T c = static_cast<T>(std::cos(radians));
        const T s = static_cast<T>(std::sin(radians));
        const T t = 1 - c;
        TMatrix4 r;
        r.m[0] = t * x * x + c;
        r.m[1] = t * x * y + z * s;
        r.m[2] = t * x * z - y * s;
        r.m[4] = t * x * y - z * s;
        r.m[5] = t * y * y + c;
        r.m[6] = t * y * z + x * s;
        r.m[8] = t * x * z + y * s;
        r.m[9] = t * y * z - x * s;
        r.m[10] = t * z * z + c;
        return r;
    }

    // this = this * translation(x, y, z), like glTranslatef. Only the
    // translation column changes, so it is computed directly.
    void translate(T x, T y, T z) {
        for (int row = 0; row < 4; ++row)
            m[12 + row] += m[row] * x + m[4 + row] * y + m[8 + row] * z;
    }

    // this = this * rotation(angle, x, y, z), like glRotatef.
    void rotate(T angle, T x, T y, T z) { multiply(rotation(angle, x, y, z)); }

    // v = upper 3x4 of this applied to (v, 1); the projective row is ignored.
    void transformPoint(TVector3<T>& v) const {
        const T x = v.x, y = v.y, z = v.z;
        v.x = m[0] * x + m[4] * y + m[8] * z + m[12];
        v.y = m[1] * x + m[5] * y + m[9] * z + m[13];
        v.z = m[2] * x + m[6] * y + m[10] * z + m[14];
    }

    void transpose() {
        swapElements(1, 4);
        swapElements(2, 8);
        swapElements(3, 12);
        swapElements(6, 9);
        swapElements(7, 13);
        swapElements(11, 14);
    }

    // Inverts in place assuming this is a rotation followed by a translation
    // (orthonormal upper 3x3, projective row 0 0 0 1): the 3x3 is transposed
    // and the translation t becomes -(R^T t). Other matrices come out wrong.
    void rigidInverse() {
        swapElements(1, 4);
        swapElements(2, 8);
        swapElements(6, 9);
        const T tx = m[12], ty = m[13], tz = m[14];
        m[12] = -(m[0] * tx + m[4] * ty + m[8] * tz);
        m[13] = -(m[1] * tx + m[5] * ty + m[9] * tz);
        m[14] = -(m[2] * tx + m[6] * ty + m[10] * tz);
    }

    // True when rigidInverse() inverts this: projective row exactly 0 0 0 1,
    // upper 3x3 columns of unit length and pairwise orthogonal, each within
    // kRigidTolerance.
    bool isRigid() const {
        if (m[3] != 0 || m[7] != 0 || m[11] != 0 || m[15] != 1)
            return false;
        const TVector3<T> c0(m[0], m[1], m[2]), c1(m[4], m[5], m[6]), c2(m[8], m[9], m[10]);
        const T tolerance = static_cast<T>(kRigidTolerance);
        const auto unit = [tolerance](const TVector3<T>& v) {
            return std::fabs(v.length() - 1) <= tolerance;
        };
        const auto orthogonal = [tolerance](const TVector3<T>& u, const TVector3<T>& v) {
            return std::fabs(dot(u, v)) <= tolerance;
        };
        return unit(c0) && unit(c1) && unit(c2) && orthogonal(c0, c1) && orthogonal(c0, c2) &&
               orthogonal(c1, c2);
    }

    T determinant() const {
        T det = 0;
        for (int col = 0; col < 4; ++col)
            det += (*this)(0, col) * cofactor(0, col);
        return det;
    }

    // Inverts in place: rigid matrices by rigidInverse(), others as the
    // adjugate over the determinant. When |determinant| < kSingularDeterminant
    // there is no usable inverse and this becomes the identity.
    void inverse() {
        if (isRigid()) {
            rigidInverse();
            return;
        }
        T cof[16];
        for (int col = 0; col < 4; ++col)
            for (int row = 0; row < 4; ++row)
                cof[4 * col + row] = cofactor(row, col);
        T det = 0;
        for (int col = 0; col < 4; ++col)
            det += m[4 * col] * cof[4 * col];
        if (std::fabs(det) < static_cast<T>(kSingularDeterminant)) {
            identity();
            return;
        }
        // The adjugate is the transposed cofactor matrix.
        for (int col = 0; col < 4; ++col)
            for (int row = 0; row < 4; ++row)
                m[4 * col + row] = cof[4 * row + col] / det;
    }

private:
    void swapElements(int i, int j) {
        const T held = m[i];
        m[i] = m[j];
        m[j] = held;
    }

    // (-1)^(row + col) times the determinant of the 3x3 left after removing
    // row and col.
    T cofactor(int row, int col) const {
        int r[3], c[3];
        for (int i = 0, n = 0; i < 4; ++i)
            if (i != row)
                r[n++] = i;
        for (int i = 0, n = 0; i < 4; ++i)
            if (i != col)
                c[n++] = i;
        const TMatrix4& e = *this;
        const T minor = e(r[0], c[0]) * (e(r[1], c[1]) * e(r[2], c[2]) - e(r[1], c[2]) * e(r[2], c[1])) -
                        e(r[0], c[1]) * (e(r[1], c[0]) * e(r[2], c[2]) - e(r[1], c[2]) * e(r[2], c[0])) +
                        e(r[0], c[2]) * (e(r[1], c[0]) * e(r[2], c[1]) - e(r[1], c[1]) * e(r[2], c[0]));
        return ((row + col) % 2 == 0) ? minor : -minor;
    }
};

using Matrix4 = TMatrix4<float>;

static_assert(sizeof(Matrix4) == 16 * sizeof(float), "Matrix4 must stay sixteen packed floats");
static_assert(std::is_trivially_copyable<Matrix4>::value, "Matrix4 is copied as a 64-byte block");
static_assert(std::is_standard_layout<Matrix4>::value, "Matrix4 is handed to GL as a float array");

} // namespace Vantor
