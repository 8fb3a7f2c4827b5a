#include "Tour.h"

#include "Core/WinAppFramework/Exception.h"
#include "modules/xml/XMLFile.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

using namespace Vantor;

namespace {

// Reads "x y z" (three numbers and nothing else) into v.
bool readPoint(const String& text, Vector3& v) {
    const char* p = text.c_str();
    float values[3];
    for (float& value : values) {
        char* end = nullptr;
        value = std::strtof(p, &end);
        if (end == p || !std::isfinite(value))
            return false;
        p = end;
    }
    while (*p == ' ' || *p == '\t')
        ++p;
    if (*p)
        return false;
    v = Vector3(values[0], values[1], values[2]);
    return true;
}

bool readTime(const String* text, double& time) {
    if (!text || text->empty())
        return false;
    char* end = nullptr;
    time = std::strtod(text->c_str(), &end);
    return *end == 0 && std::isfinite(time);
}

// The cubic Hermite curve from p0 to p1 with tangents m0 and m1 (per unit of
// s), at s in [0, 1], the tangents already scaled to the interval.
Vector3 hermite(const Vector3& p0, const Vector3& m0, const Vector3& p1, const Vector3& m1, float s) {
    const float s2 = s * s, s3 = s2 * s;
    return p0 * (2 * s3 - 3 * s2 + 1) + m0 * (s3 - 2 * s2 + s) + p1 * (-2 * s3 + 3 * s2) + m1 * (s3 - s2);
}

} // namespace

bool Tour::load(const char* path, std::string& error) {
    XMLFile file;
    try {
        file.load(path);
    } catch (const Exception& e) {
        error = std::string(e.message.c_str());
        return false;
    }
    return read(file, path, error);
}

bool Tour::read(const XMLElement& root, const char* name, std::string& error) {
    keys.clear();
    segments.clear();
    auto fail = [&](const std::string& why) {
        error = std::string(name) + ": " + why;
        keys.clear();
        segments.clear();
        return false;
    };
    if (root.getName() != "tour")
        return fail("the root element is not <tour>");
    for (const XMLElement& segment : root.getChildren()) {
        if (segment.getName() != "segment")
            continue;
        const String* segmentName = segment.findAttrib("name");
        if (!segmentName || segmentName->empty())
            return fail("segment " + std::to_string(segments.size() + 1) + " has no name");
        for (const char* c = segmentName->c_str(); *c; ++c)
            if (!std::isalnum(static_cast<unsigned char>(*c)) && *c != '-' && *c != '_' && *c != ' ')
                return fail("segment name \"" + std::string(segmentName->c_str()) +
                            "\" may hold only letters, digits, spaces, '-' and '_'");
        const std::string label = "segment \"" + std::string(segmentName->c_str()) + "\"";
        TourSegment entry{segmentName->c_str(), keys.size()};
        for (const XMLElement& key : segment.getChildren()) {
            if (key.getName() != "key")
                continue;
            TourKey k;
            const std::string where = label + ", key " + std::to_string(keys.size() - entry.firstKey + 1);
            if (!readTime(key.findAttrib("time"), k.time))
                return fail(where + ": time is not a number");
            if (keys.empty() ? k.time != 0.0 : k.time <= keys.back().time)
                return fail(where + (keys.empty() ? ": the first key must be at time 0"
                                                  : ": times must rise from key to key"));
            if (!readPoint(key.getAttrib("eye"), k.eye))
                return fail(where + ": eye is not three numbers \"x y z\"");
            if (!readPoint(key.getAttrib("target"), k.target))
                return fail(where + ": target is not three numbers \"x y z\"");
            keys.push_back(k);
        }
        if (keys.size() == entry.firstKey)
            return fail(label + " has no key");
        segments.push_back(entry);
    }
    if (segments.empty())
        return fail("no segment");
    if (keys.size() < 2)
        return fail("a tour needs at least two keys");
    return true;
}

void Tour::sample(double t, Vector3& eye, Vector3& target) const {
    if (keys.empty())
        return;
    t = std::max(0.0, std::min(t, length()));
    // The interval [keys[i], keys[i + 1]] that holds t.
    size_t i = size_t(std::upper_bound(keys.begin(), keys.end(), t,
                                       [](double time, const TourKey& key) { return time < key.time; }) -
                      keys.begin());
    i = std::min(i == 0 ? 0 : i - 1, keys.size() - 2);
    const TourKey& a = keys[i];
    const TourKey& b = keys[i + 1];
    const double span = b.time - a.time;
    auto slope = [this](size_t j, Vector3 TourKey::*point) {
        return Vector3(keySlope(j, point, &Vector3::x), keySlope(j, point, &Vector3::y),
                       keySlope(j, point, &Vector3::z));
    };
    const float s = float((t - a.time) / span);
    const float scale = float(span);
    eye = hermite(a.eye, slope(i, &TourKey::eye) * scale, b.eye, slope(i + 1, &TourKey::eye) * scale, s);
    target = hermite(a.target, slope(i, &TourKey::target) * scale, b.target,
                     slope(i + 1, &TourKey::target) * scale, s);
}

float Tour::keySlope(size_t j, Vector3 TourKey::*point, float Vector3::*axis) const {
    auto value = [&](size_t k) { return keys[k].*point.*axis; };
    auto rise = [&](size_t from, size_t to) {
        return (value(to) - value(from)) / float(keys[to].time - keys[from].time);
    };
    if (j == 0)
        return rise(0, 1);
    if (j + 1 == keys.size())
        return rise(j - 1, j);
    const float before = rise(j - 1, j), after = rise(j, j + 1);
    // A key where the path turns back along this axis is a turning point.
    if (before * after <= 0.0f)
        return 0.0f;
    // Held to three times the gentler side so that no span overshoots its keys.
    const float limit = 3.0f * std::min(std::fabs(before), std::fabs(after));
    const float slope = rise(j - 1, j + 1);
    return std::max(-limit, std::min(limit, slope));
}

size_t Tour::segmentAt(double t) const {
    size_t found = 0;
    for (size_t i = 1; i < segments.size(); ++i)
        if (t >= segmentStart(i))
            found = i;
    return found;
}

void TourCamera::update() {
    if (!tour)
        return;
    Vector3 eye, target;
    tour->sample(time, eye, target);
    Vector3 forward = target - eye;
    forward.normalize();
    // Looking straight up or down, the world's up gives no side: north is up then.
    Vector3 up(0.0f, 1.0f, 0.0f);
    if (cross(forward, up).length() < 1e-4f)
        up = Vector3(0.0f, 0.0f, -1.0f);
    Vector3 side = cross(forward, up);
    side.normalize();
    const Vector3 trueUp = cross(side, forward);
    float* m = viewMatrix.m;
    m[0] = side.x, m[4] = side.y, m[8] = side.z;
    m[1] = trueUp.x, m[5] = trueUp.y, m[9] = trueUp.z;
    m[2] = -forward.x, m[6] = -forward.y, m[10] = -forward.z;
    m[3] = m[7] = m[11] = 0.0f;
    m[12] = -dot(side, eye);
    m[13] = -dot(trueUp, eye);
    m[14] = dot(forward, eye);
    m[15] = 1.0f;
}
