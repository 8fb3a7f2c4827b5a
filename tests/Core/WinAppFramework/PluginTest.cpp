// The plug-in phases, their order and blocking, and game-mode switching.
#include "Core/Singleton.h"
#include "Core/WinAppFramework/Camera.h"
#include "Core/WinAppFramework/GameMode.h"
#include "Core/WinAppFramework/Globals.h"
#include "Core/WinAppFramework/Plugin.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace Vantor;

namespace {

std::vector<std::string> calls;

struct RecordingPlugin : Plugin {
    std::string name;
    RecordingPlugin(std::string pluginName, int phases, int prio = 0, int blocks = 0, bool on = true,
                    bool registerNow = true)
        : name(std::move(pluginName)) {
        blockMask = blocks;
        enabled = on;
        setPhases(phases);
        setPriority(phases, prio);
        if (registerNow)
            registerPlugin();
    }
    void init() override { calls.push_back(name + ".init"); }
    void shutdown() override { calls.push_back(name + ".shutdown"); }
    void frameStart() override { calls.push_back(name + ".frameStart"); }
    void update() override { calls.push_back(name + ".update"); }
    void animate() override { calls.push_back(name + ".animate"); }
    void render() override { calls.push_back(name + ".render"); }
    void renderOverlay() override { calls.push_back(name + ".overlay"); }
};

struct RecordingMode : GameMode {
    std::string name;
    explicit RecordingMode(std::string modeName) : name(std::move(modeName)) {}
    void update() override { calls.push_back(name + ".update"); }
    void animate() override { calls.push_back(name + ".animate"); }
    void render() override { calls.push_back(name + ".render"); }
    void renderOverlay() override { calls.push_back(name + ".overlay"); }
    void init() override { calls.push_back(name + ".init"); }
    void release() override { calls.push_back(name + ".release"); }
};

struct CountingCamera : Camera {
    void update() override { calls.push_back("camera.update"); }
};

using Calls = std::vector<std::string>;

// Every test starts with no manager, so registration order is the test's own.
class Plugins : public ::testing::Test {
protected:
    void SetUp() override {
        destroySingletons();
        calls.clear();
    }
    void TearDown() override {
        currentCamera = nullptr;
        destroySingletons();
    }
};

} // namespace

TEST_F(Plugins, PhasesRunInBitOrderWhateverTheRegistrationOrder) {
    RecordingPlugin overlay("o", kPhaseOverlay);
    RecordingPlugin render("r", kPhaseRender);
    RecordingPlugin all("a", kAllPhases);
    PluginManager::getInstance()->runFrame();
    EXPECT_EQ(calls, (Calls{"a.frameStart", "a.update", "a.animate", "r.render", "a.render", "o.overlay",
                            "a.overlay"}));
}

TEST_F(Plugins, LowerPriorityRunsEarlierAndTiesKeepRegistrationOrder) {
    RecordingPlugin a("a", kPhaseOverlay, 5);
    RecordingPlugin b("b", kPhaseOverlay, 0);
    RecordingPlugin c("c", kPhaseOverlay, 5);
    RecordingPlugin d("d", kPhaseOverlay, 0);
    RecordingPlugin e("e", kPhaseOverlay, -1);
    PluginManager::getInstance()->runFrame();
    EXPECT_EQ(calls, (Calls{"e.overlay", "b.overlay", "d.overlay", "a.overlay", "c.overlay"}));
}

TEST_F(Plugins, PriorityIsPerPhase) {
    RecordingPlugin other("o", kPhaseAnimate | kPhaseRender, 1);
    RecordingPlugin particles("p", kPhaseAnimate | kPhaseRender, 0, 0, true, false);
    particles.setPriority(kPhaseRender, 5);
    particles.registerPlugin();
    PluginManager::getInstance()->runFrame();
    EXPECT_EQ(calls, (Calls{"p.animate", "o.animate", "o.render", "p.render"}));
}

TEST_F(Plugins, InitAndShutdownOncePerPhaseListEnabledOrNot) {
    RecordingPlugin particles("p", kPhaseAnimate | kPhaseRender, 0, 0, false);
    RecordingPlugin overlay("o", kPhaseOverlay);
    PluginManager::getInstance()->initAll();
    EXPECT_EQ(calls, (Calls{"p.init", "p.init", "o.init"}));
    calls.clear();
    PluginManager::getInstance()->shutdownAll();
    EXPECT_EQ(calls, (Calls{"p.shutdown", "p.shutdown", "o.shutdown"}));
}

TEST_F(Plugins, EnabledBlockerSkipsUpdateForEverybodyButNotTheOtherPhases) {
    RecordingPlugin game("g", kAllPhases);
    RecordingPlugin gui("gui", kPhaseOverlay | kPhaseUpdate, 1, kPhaseUpdate);
    PluginManager::getInstance()->runFrame();
    EXPECT_EQ(calls, (Calls{"g.frameStart", "g.animate", "g.render", "g.overlay", "gui.overlay"}));

    calls.clear();
    gui.enabled = false;
    PluginManager::getInstance()->runFrame();
    EXPECT_EQ(calls, (Calls{"g.frameStart", "g.update", "g.animate", "g.render", "g.overlay"}));
}

namespace {
// Opens the GUI from its update, as the city scene does on Escape.
struct Opener : RecordingPlugin {
    Plugin* gui;
    Opener(Plugin* target) : RecordingPlugin("g", kPhaseUpdate | kPhaseOverlay), gui(target) {}
    void update() override {
        RecordingPlugin::update();
        gui->enabled = true;
    }
};
} // namespace

TEST_F(Plugins, BlockMaskIsFixedAtFrameStartWhileEnabledIsReadAtEachCall) {
    RecordingPlugin gui("gui", kPhaseOverlay, 1, kPhaseUpdate, false);
    Opener game(&gui);
    PluginManager::getInstance()->runFrame();
    // Opened during update: it draws this frame, and blocks from the next.
    EXPECT_EQ(calls, (Calls{"g.update", "g.overlay", "gui.overlay"}));
    calls.clear();
    PluginManager::getInstance()->runFrame();
    EXPECT_EQ(calls, (Calls{"g.overlay", "gui.overlay"}));
}

namespace {
// Creates plug-ins from its update, once: one that sorts after it and one before.
struct Creator : RecordingPlugin {
    std::vector<std::unique_ptr<RecordingPlugin>> created;
    Creator() : RecordingPlugin("c", kPhaseUpdate, 5) {}
    void update() override {
        RecordingPlugin::update();
        if (!created.empty())
            return;
        created.push_back(std::make_unique<RecordingPlugin>("late", kPhaseUpdate, 9));
        created.push_back(std::make_unique<RecordingPlugin>("early", kPhaseUpdate, 0));
    }
};
} // namespace

TEST_F(Plugins, RegistrationDuringAPhaseKeepsTheWalkValid) {
    Creator creator;
    PluginManager::getInstance()->runFrame();
    // Inserted behind the running entry: reached in this walk; in front: not.
    EXPECT_EQ(calls, (Calls{"c.update", "late.update"}));
    calls.clear();
    PluginManager::getInstance()->runFrame();
    EXPECT_EQ(calls, (Calls{"early.update", "c.update", "late.update"}));
}

TEST_F(Plugins, AfterDestroyingSingletonsANewPluginMakesANewManager) {
    GameModeManager::getInstance();
    destroySingletons();
    EXPECT_FALSE(PluginManager::exists());
    RecordingPlugin fresh("f", kPhaseFrameStart);
    PluginManager::getInstance()->runFrame();
    EXPECT_EQ(calls, (Calls{"f.frameStart"}));
}

TEST_F(Plugins, GameModeManagerRegistersInEveryPhaseAndForwards) {
    RecordingMode mode("m");
    GameModeManager* manager = GameModeManager::getInstance();
    EXPECT_TRUE(manager->registered);
    for (const std::list<Plugin*>& list : PluginManager::getInstance()->phases)
        EXPECT_EQ(list, std::list<Plugin*>{manager});

    CountingCamera camera;
    currentCamera = &camera;
    manager->setNext(&mode);
    EXPECT_EQ(manager->current, nullptr);
    PluginManager::getInstance()->runFrame();
    EXPECT_EQ(calls, (Calls{"m.init", "m.update", "m.animate", "camera.update", "m.render", "m.overlay"}));
    EXPECT_EQ(manager->current, &mode);
    EXPECT_EQ(manager->next, nullptr);

    calls.clear();
    PluginManager::getInstance()->shutdownAll();
    // Five shutdown calls, one per phase list, but one release.
    EXPECT_EQ(calls, (Calls{"m.release"}));
    EXPECT_EQ(manager->current, nullptr);
}

TEST_F(Plugins, SetNextTwiceSwitchesOnlyToTheLastAndReleasesBeforeInit) {
    RecordingMode a("a"), b("b"), c("c");
    GameModeManager* manager = GameModeManager::getInstance();
    manager->setNext(&a);
    manager->frameStart();
    calls.clear();
    manager->setNext(&b);
    manager->setNext(&c);
    manager->update();
    EXPECT_EQ(calls, (Calls{"a.update"}));
    calls.clear();
    manager->frameStart();
    EXPECT_EQ(calls, (Calls{"a.release", "c.init"}));
    calls.clear();
    manager->frameStart();
    EXPECT_TRUE(calls.empty());
}

TEST_F(Plugins, WithoutAModeTheRenderPhaseStillUpdatesTheCamera) {
    GameModeManager* manager = GameModeManager::getInstance();
    CountingCamera camera;
    currentCamera = &camera;
    PluginManager::getInstance()->runFrame();
    manager->shutdown();
    EXPECT_EQ(calls, (Calls{"camera.update"}));
}
