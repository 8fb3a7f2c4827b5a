#include "DemoGM.h"

#include "Core/WinAppFramework/Camera.h"
#include "Core/WinAppFramework/Globals.h"
#include "Core/WinAppFramework/Input.h"
#include "Core/platform/Messages.h"
#include "modules/gui/Console.h"
#include "modules/gui/GUI.h"

#include <GL/glew.h>

using namespace Vantor;

namespace {

constexpr int towersPerSide = 5;
constexpr float towerSpacing = 30.0f;
constexpr float towerWidth = 16.0f;
constexpr int colourSchemes = 2;

// Axis-aligned box from (x0, 0, z0) to (x1, h, z1), faces wound counter-clockwise outwards.
void drawBox(float x0, float z0, float x1, float z1, float h) {
    glBegin(GL_QUADS);
    glNormal3f(0, 0, 1);
    glVertex3f(x0, 0, z1), glVertex3f(x1, 0, z1), glVertex3f(x1, h, z1), glVertex3f(x0, h, z1);
    glNormal3f(0, 0, -1);
    glVertex3f(x1, 0, z0), glVertex3f(x0, 0, z0), glVertex3f(x0, h, z0), glVertex3f(x1, h, z0);
    glNormal3f(1, 0, 0);
    glVertex3f(x1, 0, z1), glVertex3f(x1, 0, z0), glVertex3f(x1, h, z0), glVertex3f(x1, h, z1);
    glNormal3f(-1, 0, 0);
    glVertex3f(x0, 0, z0), glVertex3f(x0, 0, z1), glVertex3f(x0, h, z1), glVertex3f(x0, h, z0);
    glNormal3f(0, 1, 0);
    glVertex3f(x0, h, z1), glVertex3f(x1, h, z1), glVertex3f(x1, h, z0), glVertex3f(x0, h, z0);
    glEnd();
}

} // namespace

DemoDialog::DemoDialog(DemoGM* mode) : owner(mode) {
    setWidth(dialogWidth);
    setHeight(dialogHeight);
    setCentreX(true);
    setCentreY(true);
    const int presses = kEventLeftPress | kEventRightPress;
    SPtr<Button> colours = new Button("Colours");
    colours->addHandler(new GUIEventHandler(this, presses, coloursCommand));
    add(colours);
    SPtr<Button> close = new Button("Close");
    close->addHandler(new GUIEventHandler(this, presses, closeCommand));
    add(close);
}

void DemoDialog::onCommand(int id, const SPtr<Event>&, const SPtr<Component>&) {
    if (id == coloursCommand)
        owner->colourScheme = (owner->colourScheme + 1) % colourSchemes;
    else if (id == closeCommand)
        GUI::getInstance()->enabled = false;
}

void DemoGM::init() {
    if (!menu) {
        menu = new DemoDialog(this);
        GUI::getInstance()->show(menu);
    }
    Console::getInstance();

    OrbitalCamera* camera = dynamic_cast<OrbitalCamera*>(currentCamera);
    if (camera) {
        camera->minRadius = 60;
        camera->maxRadius = 400;
        camera->setDistance(220);
        camera->setRotation(TVector3<float>(30, 30, 0));
        camera->target = TVector3<float>(0, 15, 0);
    }
    currentCamera->aspect = 1024.0 / 768.0;
    currentCamera->applyProjection();
}

void DemoGM::release() {
    if (menu && Singleton<GUI>::exists())
        GUI::getInstance()->hide(menu);
    menu = nullptr;
}

void DemoGM::update() {
    Keys* keys = Keys::getInstance();
    if (keys->wentDown(platform::VK_OEM_3)) {
        // The console would see the press and close at once; the character
        // the key typed belongs to the scene, not to the console's text.
        keys->down[platform::VK_OEM_3] = false;
        typedChars.resize(0);
        Console* console = Console::getInstance();
        console->enabled = !console->enabled;
    }
    if (keys->wentDown(platform::VK_ESCAPE)) {
        // Closes this frame's keys at once, so that the GUI, opening in this
        // frame's overlay, does not take this Escape as its closing key.
        keys->update();
        GUI::getInstance()->enabled = true;
    }
    OrbitalCamera* camera = dynamic_cast<OrbitalCamera*>(currentCamera);
    if (!camera)
        return;
    float turn = float(keyTurnSpeed * frameDelta);
    if (keys->down[platform::VK_LEFT])
        camera->rotate(TVector3<float>(0, -turn, 0));
    if (keys->down[platform::VK_RIGHT])
        camera->rotate(TVector3<float>(0, turn, 0));
    if (keys->down[platform::VK_UP])
        camera->rotate(TVector3<float>(turn, 0, 0));
    if (keys->down[platform::VK_DOWN])
        camera->rotate(TVector3<float>(-turn, 0, 0));
    if (keys->down[platform::VK_PRIOR])
        camera->zoom(float(-zoomSpeed * frameDelta));
    if (keys->down[platform::VK_NEXT])
        camera->zoom(float(zoomSpeed * frameDelta));
    if (keys->down['C'] && !keys->prev['C'])
        colourScheme = (colourScheme + 1) % colourSchemes;
}

void DemoGM::animate() {
    if (OrbitalCamera* camera = dynamic_cast<OrbitalCamera*>(currentCamera))
        camera->rotate(TVector3<float>(0, float(turnSpeed * frameDelta), 0));
}

void DemoGM::render() {
    const GLfloat lightPosition[] = {0.4f, 1.0f, 0.3f, 0.0f};
    const GLfloat white[] = {1, 1, 1, 1};
    const GLfloat ambient[] = {0.25f, 0.25f, 0.3f, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glDisable(GL_TEXTURE_2D);

    const float half = towersPerSide * towerSpacing / 2;
    glColor3f(0.25f, 0.3f, 0.25f);
    glBegin(GL_QUADS);
    glNormal3f(0, 1, 0);
    glVertex3f(-half, 0, half), glVertex3f(half, 0, half), glVertex3f(half, 0, -half), glVertex3f(-half, 0, -half);
    glEnd();

    for (int i = 0; i < towersPerSide; ++i) {
        for (int k = 0; k < towersPerSide; ++k) {
            float x = -half + towerSpacing * (i + 0.5f), z = -half + towerSpacing * (k + 0.5f);
            float height = 20.0f + float((i * 7 + k * 13) % 6) * 12.0f;
            if (colourScheme == 0)
                glColor3f(0.9f, 0.35f + 0.1f * float(k), 0.2f + 0.15f * float(i));
            else
                glColor3f(0.2f + 0.15f * float(i), 0.4f, 0.95f - 0.1f * float(k));
            drawBox(x - towerWidth / 2, z - towerWidth / 2, x + towerWidth / 2, z + towerWidth / 2, height);
        }
    }
    glDisable(GL_COLOR_MATERIAL);
    glEnable(GL_TEXTURE_2D);
}

void DemoGM::renderOverlay() {}
