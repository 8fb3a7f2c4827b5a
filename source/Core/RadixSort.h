// radixSortByKey: the engine's sort of draw orders by float keys.
#pragma once

#include "Core/ArrayList.h"

namespace Vantor {

// order becomes the indices 0..keys.size-1 by increasing key: a stable
// four-pass least-significant-byte radix sort on the keys' bits, mapped so
// that negative keys sort before positive ones.
void radixSortByKey(const ArrayList<float>& keys, ArrayList<unsigned>& order);

} // namespace Vantor
