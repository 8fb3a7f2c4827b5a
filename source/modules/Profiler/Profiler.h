// Profiler and ProfileObject: a hierarchical section profiler.
//
// A ProfileObject describes one code section; it registers with the Profiler
// singleton when it is made, and its index is its place in the profiler's
// section list. start and stop time the section on the millisecond clock;
// starts nest, and a section's parent is the section that was running at its
// last start (-1 for none). getReport builds the tree from those parents and
// writes one line per section, depth first from the root.
//
// Sections that go away take themselves off the list: their slot is emptied
// so that the indices of the others stay valid, and reports skip it.
#pragma once

#include "Core/ArrayList.h"
#include "Core/Singleton.h"
#include "Core/String.h"

#include <cstdint>

namespace Vantor {

class ProfileObject {
public:
    int index = -1;
    // Milliseconds of the millisecond clock at the last start.
    unsigned startTime = 0;
    std::uint32_t totalTime = 0;
    std::uint32_t callCount = 0;
    String functionName;
    String fileName;
    int line = 0;
    // The summed overhead of the subtree below, filled while a report is built.
    double childOverhead = 0;
    // Rebuilt for every report.
    ArrayList<ProfileObject*> children;
    int parent = -1;
    String label;

    ProfileObject(const char* function, const char* file, int sourceLine, const char* sectionLabel = "");
    ProfileObject(const ProfileObject&) = delete;
    ProfileObject& operator=(const ProfileObject&) = delete;
    ~ProfileObject();

    // Takes the running section as parent and becomes the running one.
    void start();
    // Adds the time since start and one call, and ends the running section.
    // A stop with no section running changes nothing.
    void stop();
};

class Profiler : public Singleton<Profiler> {
public:
    // Room the active stack keeps from creation on.
    static constexpr unsigned activeStackReserve = 1024;
    // Start/stop pairs timed by calcOverhead.
    static constexpr int overheadRepetitions = 10000;
    // Turns the seconds of overheadRepetitions pairs into milliseconds per pair.
    static constexpr double overheadScale = 1000.0 / overheadRepetitions;

    // Milliseconds per start/stop pair, as calcOverhead last measured it.
    double overhead = 0;
    // In registration order; a section's index is its place here. Slots of
    // sections that went away are null.
    ArrayList<ProfileObject*> sections;
    // Indices of the started sections not yet stopped, innermost last.
    ArrayList<int> activeStack;

    Profiler();
    virtual ~Profiler() = default;

    // Measures the cost of a start/stop pair into overhead, leaving the
    // sections and the active stack as they were.
    void calcOverhead();
    // The report: "No root" without sections or without a root, else one line
    // per section of the last root's tree.
    String getReport();

    // Files section at the end of the list and returns its index.
    int registerSection(ProfileObject* section);
    // Empties the section's slot; the list shortens when trailing slots empty.
    void unregisterSection(ProfileObject* section);

private:
    double subtreeOverhead(ProfileObject& section, double pairOverhead);
    void writeSection(String& report, const ProfileObject& section, int depth, double rootTime) const;
};

} // namespace Vantor
