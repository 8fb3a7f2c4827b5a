// Matrix4: column-major layout and GL composition order, agreement of the SSE
// and scalar products (aliasing included), the transforms, and the three
// inverses with their rigid and singular cut-offs.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <random>

#include "Core/Matrix4.h"

using Vantor::Matrix4;
using Vantor::Vector3;

namespace {

constexpr float kTolerance = 1e-5f;

void expectNear(const Matrix4& actual, const Matrix4& expected, float tolerance = kTolerance) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(actual.m[i], expected.m[i], tolerance) << "element " << i;
}

void expectNear(const Vector3& actual, const Vector3& expected, float tolerance = kTolerance) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

Vector3 transformed(const Matrix4& matrix, Vector3 p) {
    matrix.transformPoint(p);
    return p;
}

Matrix4 fromRows(std::initializer_list<float> rowMajor) {
    Matrix4 out;
    int i = 0;
    for (float value : rowMajor) {
        out(i / 4, i % 4) = value;
        ++i;
    }
    return out;
}

Matrix4 randomMatrix(std::mt19937& rng) {
    std::uniform_real_distribution<float> value(-10.0f, 10.0f);
    Matrix4 out;
    for (float& e : out.m)
        e = value(rng);
    return out;
}

// Sum over k of a(r, k) * b(k, c), straight from the definition, in double.
Matrix4 referenceProduct(const Matrix4& a, const Matrix4& b) {
    Matrix4 out;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += double(a(r, k)) * b(k, c);
            out(r, c) = float(sum);
        }
    return out;
}

TEST(Matrix4Layout, ColumnMajorIdentityByDefault) {
    EXPECT_EQ(sizeof(Matrix4), 64u);
    const Matrix4 identity;
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(identity.m[i], (i % 5 == 0) ? 1.0f : 0.0f) << i;

    const Matrix4 t = Matrix4::translation(1, 2, 3);
    EXPECT_EQ(t.m[12], 1.0f);
    EXPECT_EQ(t.m[13], 2.0f);
    EXPECT_EQ(t.m[14], 3.0f);
    EXPECT_EQ(&t(1, 3), &t.m[13]);
    EXPECT_EQ(&t(3, 0), &t.m[3]);
}

TEST(Matrix4Product, MatchesHandBuiltColumnMajorProduct) {
    const Matrix4 a = fromRows({1, 2, 0, 0,  //
                                0, 1, 0, 3,  //
                                0, 0, 2, 0,  //
                                1, 0, 0, 1});
    const Matrix4 b = fromRows({0, 1, 0, 0,  //
                                1, 0, 0, 0,  //
                                0, 0, 1, 5,  //
                                2, 0, 0, 1});
    const Matrix4 expected = fromRows({2, 1, 0, 0,  //
                                       7, 0, 0, 3,  //
                                       0, 0, 2, 10, //
                                       2, 1, 0, 1});
    expectNear(a * b, expected, 0.0f);
    expectNear(referenceProduct(a, b), expected, 0.0f);
}

TEST(Matrix4Product, RightOperandActsFirst) {
    Matrix4 scale;
    scale.m[0] = scale.m[5] = scale.m[10] = 2;
    const Matrix4 move = Matrix4::translation(1, 2, 3);
    expectNear(transformed(move * scale, {1, 1, 1}), {3, 4, 5});
    expectNear(transformed(scale * move, {1, 1, 1}), {4, 6, 8});

    Matrix4 viaMultiply = move;
    viaMultiply.multiply(scale);
    expectNear(viaMultiply, move * scale, 0.0f);

    Matrix4 third;
    Matrix4::multiply(scale, move, third);
    expectNear(third, scale * move, 0.0f);
}

TEST(Matrix4Product, SseAndScalarAgreeOnRandomMatrices) {
    const int caps = Vantor::cpuCapabilities();
    EXPECT_NE(caps, Vantor::kCpuCapabilitiesUnprobed);
#if defined(__x86_64__)
    EXPECT_TRUE(caps & Vantor::kCpuHasSse);
    EXPECT_TRUE(caps & Vantor::kCpuHasSse2);
#endif

    std::mt19937 rng(20240611);
    for (int n = 0; n < 2000; ++n) {
        const Matrix4 a = randomMatrix(rng), b = randomMatrix(rng);
        Matrix4 sse, scalar, dispatched;
        Vantor::multiplyMatrices4SSE(a.m, b.m, sse.m);
        Vantor::multiplyMatrices4Scalar(a.m, b.m, scalar.m);
        Vantor::multiplyMatrices4(a.m, b.m, dispatched.m);
        const Matrix4 reference = referenceProduct(a, b);
        for (int i = 0; i < 16; ++i) {
            // Products of values up to 10 sum to at most 400; allow a few ulps of that.
            ASSERT_NEAR(sse.m[i], scalar.m[i], 1e-4f) << "pair " << n << " element " << i;
            ASSERT_NEAR(sse.m[i], reference.m[i], 1e-4f) << "pair " << n << " element " << i;
            ASSERT_EQ(dispatched.m[i], (caps & Vantor::kCpuHasSse) ? sse.m[i] : scalar.m[i]);
        }
    }
}

TEST(Matrix4Product, OutputMayAliasEitherOperand) {
    std::mt19937 rng(7);
    const Matrix4 a = randomMatrix(rng), b = randomMatrix(rng);
    const Matrix4 ab = referenceProduct(a, b), aa = referenceProduct(a, a);
    using Product = void (*)(const float*, const float*, float*);
    for (Product product : {Product(Vantor::multiplyMatrices4SSE), Product(Vantor::multiplyMatrices4Scalar)}) {
        Matrix4 left = a;
        product(left.m, b.m, left.m);
        expectNear(left, ab, 1e-4f);
        Matrix4 right = b;
        product(a.m, right.m, right.m);
        expectNear(right, ab, 1e-4f);
        Matrix4 both = a;
        product(both.m, both.m, both.m);
        expectNear(both, aa, 1e-4f);
    }
    Matrix4 self = a;
    self.multiply(self);
    expectNear(self, aa, 1e-4f);
}

TEST(Matrix4Transform, TranslateAndRotatePostMultiplyLikeGl) {
    const Matrix4 base = fromRows({0, -1, 0, 4,  //
                                   1, 0, 0, 5,   //
                                   0, 0, 2, 6,   //
                                   0, 0, 0, 1});
    Matrix4 translated = base;
    translated.translate(1, 2, 3);
    const Matrix4 explicitTranslation = fromRows({1, 0, 0, 1,  //
                                                  0, 1, 0, 2,  //
                                                  0, 0, 1, 3,  //
                                                  0, 0, 0, 1});
    expectNear(translated, referenceProduct(base, explicitTranslation));

    Matrix4 rotated = base;
    rotated.rotate(90, 0, 0, 1);
    const Matrix4 explicitRotation = fromRows({0, -1, 0, 0,  //
                                               1, 0, 0, 0,   //
                                               0, 0, 1, 0,   //
                                               0, 0, 0, 1});
    expectNear(rotated, referenceProduct(base, explicitRotation));
}

TEST(Matrix4Transform, RotationsTurnCounterClockwiseAboutTheirAxis) {
    Matrix4 aboutZ;
    aboutZ.rotate(90, 0, 0, 1);
    expectNear(transformed(aboutZ, {1, 0, 0}), {0, 1, 0});
    expectNear(transformed(Matrix4::rotation(90, 1, 0, 0), {0, 1, 0}), {0, 0, 1});
    expectNear(transformed(Matrix4::rotation(90, 0, 1, 0), {0, 0, 1}), {1, 0, 0});

    // A third of a turn about the diagonal cycles the axes x -> y -> z -> x,
    // which exercises every off-diagonal term.
    const float k = 1.0f / std::sqrt(3.0f);
    const Matrix4 cycle = Matrix4::rotation(120, k, k, k);
    expectNear(transformed(cycle, {1, 0, 0}), {0, 1, 0});
    expectNear(transformed(cycle, {0, 1, 0}), {0, 0, 1});
    expectNear(transformed(cycle, {0, 0, 1}), {1, 0, 0});
    EXPECT_TRUE(cycle.isRigid());
}

TEST(Matrix4Transform, TransformPointIgnoresTheProjectiveRow) {
    Matrix4 m = Matrix4::translation(1, 2, 3);
    m.m[3] = 5;
    m.m[7] = 6;
    m.m[15] = 9;
    expectNear(transformed(m, {1, 1, 1}), {2, 3, 4});
}

TEST(Matrix4Transform, TransposeSwapsRowsAndColumns) {
    Matrix4 m;
    for (int i = 0; i < 16; ++i)
        m.m[i] = float(i);
    Matrix4 t = m;
    t.transpose();
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(t(r, c), m(c, r));
}

TEST(Matrix4Inverse, RigidInverseUndoesRotationAndTranslation) {
    Matrix4 move = Matrix4::translation(1, 2, 3);
    move.rigidInverse();
    expectNear(move, Matrix4::translation(-1, -2, -3), 0.0f);

    const Matrix4 turn = Matrix4::rotation(30, 0, 0.6f, 0.8f);
    Matrix4 inverted = turn, transposed = turn;
    inverted.rigidInverse();
    transposed.transpose();
    expectNear(inverted, transposed, 0.0f);

    Matrix4 pose = Matrix4::translation(4, -5, 6);
    pose.rotate(75, 0.48f, 0.6f, 0.64f);
    pose.translate(-1, 0, 2);
    ASSERT_TRUE(pose.isRigid());
    Matrix4 rigid = pose, general = pose;
    rigid.rigidInverse();
    general.inverse();
    expectNear(rigid, general);
    expectNear(pose * rigid, Matrix4(), 1e-4f);
    expectNear(transformed(rigid, transformed(pose, {7, 8, 9})), {7, 8, 9}, 1e-4f);
}

TEST(Matrix4Inverse, GeneralInverseOfNonRigidMatrices) {
    // Scale just outside the rigid tolerance must not take the rigid shortcut.
    Matrix4 nearlyRigid = Matrix4::rotation(40, 0, 1, 0);
    for (int i : {0, 1, 2})
        nearlyRigid.m[i] *= 1.01f;
    EXPECT_FALSE(nearlyRigid.isRigid());
    // An orthonormal 3x3 is not enough when the projective row is not 0 0 0 1.
    Matrix4 projectiveRotation = Matrix4::rotation(25, 1, 0, 0);
    projectiveRotation(3, 2) = 0.5f;
    EXPECT_FALSE(projectiveRotation.isRigid());
    // Unit-length columns that are not orthogonal are not a rotation either.
    const Matrix4 skewed = fromRows({1, 0.6f, 0, 1,  //
                                     0, 0.8f, 0, 2,  //
                                     0, 0, 1, 3,     //
                                     0, 0, 0, 1});
    EXPECT_FALSE(skewed.isRigid());

    const Matrix4 sheared = fromRows({2, 1, 0, 3,   //
                                      0, 3, 1, -1,  //
                                      1, 0, 4, 2,   //
                                      0, 0, 0, 1});
    // A perspective projection: the projective row is not 0 0 0 1.
    const Matrix4 perspective = fromRows({1.5f, 0, 0, 0,  //
                                          0, 2, 0, 0,     //
                                          0, 0, -1.2f, -2.2f, //
                                          0, 0, -1, 0});
    for (const Matrix4& m : {nearlyRigid, projectiveRotation, skewed, sheared, perspective}) {
        Matrix4 inv = m;
        inv.inverse();
        expectNear(m * inv, Matrix4(), 1e-4f);
        expectNear(inv * m, Matrix4(), 1e-4f);
    }

    EXPECT_FLOAT_EQ(fromRows({2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1}).determinant(), 24.0f);
    EXPECT_FLOAT_EQ(fromRows({0, 3, 0, 0, 2, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1}).determinant(), -24.0f);
}

TEST(Matrix4Inverse, NearSingularMatricesBecomeTheIdentity) {
    const Matrix4 rankThree = fromRows({1, 2, 3, 4,  //
                                        2, 4, 6, 8,  //
                                        0, 1, 0, 1,  //
                                        0, 0, 0, 1});
    Matrix4 inv = rankThree;
    inv.inverse();
    expectNear(inv, Matrix4(), 0.0f);

    // Uniform scale s has determinant s^3: 0.04^3 is below the cut-off, 0.05^3 above.
    Matrix4 tooSmall, smallEnough;
    tooSmall.m[0] = tooSmall.m[5] = tooSmall.m[10] = 0.04f;
    smallEnough.m[0] = smallEnough.m[5] = smallEnough.m[10] = 0.05f;
    tooSmall.inverse();
    smallEnough.inverse();
    expectNear(tooSmall, Matrix4(), 0.0f);
    EXPECT_NEAR(smallEnough.m[0], 20.0f, 1e-3f);
}

TEST(Matrix4Generic, DoubleMatricesUseTheSameRules) {
    Vantor::TMatrix4<double> m = Vantor::TMatrix4<double>::translation(1, 2, 3);
    m.rotate(90, 0, 0, 1);
    m.m[1] *= 2;
    Vantor::TMatrix4<double> inv = m;
    inv.inverse();
    const Vantor::TMatrix4<double> product = m * inv;
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(product.m[i], (i % 5 == 0) ? 1.0 : 0.0, 1e-9);
}

} // namespace
