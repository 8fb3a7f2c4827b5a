// OcclusionMemo: what one object's occlusion test, or its occluder, was last
// done with. The culler's buffer only changes when it is cleared or an
// occluder is drawn into it, so a test repeated with the same box and
// modelview before either happens gives the same answer, and an occluder
// drawn again, with the same triangles, before the next clear changes
// nothing (each pixel keeps the nearest depth). Objects drawn in several
// passes a frame keep one of each.
#pragma once

#include "Core/Matrix4.h"
#include "Core/Vector3.h"

namespace Vantor {

struct OcclusionMemo {
    // The culler's clear and write counts when it was taken; clears 0: none.
    unsigned clears = 0;
    unsigned writes = 0;
    Matrix4 modelview;
    Vector3 boxMin, boxMax;
    // A test's extra size (zeros for none), and its projection when it made
    // the frustum test too.
    Vector3 extraSize;
    bool frustumTest = false;
    Matrix4 projection;
    // A test's answer.
    bool occluded = false;
};

} // namespace Vantor
