// Plugin and PluginManager: the engine services that run every frame.
//
// A plug-in names the frame phases it takes part in (bits of a five-bit mask)
// and a priority in each; it registers itself at the end of its constructor
// and stays registered until process exit. The manager keeps one list per
// phase, ordered by priority with ties in registration order, and runs the
// phases once per frame in bit order. Lists are linked lists with stable
// nodes, so a plug-in created while a phase is being walked can be inserted
// without disturbing the walk. The manager never owns the plug-ins.
#pragma once

#include "Core/Singleton.h"

#include <list>

namespace Vantor {

constexpr int kPhaseFrameStart = 1;
constexpr int kPhaseUpdate = 2;
constexpr int kPhaseAnimate = 4;
constexpr int kPhaseRender = 8;
constexpr int kPhaseOverlay = 16;
constexpr int kAllPhases = kPhaseFrameStart | kPhaseUpdate | kPhaseAnimate | kPhaseRender | kPhaseOverlay;
constexpr int kPhaseCount = 5;

class Plugin {
public:
    // Phases skipped for every plug-in in a frame that starts with this one enabled.
    int blockMask = 0;
    // A disabled plug-in receives no phase calls; any code may flip it at any time.
    bool enabled = true;
    bool registered = false;
    int phaseMask = kPhaseOverlay;
    // One per phase, in bit order; lower runs earlier.
    int priority[kPhaseCount] = {};

    virtual ~Plugin() = default;

    // Once per phase list the plug-in is in (so a plug-in in two phases gets two calls).
    virtual void init() {}
    virtual void shutdown() {}
    virtual void frameStart() {}
    virtual void update() {}
    virtual void animate() {}
    virtual void render() {}
    virtual void renderOverlay() {}

    // Takes effect only for a plug-in not yet registered.
    void setPhases(int mask) { phaseMask = mask; }
    // Sets the priority of every phase whose bit is in phaseBits.
    void setPriority(int phaseBits, int value);
    // Adds this plug-in to the manager's lists of its phases; a second call does nothing.
    void registerPlugin();
};

class PluginManager : public Singleton<PluginManager> {
public:
    std::list<Plugin*> phases[kPhaseCount];

    virtual ~PluginManager() = default;

    // Inserts plugin into each of its phase lists before the first entry of
    // strictly greater priority.
    void add(Plugin* plugin);
    // Calls init (shutdownAll: shutdown) on every entry of every list, lists in
    // bit order, whether the plug-in is enabled or not.
    void initAll();
    void shutdownAll();
    // Runs the five phases in bit order. The phases blocked by the plug-ins
    // enabled at the start are skipped; within a phase, each plug-in's enabled
    // flag is read just before its call.
    void runFrame();
};

} // namespace Vantor
