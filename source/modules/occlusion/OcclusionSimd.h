// Whether the occlusion buffer's four-wide paths are compiled in.
#pragma once

#if defined(__SSE__) || defined(_M_X64)
#define VANTOR_OCCLUSION_SSE 1
#include <xmmintrin.h>
#else
#define VANTOR_OCCLUSION_SSE 0
#endif
