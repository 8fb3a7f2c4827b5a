#include "modules/Profiler/Profiler.h"

#include "Core/WinAppFramework/Time.h"
#include "Core/platform/Clock.h"

namespace Vantor {

namespace {

const char* const overheadFunction = "Vantor::Profiler::calcOverhead";
const char* const sourceFile = "source\\modules\\Profiler\\Profiler";
constexpr int overheadLine = 53;
const char* const noRoot = "No root";
// Width the function name is right-aligned in, and the indent of one level.
constexpr int nameWidth = 10;
const char* const indent = "    ";

} // namespace

ProfileObject::ProfileObject(const char* function, const char* file, int sourceLine, const char* sectionLabel)
    : functionName(function ? function : ""), fileName(file ? file : ""), line(sourceLine),
      label(sectionLabel ? sectionLabel : "") {
    index = Profiler::getInstance()->registerSection(this);
}

ProfileObject::~ProfileObject() {
    // At exit the profiler may already be gone.
    if (Singleton<Profiler>::exists())
        Profiler::getInstance()->unregisterSection(this);
}

void ProfileObject::start() {
    ArrayList<int>& active = Profiler::getInstance()->activeStack;
    parent = active.size > 0 ? active[active.size - 1] : -1;
    active.add(index);
    startTime = platform::timeGetTime();
}

void ProfileObject::stop() {
    ArrayList<int>& active = Profiler::getInstance()->activeStack;
    if (active.size == 0)
        return;
    totalTime += platform::timeGetTime() - startTime;
    ++callCount;
    active.resize(active.size - 1);
}

Profiler::Profiler() {
    activeStack.autoShrink = false;
    activeStack.reserve(activeStackReserve);
}

int Profiler::registerSection(ProfileObject* section) {
    sections.add(section);
    return int(sections.size) - 1;
}

void Profiler::unregisterSection(ProfileObject* section) {
    const int i = section->index;
    if (i < 0 || unsigned(i) >= sections.size || sections[unsigned(i)] != section)
        return;
    sections[unsigned(i)] = nullptr;
    unsigned used = sections.size;
    while (used > 0 && !sections[used - 1])
        --used;
    sections.resize(used);
}

void Profiler::calcOverhead() {
    const ArrayList<ProfileObject*> savedSections = sections;
    const ArrayList<int> savedStack = activeStack;
    {
        ProfileObject probe(overheadFunction, sourceFile, overheadLine, "");
        Timer timer(true);
        for (int i = 0; i < overheadRepetitions; ++i) {
            probe.start();
            probe.stop();
        }
        overhead = timer.elapsed() * overheadScale;
        sections = savedSections;
        activeStack.resize(0);
        for (int index : savedStack)
            activeStack.add(index);
    }
}

double Profiler::subtreeOverhead(ProfileObject& section, double pairOverhead) {
    section.childOverhead = 0;
    for (ProfileObject* child : section.children)
        section.childOverhead += subtreeOverhead(*child, pairOverhead);
    return section.childOverhead + pairOverhead * section.callCount;
}

void Profiler::writeSection(String& report, const ProfileObject& section, int depth, double rootTime) const {
    report.appendFormat("%3d ", section.index);
    for (int level = 0; level < depth; ++level)
        report.append(indent);
    for (int pad = section.functionName.length; pad < nameWidth; ++pad)
        report.append(' ');
    report.append(section.functionName);
    report.append(' ');
    if (!section.label.empty()) {
        report.append('[');
        report.append(section.label);
        report.append(']');
    }
    const double time = double(section.totalTime) - section.childOverhead;
    // A root that took no measurable time gives every section a share of 0.
    const double share = rootTime > 0 ? time / rootTime * 100 : 0;
    report.appendFormat(" %8.2f (%6.3f%%) %4.3f\n", time, share, section.childOverhead);
    for (const ProfileObject* child : section.children)
        writeSection(report, *child, depth + 1, rootTime);
}

String Profiler::getReport() {
    for (ProfileObject* section : sections)
        if (section)
            section->children.clear();

    ProfileObject* root = nullptr;
    for (ProfileObject* section : sections) {
        if (!section)
            continue;
        const int p = section->parent;
        if (p == -1) {
            root = section;
        } else if (p >= 0 && unsigned(p) < sections.size && sections[unsigned(p)] && p != section->index) {
            sections[unsigned(p)]->children.add(section);
        }
    }
    if (!root)
        return String(noRoot);

    calcOverhead();
    const double reportOverhead = 0;
    const double rootTime = double(root->totalTime) - subtreeOverhead(*root, reportOverhead);

    String report;
    writeSection(report, *root, 0, rootTime);
    return report;
}

} // namespace Vantor
