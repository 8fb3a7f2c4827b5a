// GameMode and GameModeManager: the screen or state the application is in.
//
// The GameModeManager is a plug-in in all five phases; it forwards each phase
// to the current mode and switches modes only at a frame start, so a mode is
// never replaced in the middle of a frame. It does not own the modes: whoever
// creates a mode keeps it alive while it is current or pending and deletes it.
//
//   event                  current   next   calls
//   setNext(a)             -         a      -
//   frame start            a         -      a->init()
//   setNext(b), setNext(c) a         c      -
//   frame start            c         -      a->release(), c->init()
//   shutdown               -         -      c->release(), once
#pragma once

#include "Core/Singleton.h"
#include "Core/WinAppFramework/Plugin.h"

namespace Vantor {

class GameMode {
public:
    virtual void update() = 0;
    virtual void animate() = 0;
    // Called with the current camera's view already loaded as the modelview matrix.
    virtual void render() = 0;
    virtual void renderOverlay() = 0;
    // When the mode becomes current.
    virtual void init() = 0;
    // When the mode stops being current, and at shutdown.
    virtual void release() = 0;
    virtual ~GameMode() = default;
};

class GameModeManager : public Plugin, public Singleton<GameModeManager> {
public:
    GameMode* current = nullptr;
    GameMode* next = nullptr;

    GameModeManager();

    // The switch to mode happens at the next frame start; a later call before
    // then replaces this one.
    void setNext(GameMode* mode) { next = mode; }

    // Releases the current mode, which then is current no more.
    void shutdown() override;
    void frameStart() override;
    void update() override;
    void animate() override;
    // Rebuilds and loads the current camera's view, then renders the current
    // mode; the camera steps run also when no mode is current.
    void render() override;
    void renderOverlay() override;
};

} // namespace Vantor
