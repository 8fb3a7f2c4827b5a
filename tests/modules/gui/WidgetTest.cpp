// Widget layout, centring, hit testing, containers and handlers, without GL.
#include "Core/Singleton.h"
#include "Core/WinAppFramework/GLWindow.h"
#include "modules/gui/Component.h"

#include "GUITestSupport.h"

#include <gtest/gtest.h>

using namespace Vantor;
using namespace Vantor::test;

namespace {

class Widgets : public ::testing::Test {
protected:
    void SetUp() override {
        destroySingletons();
        GLWindow::getInstance()->width = 1024;
        GLWindow::getInstance()->height = 768;
        guiLog().clear();
    }
    void TearDown() override { destroySingletons(); }
};

SPtr<Event> mouseEvent(int type) { return new Event(kEventCategoryMouse, type, 0, 0, 0); }

TEST_F(Widgets, HitTestIncludesEveryEdge) {
    SPtr<Probe> probe = new Probe("p", 100, 50);
    probe->setPosition(10, 20);
    struct Case {
        float x, y;
        bool hit;
    };
    const Case cases[] = {
        {10, 20, true},     {110, 70, true},   {110, 20, true},  {10, 70, true}, {60, 45, true},
        {9.9f, 45, false},  {110.1f, 45, false}, {60, 19.9f, false}, {60, 70.1f, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(bool(probe->hitTest(c.x, c.y)), c.hit) << "at (" << c.x << ", " << c.y << ")";
}

TEST_F(Widgets, LastAddedOfOverlappingChildrenWinsAndTheContainerCatchesTheRest) {
    SPtr<Container> box = new Container;
    box->setSize(300, 300);
    SPtr<Probe> under = new Probe("under"), over = new Probe("over");
    under->setPosition(0, 0);
    over->setPosition(50, 25);
    box->add(under);
    box->add(over);

    EXPECT_EQ(box->hitTest(60, 30).get(), over.get());
    EXPECT_EQ(box->hitTest(10, 10).get(), under.get());
    EXPECT_EQ(box->hitTest(200, 200).get(), box.get());
    EXPECT_FALSE(box->hitTest(301, 10));
}

TEST_F(Widgets, DialogStacksChildrenFromTheTopCentred) {
    SPtr<Dialog> dialog = new Dialog;
    EXPECT_EQ(dialog->width, 512) << "half the window";
    EXPECT_EQ(dialog->height, 384);
    EXPECT_EQ(dialog->absX, 100);
    EXPECT_EQ(dialog->absY, 120);
    dialog->setSize(400, 400);
    SPtr<Button> buttons[3] = {new Button("a"), new Button("b"), new Button("c")};
    for (SPtr<Button>& b : buttons)
        dialog->add(b);
    const float ys[3] = {340, 288, 236};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(buttons[i]->y, ys[i]) << i;
        EXPECT_EQ(buttons[i]->x, 125) << i;
        EXPECT_EQ(buttons[i]->absX, 100 + 125) << i;
        EXPECT_EQ(buttons[i]->absY, 120 + ys[i]) << i;
        EXPECT_EQ(buttons[i]->parent, dialog.get());
    }
    EXPECT_EQ(dialog->layoutCursor, 20 + 3 * 52);
}

TEST_F(Widgets, TopLevelWidgetsCentreInTheWindow) {
    SPtr<Probe> probe = new Probe("p", 600, 600);
    probe->setCentreX(true);
    EXPECT_EQ(probe->x, 212);
    probe->setCentreY(true);
    EXPECT_EQ(probe->y, 84);
    EXPECT_EQ(probe->absY, 84);
}

TEST_F(Widgets, SetSizeAloneDoesNotRecentre) {
    using Update = void (*)(Probe&);
    struct Case {
        const char* name;
        Update update;
    };
    const Case cases[] = {
        {"setX", [](Probe& p) { p.setX(5); }},
        {"setY", [](Probe& p) { p.setY(5); }},
        {"setPosition", [](Probe& p) { p.setPosition(5, 5); }},
        {"setCentreX", [](Probe& p) { p.setCentreX(true); }},
        {"setCentreY", [](Probe& p) { p.setCentreY(false); }},
    };
    for (const Case& c : cases) {
        SPtr<Probe> probe = new Probe("p", 600, 600);
        probe->setCentreX(true);
        probe->setSize(400, 400);
        EXPECT_EQ(probe->x, 212) << c.name;
        c.update(*probe);
        EXPECT_EQ(probe->x, 312) << c.name;
        EXPECT_EQ(probe->absX, 312) << c.name;
    }
}

TEST_F(Widgets, ChildrenFollowTheirContainerWhereverItMoves) {
    // A menu set up as the city scene's: moved, resized and centred after
    // construction; then buttons added; then the dialog re-centred and moved.
    SPtr<Dialog> menu = new Dialog;
    menu->setPosition(100, 100);
    menu->setWidth(600);
    menu->setHeight(600);
    menu->setCentreX(true);
    menu->setCentreY(true);
    EXPECT_EQ(menu->absX, 212);
    EXPECT_EQ(menu->absY, 84);
    SPtr<Button> button = new Button("Options");
    menu->add(button);
    EXPECT_EQ(button->absX, 212 + 225);
    EXPECT_EQ(button->absY, 84 + 540);

    menu->setCentreX(false);
    menu->setX(0);
    EXPECT_EQ(button->absX, 225);
    GLWindow::getInstance()->height = 1000;
    menu->updatePosition();
    EXPECT_EQ(button->absY, 200 + 540);
    // In a window lower than the menu, the menu's top meets the window's.
    GLWindow::getInstance()->height = 480;
    menu->updatePosition();
    EXPECT_EQ(menu->absY, 480 - 600);
    EXPECT_EQ(button->absY, 480 - 600 + 540);
    GLWindow::getInstance()->height = 1000;
    menu->updatePosition();

    // Two levels down, origins are screen positions.
    SPtr<Container> inner = new Container;
    inner->setSize(200, 100);
    inner->setPosition(10, 20);
    SPtr<Probe> leaf = new Probe("leaf", 10, 10);
    leaf->setPosition(3, 4);
    inner->add(leaf);
    menu->add(inner);
    EXPECT_EQ(leaf->absX, menu->absX + inner->x + 3);
    EXPECT_EQ(leaf->absY, menu->absY + inner->y + 4);
    EXPECT_EQ(menu->hitTest(leaf->absX + 1, leaf->absY + 1).get(), leaf.get());
}

TEST_F(Widgets, ChildrenCentreAgainstTheirParent) {
    SPtr<Container> box = new Container;
    box->setSize(300, 200);
    box->setPosition(50, 60);
    SPtr<Probe> probe = new Probe("p", 100, 50);
    probe->setCentreX(true);
    probe->setCentreY(true);
    box->add(probe);
    EXPECT_EQ(probe->x, 100);
    EXPECT_EQ(probe->y, 75);
    EXPECT_EQ(probe->absX, 150);
    EXPECT_EQ(probe->absY, 135);
}

TEST_F(Widgets, RemoveTakesEveryEntryAndLetsGoOfTheParent) {
    SPtr<Container> box = new Container;
    SPtr<Probe> twice = new Probe("twice"), other = new Probe("other");
    box->add(twice);
    box->add(other);
    box->add(twice);
    ASSERT_EQ(box->children.size, 3u);
    box->remove(twice);
    ASSERT_EQ(box->children.size, 1u);
    EXPECT_EQ(box->children[0].get(), other.get());
    EXPECT_EQ(twice->parent, nullptr);
    EXPECT_EQ(twice->refCount, 1);

    box = nullptr;
    EXPECT_EQ(other->parent, nullptr) << "a child outliving its container keeps no pointer to it";
}

TEST_F(Widgets, AddRefusesNullItselfAndItsAncestors) {
    SPtr<Container> outer = new Container, inner = new Container;
    outer->add(inner);
    outer->add(SPtr<Component>());
    outer->add(outer);
    inner->add(outer);
    inner->add(inner);
    EXPECT_EQ(outer->children.size, 1u);
    EXPECT_EQ(inner->children.size, 0u);
    EXPECT_EQ(outer->parent, nullptr);
}

TEST_F(Widgets, HandlersFireOnTheTypesOfTheirMask) {
    SPtr<Recorder> frame = new Recorder;
    SPtr<Probe> probe = new Probe("p");
    probe->addHandler(new GUIEventHandler(frame.get(), kEventLeftPress | kEventRightPress, 7));
    struct Case {
        int type;
        bool fires;
    };
    const Case cases[] = {{kEventLeftPress, true},     {kEventRightPress, true},  {kEventLeftRelease, false},
                          {kEventRightRelease, false}, {kEventMouseEnter, false}, {kEventMouseLeave, false}};
    for (const Case& c : cases) {
        guiLog().clear();
        probe->dispatchMouseEvent(mouseEvent(c.type));
        Log expected = {"p mouse " + std::to_string(c.type)};
        if (c.fires)
            expected.push_back("frame command 7 from p");
        EXPECT_EQ(guiLog(), expected) << "type " << c.type;
    }
}

TEST_F(Widgets, HandlersRunInTheirOrderAfterTheWidgetItself) {
    SPtr<Recorder> first = new Recorder("first"), second = new Recorder("second");
    SPtr<Probe> probe = new Probe("p");
    probe->addHandler(new GUIEventHandler(second.get(), kEventKeyDown, 2));
    probe->addHandler(new GUIEventHandler(first.get(), kEventKeyDown | kEventChar, 1));
    probe->addHandler(new GUIEventHandler(nullptr, kEventKeyDown, 3));
    probe->dispatchKeyEvent(new Event(kEventCategoryKeyboard, kEventKeyDown, 'A', 0, 0));
    EXPECT_EQ(guiLog(), (Log{"p key 128 65", "second command 2 from p", "first command 1 from p"}));
}

// A frame whose command empties it, dropping the last reference to the
// button that is still sending, and adds a handler to that button.
struct Emptying : Frame {
    void onCommand(int id, const SPtr<Event>&, const SPtr<Component>& source) override {
        guiLog().push_back("command " + std::to_string(id) + " refs " + std::to_string(source->refCount));
        children.clear();
        for (int i = 0; i < 20; ++i)
            source->addHandler(new GUIEventHandler(this, kEventLeftPress, 9));
    }
};

TEST_F(Widgets, ACommandMayDropTheWidgetThatSentIt) {
    SPtr<Emptying> frame = new Emptying;
    SPtr<Button> button = new Button("x");
    frame->add(button);
    button->addHandler(new GUIEventHandler(frame.get(), kEventLeftPress, 1));
    button->addHandler(new GUIEventHandler(frame.get(), kEventLeftPress, 2));
    Button* raw = button.get();
    button = nullptr;
    raw->dispatchMouseEvent(mouseEvent(kEventLeftPress));
    // The widget lived to the end of its dispatch, and the handlers that ran
    // are the ones it had when the event came.
    EXPECT_EQ(guiLog(), (Log{"command 1 refs 2", "command 2 refs 1"}));
}

} // namespace
