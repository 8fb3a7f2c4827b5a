// The main menu and the options menu.
#include "MainMenu.h"

#include "AppOptions.h"

#include "Core/WinAppFramework/App.h"
#include "Core/WinAppFramework/GLWindow.h"
#include "modules/gui/GUI.h"

#include <GL/glew.h>

using namespace Vantor;

namespace {

// Where both menus are placed before centring.
constexpr float menuStart = 100;
// A left or a right press triggers a button.
constexpr int pressMask = kEventLeftPress | kEventRightPress;

SPtr<Button> makeButton(Frame* target, const char* label, int id) {
    SPtr<Button> button = new Button(label);
    button->addHandler(new GUIEventHandler(target, pressMask, id));
    return button;
}

void placeMenu(Dialog& dialog, float width, float height) {
    dialog.setPosition(menuStart, menuStart);
    dialog.setSize(width, height);
    dialog.setCentreX(true);
    dialog.setCentreY(true);
}

} // namespace

SPtr<OptionsMenu> optionsMenu;

OptionsMenu::OptionsMenu() {
    placeMenu(*this, menuWidth, menuHeight);
    SPtr<Button> back = makeButton(this, "Back", backCommand);
    buttons[fullscreenSlot] = makeButton(this, "Fullscreen", fullscreenCommand);
    buttons[antialiasingSlot] = makeButton(this, "", antialiasingCommand);
    buttons[fullscreenSlot]->setSize(wideButtonWidth, Button::defaultHeight);
    buttons[antialiasingSlot]->setSize(wideButtonWidth, Button::defaultHeight);
    updateAntialiasingLabel();
    add(buttons[fullscreenSlot]);
    add(buttons[antialiasingSlot]);
    add(back);
}

void OptionsMenu::setAntialiasingLabel(const char* text) { *buttons[antialiasingSlot]->label = text; }

bool windowHasMultisampling() {
    if (!GLEW_ARB_multisample)
        return false;
    GLint buffers = 0;
    glGetIntegerv(GL_SAMPLE_BUFFERS_ARB, &buffers);
    return buffers > 0;
}

void OptionsMenu::updateAntialiasingLabel() {
    if (!windowHasMultisampling())
        setAntialiasingLabel("Antialiasing unsupported");
    else
        setAntialiasingLabel(AppOptions::getInstance()->antialiasing ? "Antialiasing Enabled"
                                                                     : "Antialiasing Disabled");
}

void OptionsMenu::onCommand(int id, const SPtr<Event>&, const SPtr<Component>&) {
    switch (id) {
    case backCommand:
        closeDialog(this);
        break;
    case fullscreenCommand: {
        GLWindow* window = GLWindow::getInstance();
        window->setFullscreen(!window->fullscreen, true, false);
        updatePosition();
        break;
    }
    case antialiasingCommand:
        if (windowHasMultisampling()) {
            AppOptions* options = AppOptions::getInstance();
            options->antialiasing = !options->antialiasing;
            if (options->antialiasing)
                glEnable(GL_MULTISAMPLE_ARB);
            else
                glDisable(GL_MULTISAMPLE_ARB);
        }
        break;
    default:
        break;
    }
    updateAntialiasingLabel();
}

MainMenu::MainMenu() {
    placeMenu(*this, menuWidth, menuHeight);
    add(makeButton(this, "Options", optionsCommand));
    add(makeButton(this, "Quit", quitCommand));
    optionsMenu = new OptionsMenu;
}

void MainMenu::onCommand(int id, const SPtr<Event>&, const SPtr<Component>&) {
    if (id == quitCommand) {
        App::getInstance()->quit = true;
    } else if (id == optionsCommand) {
        closeDialog(this);
        openFrame(optionsMenu, this);
    }
}
