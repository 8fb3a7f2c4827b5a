// The four-pass radix sort of float keys shared by the mesh draw order and
// the particle draw order.
#include "Core/RadixSort.h"

#include <cstdint>
#include <cstring>

namespace Vantor {

namespace {

// Bits per pass, buckets per pass, passes over a 32-bit key.
constexpr unsigned kRadixBits = 8;
constexpr unsigned kRadixBuckets = 1u << kRadixBits;
constexpr unsigned kRadixPasses = 32 / kRadixBits;

// A key's bits, mapped so that unsigned order is float order: non-negative
// floats get the sign bit set, negative ones have every bit flipped.
uint32_t radixKey(float key) {
    uint32_t bits;
    std::memcpy(&bits, &key, sizeof bits);
    return (bits & 0x80000000u) ? ~bits : (bits | 0x80000000u);
}

} // namespace

void radixSortByKey(const ArrayList<float>& keys, ArrayList<unsigned>& order) {
    const unsigned count = keys.size;
    order.resize(count);
    if (count == 0)
        return;

    ArrayList<uint32_t> bits;
    bits.resize(count);
    for (unsigned i = 0; i < count; ++i) {
        bits[i] = radixKey(keys[i]);
        order[i] = i;
    }

    ArrayList<unsigned> scratch;
    scratch.resize(count);
    ArrayList<unsigned>* from = &order;
    ArrayList<unsigned>* to = &scratch;
    for (unsigned pass = 0; pass < kRadixPasses; ++pass) {
        const unsigned shift = pass * kRadixBits;
        unsigned start[kRadixBuckets] = {};
        for (unsigned i = 0; i < count; ++i)
            ++start[(bits[i] >> shift) & (kRadixBuckets - 1)];
        unsigned total = 0;
        for (unsigned b = 0; b < kRadixBuckets; ++b) {
            const unsigned inBucket = start[b];
            start[b] = total;
            total += inBucket;
        }
        for (unsigned i = 0; i < count; ++i) {
            const unsigned index = (*from)[i];
            (*to)[start[(bits[index] >> shift) & (kRadixBuckets - 1)]++] = index;
        }
        ArrayList<unsigned>* held = from;
        from = to;
        to = held;
    }
    // An even number of passes leaves the result back in order.
    static_assert(kRadixPasses % 2 == 0, "the last pass must write into order");
}

} // namespace Vantor
