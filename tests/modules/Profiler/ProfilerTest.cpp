// The profiler's section tree and its report text.
#include "Core/Singleton.h"
#include "modules/Profiler/Profiler.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace Vantor;

namespace {

class Profiling : public ::testing::Test {
protected:
    void SetUp() override { destroySingletons(); }
    void TearDown() override { destroySingletons(); }
};

// Runs section once inside the running ones and books it as taking ms.
void timeAs(ProfileObject& section, std::uint32_t ms) {
    section.start();
    section.stop();
    section.totalTime = ms;
}

TEST_F(Profiling, NoSectionsOrNoRootReportsNoRoot) {
    EXPECT_EQ(Profiler::getInstance()->getReport(), "No root");
    ProfileObject outer("outer", "file", 1), inner("inner", "file", 2);
    outer.start();
    inner.start();
    inner.stop();
    outer.stop();
    outer.parent = 1;
    EXPECT_EQ(Profiler::getInstance()->getReport(), "No root") << "parents in a cycle";
}

TEST_F(Profiling, RootAndChildReportTheirTimesAndShares) {
    ProfileObject root("Vantor::MainGM::render", "source\\app\\MainGM", 10);
    ProfileObject child("Vantor::Model::draw", "source\\modules\\model\\Model", 20, "city");
    root.start();
    timeAs(child, 40);
    root.stop();
    root.totalTime = 100;
    EXPECT_EQ(child.parent, 0);
    EXPECT_EQ(root.parent, -1);
    EXPECT_EQ(std::string(Profiler::getInstance()->getReport().c_str()),
              "  0 Vantor::MainGM::render    100.00 (100.000%) 0.000\n"
              "  1     Vantor::Model::draw [city]    40.00 (40.000%) 0.000\n");
}

TEST_F(Profiling, ShortNamesAreRightAlignedAndTreesWrittenDepthFirst) {
    ProfileObject a("a", "f", 1), b("b", "f", 2), c("c", "f", 3), d("d", "f", 4);
    a.start();
    b.start();
    timeAs(c, 5);
    b.stop();
    timeAs(d, 20);
    a.stop();
    a.totalTime = 50;
    b.totalTime = 10;
    EXPECT_EQ(c.parent, 1);
    EXPECT_EQ(d.parent, 0);
    EXPECT_EQ(a.callCount, 1u);
    EXPECT_EQ(std::string(Profiler::getInstance()->getReport().c_str()),
              "  0          a     50.00 (100.000%) 0.000\n"
              "  1              b     10.00 (20.000%) 0.000\n"
              "  2                  c      5.00 (10.000%) 0.000\n"
              "  3              d     20.00 (40.000%) 0.000\n");
}

TEST_F(Profiling, ASectionStartedWhileAnotherRunsBecomesItsChildInTheNextReport) {
    ProfileObject first("first", "f", 1), second("second", "f", 2);
    first.start();
    first.stop();
    second.start();
    second.stop();
    EXPECT_EQ(second.parent, -1);
    // The later root replaces the earlier one.
    EXPECT_EQ(std::string(Profiler::getInstance()->getReport().c_str()).substr(0, 4), "  1 ");

    second.start();
    first.start();
    first.stop();
    second.stop();
    EXPECT_EQ(first.parent, 1);
    const std::string report = Profiler::getInstance()->getReport().c_str();
    EXPECT_EQ(report.substr(0, 4), "  1 ");
    EXPECT_NE(report.find("\n  0     "), std::string::npos) << report;
    EXPECT_EQ(first.callCount, 2u);
    EXPECT_EQ(second.callCount, 2u);
}

TEST_F(Profiling, ARootWithoutMeasurableTimeGivesSharesOfZero) {
    ProfileObject root("root", "f", 1);
    root.start();
    root.stop();
    root.totalTime = 0;
    EXPECT_EQ(std::string(Profiler::getInstance()->getReport().c_str()),
              "  0       root      0.00 ( 0.000%) 0.000\n");
}

TEST_F(Profiling, CalcOverheadLeavesSectionsAndStackAsTheyWere) {
    Profiler* profiler = Profiler::getInstance();
    EXPECT_GE(profiler->activeStack.capacity, Profiler::activeStackReserve);
    ProfileObject outer("outer", "f", 1);
    outer.start();
    profiler->calcOverhead();
    EXPECT_GE(profiler->overhead, 0);
    ASSERT_EQ(profiler->sections.size, 1u);
    EXPECT_EQ(profiler->sections[0], &outer);
    ASSERT_EQ(profiler->activeStack.size, 1u);
    EXPECT_EQ(profiler->activeStack[0], 0);
    outer.stop();
    EXPECT_EQ(profiler->activeStack.size, 0u);
    EXPECT_GE(profiler->activeStack.capacity, Profiler::activeStackReserve) << "the reserve is kept";
}

TEST_F(Profiling, SectionsThatGoAwayLeaveTheReportAndTheOthersIndices) {
    Profiler* profiler = Profiler::getInstance();
    ProfileObject root("root", "f", 1);
    auto gone = std::make_unique<ProfileObject>("gone", "f", 2);
    ProfileObject kept("kept", "f", 3);
    root.start();
    gone->start();
    timeAs(kept, 1);
    gone->stop();
    root.stop();
    gone.reset();
    ASSERT_EQ(profiler->sections.size, 3u);
    EXPECT_EQ(profiler->sections[1], nullptr);
    EXPECT_EQ(kept.index, 2);
    // kept's parent went away, so it drops out of the tree.
    EXPECT_EQ(std::string(profiler->getReport().c_str()).find("kept"), std::string::npos);

    ProfileObject later("later", "f", 4);
    EXPECT_EQ(later.index, 3);
}

TEST_F(Profiling, AStopWithoutAStartChangesNothing) {
    ProfileObject section("s", "f", 1);
    section.stop();
    EXPECT_EQ(section.callCount, 0u);
    EXPECT_EQ(section.totalTime, 0u);
    EXPECT_EQ(Profiler::getInstance()->activeStack.size, 0u);
}

} // namespace
