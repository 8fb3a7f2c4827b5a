// The float matrix product by each path (SSE, scalar, and the dispatch that
// TMatrix4::multiply uses), plus transformPoint, in one run so their times
// compare directly.
//
// Each iteration works through a ring of random matrices and points, so the
// compiler cannot fold the work away and the data stays in L1.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "Core/Matrix4.h"

namespace {

constexpr int kRingSize = 256;
constexpr unsigned kSeed = 12345;

std::vector<Vantor::Matrix4> randomMatrices() {
    std::mt19937 rng(kSeed);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    std::vector<Vantor::Matrix4> out(kRingSize);
    for (Vantor::Matrix4& matrix : out)
        for (float& e : matrix.m)
            e = value(rng);
    return out;
}

using Product = void (*)(const float*, const float*, float*);

void runProduct(benchmark::State& state, Product product) {
    const std::vector<Vantor::Matrix4> matrices = randomMatrices();
    Vantor::Matrix4 out;
    int i = 0;
    for (auto _ : state) {
        product(matrices[i].m, matrices[(i + 1) % kRingSize].m, out.m);
        benchmark::DoNotOptimize(out);
        i = (i + 1) % kRingSize;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_MultiplySSE(benchmark::State& state) { runProduct(state, Vantor::multiplyMatrices4SSE); }
void BM_MultiplyScalar(benchmark::State& state) { runProduct(state, Vantor::multiplyMatrices4Scalar); }
void BM_MultiplyDispatched(benchmark::State& state) { runProduct(state, Vantor::multiplyMatrices4); }

// The CPU-skinning inner loop: one matrix applied to a batch of vertices,
// read from one array and written to another as a skinned mesh would be.
void BM_TransformPoint(benchmark::State& state) {
    const std::vector<Vantor::Matrix4> matrices = randomMatrices();
    std::vector<Vantor::Vector3> rest(kRingSize), skinned(kRingSize);
    for (int i = 0; i < kRingSize; ++i)
        rest[i] = {matrices[i].m[0], matrices[i].m[1], matrices[i].m[2]};
    int i = 0;
    for (auto _ : state) {
        const Vantor::Matrix4& matrix = matrices[i];
        for (int v = 0; v < kRingSize; ++v) {
            skinned[v] = rest[v];
            matrix.transformPoint(skinned[v]);
        }
        benchmark::DoNotOptimize(skinned.data());
        benchmark::ClobberMemory();
        i = (i + 1) % kRingSize;
    }
    state.SetItemsProcessed(state.iterations() * kRingSize);
}

} // namespace

BENCHMARK(BM_MultiplySSE);
BENCHMARK(BM_MultiplyScalar);
BENCHMARK(BM_MultiplyDispatched);
BENCHMARK(BM_TransformPoint);
