// The benchmark's camera tour: named segments of key frames (a time, an eye
// position and a point looked at), joined by a smooth curve, and the camera
// that follows it.
//
// The tour file ("tour.xml" beside the scene's configuration) reads
//
//   <tour>
//     <segment name="street">
//       <key time="0" eye="1600 42 -1200" target="1600 42 -2000"/>
//       <key time="6" eye="1600 42 -2300" target="1700 200 -2800"/>
//     </segment>
//     <segment name="landmark"> ... </segment>
//   </tour>
//
// Times are seconds of tour time and rise strictly from key to key across
// the whole file; the first key is at time 0 and the last one ends the tour.
// A segment runs from its first key to the next segment's first key (the
// last one to the end). Between keys the eye and the target each follow a
// cubic Hermite curve through every key with no kink. Each coordinate's
// tangent at a key is the slope between its two neighbours, held so that the
// coordinate never overshoots the keys on either side (a camera that rises
// from the street never dips below it first); at a key where a coordinate
// turns back, it is 0.
#pragma once

#include "Core/Vector3.h"
#include "Core/WinAppFramework/Camera.h"

#include <string>
#include <vector>

namespace Vantor {
class XMLElement;
}

struct TourKey {
    double time = 0.0;
    Vantor::Vector3 eye;
    Vantor::Vector3 target;
};

struct TourSegment {
    std::string name;
    // Index of the segment's first key in Tour::keys.
    size_t firstKey = 0;
};

class Tour {
public:
    std::vector<TourKey> keys;
    std::vector<TourSegment> segments;

    // Reads a tour file (a native path); on failure returns false and says
    // why in error, naming the file.
    bool load(const char* path, std::string& error);
    // Reads the root element of a tour file; nameForMessages names it in the
    // error text.
    bool read(const Vantor::XMLElement& root, const char* nameForMessages, std::string& error);

    // Seconds from the first key to the last.
    double length() const { return keys.empty() ? 0.0 : keys.back().time; }
    // The eye and the target at tour time t (clamped to the tour).
    void sample(double t, Vantor::Vector3& eye, Vantor::Vector3& target) const;
    // The segment that tour time t lies in.
    size_t segmentAt(double t) const;
    double segmentStart(size_t segment) const { return keys[segments[segment].firstKey].time; }

private:
    // The tangent of one coordinate of the eye or the target at key j, in
    // units per second.
    float keySlope(size_t j, Vantor::Vector3 TourKey::*point, float Vantor::Vector3::*axis) const;
};

// The camera of the tour: looks from the tour's eye at its target at the
// time set, the world's up kept up.
class TourCamera : public Vantor::Camera {
public:
    const Tour* tour = nullptr;
    double time = 0.0;

    void update() override;
};
