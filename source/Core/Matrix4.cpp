// The float matrix product: the CPU probe, the scalar and SSE paths, and the
// dispatch between them that TMatrix4<float>::multiply goes through.
//
// Both paths form result column k as a0*b[4k] + a1*b[4k+1] + a2*b[4k+2] +
// a3*b[4k+3] (a0..a3 the columns of a), added left to right, so they agree up
// to rounding (exactly, unless the compiler contracts one of them into FMAs).
#include "Core/Matrix4.h"

#include <atomic>

#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86)
#define VANTOR_MATRIX4_X86 1
#include <xmmintrin.h>
#else
#define VANTOR_MATRIX4_X86 0
#endif

// Lets the SSE path compile in a 32-bit x86 build that does not enable SSE
// globally; a no-op on x86-64, where SSE is part of the base instruction set.
#if VANTOR_MATRIX4_X86 && defined(__GNUC__)
#define VANTOR_TARGET_SSE __attribute__((target("sse")))
#else
#define VANTOR_TARGET_SSE
#endif

namespace Vantor {

namespace {

// Constant-initialised, so it is valid even for products run by other
// translation units' static constructors. Threads that race on the first
// probe all store the same value.
std::atomic<int> g_cpuCapabilities{kCpuCapabilitiesUnprobed};

int probeCpuCapabilities() {
#if VANTOR_MATRIX4_X86 && defined(__GNUC__)
    // Needed when the probe runs before the runtime's own constructors have.
    __builtin_cpu_init();
    int caps = 0;
    if (__builtin_cpu_supports("sse"))
        caps |= kCpuHasSse;
    if (__builtin_cpu_supports("sse2"))
        caps |= kCpuHasSse2;
    return caps;
#elif defined(_M_X64)
    return kCpuHasSse | kCpuHasSse2;
#else
    return 0;
#endif
}

} // namespace

int cpuCapabilities() {
    int caps = g_cpuCapabilities.load(std::memory_order_relaxed);
    if (caps == kCpuCapabilitiesUnprobed) {
        caps = probeCpuCapabilities();
        g_cpuCapabilities.store(caps, std::memory_order_relaxed);
    }
    return caps;
}

void multiplyMatrices4Scalar(const float* a, const float* b, float* out) {
    detail::multiplyMatrices4Generic(a, b, out);
}

#if VANTOR_MATRIX4_X86
// All of a is loaded before anything is stored, and column k of b is read
// before column k of out is written, so out may alias a or b.
VANTOR_TARGET_SSE void multiplyMatrices4SSE(const float* a, const float* b, float* out) {
    const __m128 a0 = _mm_loadu_ps(a);
    const __m128 a1 = _mm_loadu_ps(a + 4);
    const __m128 a2 = _mm_loadu_ps(a + 8);
    const __m128 a3 = _mm_loadu_ps(a + 12);
    for (int col = 0; col < 4; ++col) {
        const float* bc = b + 4 * col;
        __m128 r = _mm_mul_ps(a0, _mm_set1_ps(bc[0]));
        r = _mm_add_ps(r, _mm_mul_ps(a1, _mm_set1_ps(bc[1])));
        r = _mm_add_ps(r, _mm_mul_ps(a2, _mm_set1_ps(bc[2])));
        r = _mm_add_ps(r, _mm_mul_ps(a3, _mm_set1_ps(bc[3])));
        _mm_storeu_ps(out + 4 * col, r);
    }
}
#else
void multiplyMatrices4SSE(const float* a, const float* b, float* out) {
    multiplyMatrices4Scalar(a, b, out);
}
#endif

void multiplyMatrices4(const float* a, const float* b, float* out) {
    if (cpuCapabilities() & kCpuHasSse)
        multiplyMatrices4SSE(a, b, out);
    else
        multiplyMatrices4Scalar(a, b, out);
}

} // namespace Vantor
