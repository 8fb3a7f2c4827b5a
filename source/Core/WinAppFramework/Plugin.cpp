#include "Core/WinAppFramework/Plugin.h"

namespace Vantor {

namespace {

// The slot each phase calls, in bit order.
using PhaseSlot = void (Plugin::*)();
constexpr PhaseSlot phaseSlots[kPhaseCount] = {&Plugin::frameStart, &Plugin::update, &Plugin::animate,
                                               &Plugin::render, &Plugin::renderOverlay};

} // namespace

void Plugin::setPriority(int phaseBits, int value) {
    for (int phase = 0; phase < kPhaseCount; ++phase)
        if (phaseBits & (1 << phase))
            priority[phase] = value;
}

void Plugin::registerPlugin() {
    if (registered)
        return;
    PluginManager::getInstance()->add(this);
    registered = true;
}

void PluginManager::add(Plugin* plugin) {
    for (int phase = 0; phase < kPhaseCount; ++phase) {
        if (!(plugin->phaseMask & (1 << phase)))
            continue;
        std::list<Plugin*>& list = phases[phase];
        auto position = list.begin();
        while (position != list.end() && (*position)->priority[phase] <= plugin->priority[phase])
            ++position;
        list.insert(position, plugin);
    }
}

void PluginManager::initAll() {
    for (std::list<Plugin*>& list : phases)
        for (Plugin* plugin : list)
            plugin->init();
}

void PluginManager::shutdownAll() {
    for (std::list<Plugin*>& list : phases)
        for (Plugin* plugin : list)
            plugin->shutdown();
}

void PluginManager::runFrame() {
    int mask = kAllPhases;
    for (std::list<Plugin*>& list : phases)
        for (Plugin* plugin : list)
            if (plugin->enabled)
                mask &= ~plugin->blockMask;

    for (int phase = 0; phase < kPhaseCount; ++phase) {
        if (!(mask & (1 << phase)))
            continue;
        const PhaseSlot slot = phaseSlots[phase];
        for (Plugin* plugin : phases[phase])
            if (plugin->enabled)
                (plugin->*slot)();
    }
}

} // namespace Vantor
