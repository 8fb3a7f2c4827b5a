// Widgets that write down what reaches them, for the GUI tests: a plain
// widget that logs its own key and mouse calls, and a frame that logs the
// commands its handlers send.
#pragma once

#include "modules/gui/Component.h"
#include "modules/gui/Event.h"

#include <string>
#include <vector>

namespace Vantor::test {

// One line per call: "<name> key <type> <code>", "<name> mouse <type>" or
// "<frame> command <id> from <source name>".
inline std::vector<std::string>& guiLog() {
    static std::vector<std::string> lines;
    return lines;
}

struct Probe : Component {
    std::string name;
    explicit Probe(std::string probeName, float w = 100, float h = 50) : name(std::move(probeName)) {
        setSize(w, h);
    }
    void draw() override {}
    void onKeyEvent(const SPtr<Event>& e) override {
        guiLog().push_back(name + " key " + std::to_string(e->type) + " " + std::to_string(e->code));
    }
    void onMouseEvent(const SPtr<Event>& e) override {
        guiLog().push_back(name + " mouse " + std::to_string(e->type));
    }
};

// The name of a widget in the log: a Probe's own name, else "widget".
inline std::string nameOf(const Component* c) {
    const Probe* probe = dynamic_cast<const Probe*>(c);
    return probe ? probe->name : std::string("widget");
}

struct Recorder : Frame {
    std::string name;
    SPtr<Event> lastEvent;
    explicit Recorder(std::string frameName = "frame") : name(std::move(frameName)) {}
    void onCommand(int id, const SPtr<Event>& event, const SPtr<Component>& source) override {
        lastEvent = event;
        guiLog().push_back(name + " command " + std::to_string(id) + " from " + nameOf(source.get()));
    }
};

using Log = std::vector<std::string>;

} // namespace Vantor::test
