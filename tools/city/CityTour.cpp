#include "CityTour.h"

#include "CityLayout.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace Vantor::tools::city {

namespace {

struct Point {
    float x, y, z;
};

struct Key {
    float time;
    Point eye, target;
};

struct Segment {
    const char* name;
    std::vector<Key> keys;
};

// World places of the plan: the middle of block (bx, bz) and a street's centre line.
constexpr float blockMiddle(int block) { return (float(block) + 0.5f) * kBlockPeriod; }
constexpr float street(int line) { return float(line) * kBlockPeriod; }

std::vector<Segment> tourSegments() {
    const float eyeHeight = kWalkStartY;
    const Point park{blockMiddle(kParkBlockX), 0.0f, -blockMiddle(kParkBlockZ)};
    // The landmark stands in the block east of the park.
    const Point landmark{blockMiddle(kParkBlockX + 1), 0.0f, -blockMiddle(kParkBlockZ)};
    std::vector<Segment> segments;

    // From the walking camera's start north along its street, past cars and
    // people, turning towards the park at the crossing.
    segments.push_back({"street",
                        {{0.0f, {kWalkStartX, eyeHeight, kWalkStartZ}, {kWalkStartX, eyeHeight, kWalkStartZ - 800}},
                         {3.5f, {kWalkStartX - 20, eyeHeight + 4, -1750}, {kWalkStartX + 60, 60, -2550}},
                         {7.0f, {kWalkStartX + 10, 90, -2350}, {park.x + 300, 250, park.z}}}});
    // Over the park and up the landmark's west face to its spire.
    segments.push_back({"landmark",
                        {{10.0f, {park.x + 100, 900, park.z - 250}, {landmark.x, 1000, landmark.z}},
                         {13.0f, {park.x + 50, 2600, park.z - 500}, {landmark.x, 3000, landmark.z}}}});
    // North-west over the roofs along a street, then south across the blocks.
    segments.push_back({"rooftops",
                        {{16.0f, {street(1) + 200, 1500, -street(4)}, {street(1), 600, -street(5)}},
                         {19.5f, {street(1), 1000, -street(2)}, {street(0) + 200, 300, -street(1)}}}});
    // Round the centre, high and looking down on the park.
    const float radius = 2600.0f, height = 1500.0f;
    std::vector<Key> orbit;
    for (int k = 0; k < 4; ++k) {
        const float angle = 3.14159265f * (1.1f + 0.4f * float(k));
        orbit.push_back({22.0f + 1.5f * float(k),
                         {park.x + radius * std::cos(angle), height, park.z - radius * std::sin(angle)},
                         {park.x, 150, park.z}});
    }
    segments.push_back({"centre", orbit});
    // Down into the park, coming to rest under its lamp.
    segments.push_back({"park",
                        {{28.5f, {park.x + 300, 500, park.z + 500}, {park.x, 60, park.z}},
                         {31.0f, {park.x + 150, 70, park.z + 250}, {park.x - 100, 40, park.z - 150}}}});
    return segments;
}

} // namespace

std::string tourXML() {
    std::string xml = "<?xml version=\"1.0\"?>\n<tour>\n";
    char line[256];
    for (const Segment& segment : tourSegments()) {
        xml += std::string("  <segment name=\"") + segment.name + "\">\n";
        for (const Key& k : segment.keys) {
            std::snprintf(line, sizeof line, "    <key time=\"%g\" eye=\"%g %g %g\" target=\"%g %g %g\"/>\n",
                          double(k.time), double(k.eye.x), double(k.eye.y), double(k.eye.z), double(k.target.x),
                          double(k.target.y), double(k.target.z));
            xml += line;
        }
        xml += "  </segment>\n";
    }
    xml += "</tour>\n";
    return xml;
}

} // namespace Vantor::tools::city
