// The GUI plug-in's events frame by frame, and the console's typing, without
// GL: the frame's Keys, Mouse and typedChars are set by hand, as the window
// procedure would, and processEvents (or the console's update) run on them.
#include "Core/Singleton.h"
#include "Core/WinAppFramework/GLWindow.h"
#include "Core/WinAppFramework/Globals.h"
#include "Core/WinAppFramework/Input.h"
#include "Core/WinAppFramework/Plugin.h"
#include "modules/gui/Console.h"
#include "modules/gui/GUI.h"

#include "GUITestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace Vantor;
using namespace Vantor::test;

namespace {

class GUIEvents : public ::testing::Test {
protected:
    void SetUp() override {
        destroySingletons();
        GLWindow::getInstance()->width = 1024;
        GLWindow::getInstance()->height = 768;
        typedChars.resize(0);
        guiLog().clear();
        gui = GUI::getInstance();
        frame = new Recorder;
        left = new Probe("left", 100, 50);
        right = new Probe("right", 100, 50);
        left->setPosition(100, 100);
        right->setPosition(200, 100);
        frame->setSize(1024, 768);
        frame->add(left);
        frame->add(right);
        gui->show(frame);
        moveMouse(600, 600);
        runFrame();
        guiLog().clear();
    }
    void TearDown() override {
        typedChars.resize(0);
        destroySingletons();
    }

    void moveMouse(int x, int y) {
        Mouse* mouse = Mouse::getInstance();
        mouse->x = x;
        mouse->y = y;
    }
    // Runs the GUI's events for one frame, then closes the frame as the main loop does.
    void runFrame() {
        gui->processEvents();
        Mouse* mouse = Mouse::getInstance();
        mouse->leftPressed = mouse->leftReleased = mouse->rightPressed = mouse->rightReleased = false;
        Keys::getInstance()->update();
        typedChars.resize(0);
    }
    void listenTo(Probe& probe, int mask, int id) { probe.addHandler(new GUIEventHandler(frame.get(), mask, id)); }

    GUI* gui = nullptr;
    SPtr<Recorder> frame;
    SPtr<Probe> left, right;
};

TEST_F(GUIEvents, RegistersClosedInTheOverlayPhaseBlockingUpdate) {
    Console* console = Console::getInstance();
    struct Case {
        const char* name;
        Plugin* plugin;
        int priority;
    };
    const Case cases[] = {{"GUI", gui, 1}, {"Console", console, 2}};
    for (const Case& c : cases) {
        EXPECT_FALSE(c.plugin->enabled) << c.name;
        EXPECT_TRUE(c.plugin->registered) << c.name;
        EXPECT_EQ(c.plugin->phaseMask, kPhaseOverlay) << c.name;
        EXPECT_EQ(c.plugin->priority[4], c.priority) << c.name;
        EXPECT_EQ(c.plugin->blockMask, kPhaseUpdate) << c.name;
    }
    const std::list<Plugin*>& overlay = PluginManager::getInstance()->phases[4];
    EXPECT_EQ(std::list<Plugin*>(overlay), (std::list<Plugin*>{gui, console}));
    EXPECT_EQ(gui->root->width, 1024);
    EXPECT_EQ(gui->root->height, 768);
    EXPECT_EQ(gui->hovered.get(), frame.get());
}

TEST_F(GUIEvents, MovingAcrossLeavesBeforeEnteringInOneFrame) {
    moveMouse(150, 120);
    runFrame();
    EXPECT_EQ(guiLog(), (Log{"left mouse 1"}));
    guiLog().clear();
    moveMouse(250, 120);
    runFrame();
    EXPECT_EQ(guiLog(), (Log{"left mouse 2", "right mouse 1"}));
    guiLog().clear();
    runFrame();
    EXPECT_EQ(guiLog(), Log{}) << "no repeat while the mouse stays";
    moveMouse(2000, 2000);
    runFrame();
    EXPECT_EQ(guiLog(), (Log{"right mouse 2"}));
    EXPECT_FALSE(gui->hovered);
}

TEST_F(GUIEvents, ALeftPressFocusesAndDoesNotRepeatWhileHeld) {
    Mouse* mouse = Mouse::getInstance();
    moveMouse(150, 120);
    runFrame();
    guiLog().clear();

    mouse->leftDown = mouse->leftPressed = true;
    runFrame();
    EXPECT_EQ(guiLog(), (Log{"left mouse 4"}));
    EXPECT_EQ(gui->focus.get(), left.get());
    EXPECT_TRUE(left->focused);
    guiLog().clear();

    runFrame();
    runFrame();
    EXPECT_EQ(guiLog(), Log{}) << "held, not pressed again";

    mouse->leftDown = false;
    mouse->leftReleased = true;
    runFrame();
    EXPECT_EQ(guiLog(), (Log{"left mouse 16"}));
}

TEST_F(GUIEvents, ButtonEventsOfOneFrameComeInTheirOrder) {
    Mouse* mouse = Mouse::getInstance();
    moveMouse(150, 120);
    listenTo(*left, kEventLeftPress | kEventRightPress | kEventLeftRelease | kEventRightRelease, 5);
    mouse->leftPressed = mouse->rightPressed = mouse->leftReleased = mouse->rightReleased = true;
    runFrame();
    EXPECT_EQ(guiLog(), (Log{"left mouse 1", "left mouse 4", "frame command 5 from left", "left mouse 8",
                             "frame command 5 from left", "left mouse 16", "frame command 5 from left",
                             "left mouse 32", "frame command 5 from left"}));
    ASSERT_TRUE(frame->lastEvent);
    EXPECT_EQ(frame->lastEvent->category, kEventCategoryMouse);
    EXPECT_EQ(frame->lastEvent->code, 0);
    EXPECT_EQ(frame->lastEvent->mouseX, 150);
    EXPECT_EQ(frame->lastEvent->mouseY, 120);
}

TEST_F(GUIEvents, ARightPressDoesNotMoveTheFocus) {
    Mouse* mouse = Mouse::getInstance();
    moveMouse(150, 120);
    mouse->rightPressed = true;
    runFrame();
    EXPECT_EQ(gui->focus.get(), gui->root.get());
    EXPECT_FALSE(left->focused);
}

TEST_F(GUIEvents, KeysThenCharactersGoToTheFocus) {
    Keys* keys = Keys::getInstance();
    Mouse* mouse = Mouse::getInstance();
    moveMouse(150, 120);
    mouse->leftPressed = true;
    runFrame();
    guiLog().clear();

    // The focus stays on the left widget while the mouse is over the right one.
    moveMouse(250, 120);
    runFrame();
    guiLog().clear();
    keys->pressed['Z'] = keys->down['Z'] = true;
    keys->pressed['A'] = true;
    keys->pressed[0xC0] = true;
    typedChars.add('z');
    typedChars.add('\b');
    runFrame();
    EXPECT_EQ(guiLog(), (Log{"left key 128 65", "left key 128 90", "left key 128 192", "left key 64 122",
                             "left key 64 8"}));

    // An auto-repeat is a new press: it comes again while the key is held.
    guiLog().clear();
    keys->pressed['Z'] = true;
    runFrame();
    EXPECT_EQ(guiLog(), (Log{"left key 128 90"}));
    guiLog().clear();
    runFrame();
    EXPECT_EQ(guiLog(), Log{});
}

TEST_F(GUIEvents, AWidgetThatIgnoresKeysPassesThemToItsHandlersOnly) {
    SPtr<Button> button = new Button("b");
    button->setPosition(400, 400);
    frame->add(button);
    button->addHandler(new GUIEventHandler(frame.get(), kEventChar, 3));
    button->addHandler(new GUIEventHandler(frame.get(), kEventLeftPress, 4));
    gui->setFocus(button);
    typedChars.add('q');
    Keys::getInstance()->pressed['Q'] = true;
    runFrame();
    EXPECT_EQ(guiLog(), (Log{"frame command 3 from widget"}));
    EXPECT_EQ(frame->lastEvent->category, kEventCategoryKeyboard);
    EXPECT_EQ(frame->lastEvent->code, 'q');
}

TEST_F(GUIEvents, NoFocusNoKeyboardEvents) {
    left->addHandler(new GUIEventHandler(frame.get(), kEventChar | kEventKeyDown, 1));
    gui->setFocus(left);
    EXPECT_TRUE(left->focused);
    gui->setFocus(SPtr<Component>());
    EXPECT_FALSE(left->focused);
    typedChars.add('q');
    Keys::getInstance()->pressed['Q'] = true;
    runFrame();
    EXPECT_EQ(guiLog(), Log{});
}

TEST_F(GUIEvents, ClosingADialogShowsTheOneBefore) {
    SPtr<Dialog> menu = new Dialog, options = new Dialog;
    gui->show(menu);
    openFrame(options, menu);
    EXPECT_EQ(options->previous.get(), menu.get());
    closeDialog(menu);
    closeDialog(options);
    ASSERT_EQ(gui->root->children.size, 2u);
    EXPECT_EQ(gui->root->children[1].get(), menu.get());
    EXPECT_EQ(options->previous.get(), menu.get()) << "previous stays set";
    EXPECT_EQ(options->parent, nullptr);
}

TEST_F(GUIEvents, TheConsoleCollectsTypingAcrossOpenings) {
    Console* console = Console::getInstance();
    Keys* keys = Keys::getInstance();
    console->enabled = true;
    for (char c : std::string("ab\r\tc"))
        typedChars.add(c);
    typedChars.add('\0');
    console->update();
    typedChars.resize(0);
    keys->update();
    EXPECT_EQ(console->text, "ab\r\tc") << "control characters as typed; NUL left out";

    // The console key closes it, hides the press and adds nothing.
    keys->down[Console::closeKey] = keys->pressed[Console::closeKey] = true;
    typedChars.add('`');
    console->update();
    EXPECT_FALSE(console->enabled);
    EXPECT_FALSE(keys->down[Console::closeKey]);
    EXPECT_FALSE(keys->wentDown(Console::closeKey));
    EXPECT_EQ(console->text, "ab\r\tc");
    typedChars.resize(0);
    keys->update();

    console->enabled = true;
    typedChars.add('d');
    console->update();
    EXPECT_EQ(console->text, "ab\r\tcd");

    console->append(String("!"));
    console->append("?");
    EXPECT_EQ(console->text, "ab\r\tcd!?");
    console->clear();
    EXPECT_EQ(console->text, "");
    EXPECT_EQ(console->text.length, 0);
}

} // namespace
