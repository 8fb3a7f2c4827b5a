// The benchmark's tour: reading tour files (and refusing bad ones with a
// reason), the curve through the key frames, segments, the tour camera's
// view, and the tour the generator writes for the city.
#include "Tour.h"

#include "city/CityTour.h"

#include "modules/xml/XMLFile.h"

#include <gtest/gtest.h>

#include <string>

using namespace Vantor;

namespace {

bool readTour(const std::string& text, Tour& tour, std::string& error) {
    XMLFile file;
    file.parse(String(text.c_str()), "tour.xml");
    return tour.read(file, "tour.xml", error);
}

const char* const threeSegments = R"(<tour>
  <segment name="street">
    <key time="0" eye="0 40 0" target="0 40 -100"/>
    <key time="2" eye="100 40 -200" target="100 40 -300"/>
  </segment>
  <segment name="up"><key time="5" eye="100 400 -300" target="0 0 -500"/></segment>
  <segment name="round">
    <key time="6" eye="-100 500 0" target="0 0 0"/>
    <key time="10" eye="200 300 100" target="0 0 0"/>
  </segment>
</tour>)";

void expectNear(const Vector3& a, const Vector3& b, float tolerance) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

TEST(TourTest, CurvePassesThroughEveryKeyWithoutAKink) {
    Tour tour;
    std::string error;
    ASSERT_TRUE(readTour(threeSegments, tour, error)) << error;
    EXPECT_DOUBLE_EQ(tour.length(), 10.0);
    for (const TourKey& key : tour.keys) {
        Vector3 eye, target;
        tour.sample(key.time, eye, target);
        expectNear(eye, key.eye, 1e-3f);
        expectNear(target, key.target, 1e-3f);
    }
    // The velocity just before an inner key is the velocity just after it.
    const double h = 1e-3;
    for (size_t k = 1; k + 1 < tour.keys.size(); ++k) {
        const double t = tour.keys[k].time;
        Vector3 before, after, here, ignored;
        tour.sample(t - h, before, ignored);
        tour.sample(t, here, ignored);
        tour.sample(t + h, after, ignored);
        expectNear((here - before) * float(1 / h), (after - here) * float(1 / h), 2.0f);
    }
    // Outside the tour the ends hold.
    Vector3 eye, target;
    tour.sample(-3, eye, target);
    expectNear(eye, tour.keys.front().eye, 1e-4f);
    tour.sample(99, eye, target);
    expectNear(eye, tour.keys.back().eye, 1e-4f);
}

TEST(TourTest, SegmentsRunFromTheirFirstKeyToTheNextSegment) {
    Tour tour;
    std::string error;
    ASSERT_TRUE(readTour(threeSegments, tour, error)) << error;
    ASSERT_EQ(tour.segments.size(), 3u);
    const struct {
        double time;
        size_t segment;
    } cases[] = {{0, 0}, {4.999, 0}, {5, 1}, {5.5, 1}, {6, 2}, {10, 2}};
    for (const auto& c : cases)
        EXPECT_EQ(tour.segmentAt(c.time), c.segment) << "at " << c.time;
    EXPECT_EQ(tour.segments[2].name, "round");
}

TEST(TourTest, BadToursAreRefusedWithTheirReason) {
    const struct {
        const char* xml;
        const char* reason;
    } cases[] = {
        {"<journey/>", "the root element is not <tour>"},
        {"<tour/>", "no segment"},
        {"<tour><segment><key time=\"0\" eye=\"0 0 0\" target=\"1 0 0\"/></segment></tour>", "has no name"},
        {"<tour><segment name=\"a,b\"/></tour>", "may hold only"},
        {"<tour><segment name=\"a\"/></tour>", "segment \"a\" has no key"},
        {"<tour><segment name=\"a\"><key time=\"0\" eye=\"0 0 0\" target=\"1 0 0\"/></segment></tour>",
         "at least two keys"},
        {"<tour><segment name=\"a\"><key time=\"1\" eye=\"0 0 0\" target=\"1 0 0\"/></segment></tour>",
         "the first key must be at time 0"},
        {"<tour><segment name=\"a\"><key time=\"0\" eye=\"0 0 0\" target=\"1 0 0\"/>"
         "<key time=\"0\" eye=\"0 0 0\" target=\"1 0 0\"/></segment></tour>",
         "key 2: times must rise"},
        {"<tour><segment name=\"a\"><key time=\"x\" eye=\"0 0 0\" target=\"1 0 0\"/></segment></tour>",
         "time is not a number"},
        {"<tour><segment name=\"a\"><key time=\"0\" eye=\"0 0\" target=\"1 0 0\"/></segment></tour>",
         "eye is not three numbers"},
        {"<tour><segment name=\"a\"><key time=\"0\" eye=\"0 0 0\" target=\"1 0 0 4\"/></segment></tour>",
         "target is not three numbers"},
        {"<tour><segment name=\"a\"><key time=\"0\" eye=\"0 0 0\" target=\"nan 0 0\"/></segment></tour>",
         "target is not three numbers"},
    };
    for (const auto& c : cases) {
        Tour tour;
        std::string error;
        EXPECT_FALSE(readTour(c.xml, tour, error)) << c.xml;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.xml << " gave: " << error;
        EXPECT_EQ(error.rfind("tour.xml: ", 0), 0u) << error;
        EXPECT_TRUE(tour.keys.empty());
    }
    Tour tour;
    std::string error;
    EXPECT_FALSE(tour.load("no such folder/tour.xml", error));
    EXPECT_FALSE(error.empty());
}

TEST(TourTest, CameraLooksFromTheEyeAtTheTarget) {
    Tour tour;
    std::string error;
    ASSERT_TRUE(readTour(threeSegments, tour, error)) << error;
    TourCamera camera;
    camera.tour = &tour;
    for (double t : {0.0, 3.3, 7.5}) {
        camera.time = t;
        camera.update();
        Vector3 eye, target;
        tour.sample(t, eye, target);
        expectNear(camera.getPosition(), eye, 0.05f);
        // The target lies on the view's -z axis, and the world's up stays up.
        const float* m = camera.viewMatrix.m;
        const Vector3 viewed(m[0] * target.x + m[4] * target.y + m[8] * target.z + m[12],
                             m[1] * target.x + m[5] * target.y + m[9] * target.z + m[13],
                             m[2] * target.x + m[6] * target.y + m[10] * target.z + m[14]);
        EXPECT_NEAR(viewed.x, 0.0f, 0.05f);
        EXPECT_NEAR(viewed.y, 0.0f, 0.05f);
        EXPECT_LT(viewed.z, 0.0f);
        EXPECT_GT(m[5], 0.0f);
    }
}

TEST(TourTest, GeneratedCityTourIsHalfAMinuteInNamedSegments) {
    Tour tour;
    std::string error;
    ASSERT_TRUE(readTour(tools::city::tourXML(), tour, error)) << error;
    EXPECT_GE(tour.segments.size(), 4u);
    EXPECT_GE(tour.length(), 25.0);
    EXPECT_LE(tour.length(), 35.0);
    // Every eye stays above the ground.
    for (double t = 0; t <= tour.length(); t += 0.05) {
        Vector3 eye, target;
        tour.sample(t, eye, target);
        EXPECT_GT(eye.y, 20.0f) << "at " << t;
    }
}

} // namespace
