// The SDL event to message translation, driven with synthetic events.
#include "Core/platform/SdlEvents.h"
#include "Core/platform/SdlPlatform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace Vantor::platform;

namespace {

SDL_Event keyEvent(Uint32 type, SDL_Scancode scancode, bool repeat = false, Uint16 mod = KMOD_NONE) {
    SDL_Event event = {};
    event.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat ? 1 : 0;
    event.key.keysym.scancode = scancode;
    event.key.keysym.mod = mod;
    return event;
}

SDL_Event textEvent(const char* text) {
    SDL_Event event = {};
    event.type = SDL_TEXTINPUT;
    std::strncpy(event.text.text, text, sizeof event.text.text - 1);
    return event;
}

SDL_Event buttonEvent(Uint32 type, Uint8 button, int x, int y) {
    SDL_Event event = {};
    event.type = type;
    event.button.button = button;
    event.button.x = x;
    event.button.y = y;
    return event;
}

SDL_Event motionEvent(int x, int y, Uint32 state) {
    SDL_Event event = {};
    event.type = SDL_MOUSEMOTION;
    event.motion.x = x;
    event.motion.y = y;
    event.motion.state = state;
    return event;
}

SDL_Event wheelEvent(int x, int y, Uint32 direction, int mouseX, int mouseY) {
    SDL_Event event = {};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.x = x;
    event.wheel.y = y;
    event.wheel.direction = direction;
    event.wheel.mouseX = mouseX;
    event.wheel.mouseY = mouseY;
    return event;
}

SDL_Event windowEvent(Uint8 what, int data1 = 0, int data2 = 0) {
    SDL_Event event = {};
    event.type = SDL_WINDOWEVENT;
    event.window.event = what;
    event.window.data1 = data1;
    event.window.data2 = data2;
    return event;
}

SDL_Event quitEvent() {
    SDL_Event event = {};
    event.type = SDL_QUIT;
    return event;
}

short signedHigh(WPARAM wParam) { return short(HIWORD(wParam)); }
unsigned scanCode(LPARAM lParam) { return unsigned(lParam >> 16) & 0xFF; }
bool bit(LPARAM lParam, int n) { return (std::uint64_t(lParam) >> n) & 1; }

class Translate : public ::testing::Test {
protected:
    static constexpr int originX = 100;
    static constexpr int originY = 50;

    // The messages of one event for window.
    std::vector<MSG> translate(const SDL_Event& event, Window* target = nullptr) {
        std::deque<MSG> out;
        translator.translate(event, target ? target : &window, originX, originY, 1234, out);
        return {out.begin(), out.end()};
    }

    EventTranslator translator;
    Window window;
    Window other;
};

TEST(VirtualKeys, MatchWindowsCodes) {
    const struct {
        SDL_Scancode scancode;
        unsigned vk;
    } cases[] = {
        {SDL_SCANCODE_A, 'A'},           {SDL_SCANCODE_M, 'M'},
        {SDL_SCANCODE_Z, 'Z'},           {SDL_SCANCODE_1, '1'},
        {SDL_SCANCODE_9, '9'},           {SDL_SCANCODE_0, '0'},
        {SDL_SCANCODE_F1, 0x70},         {SDL_SCANCODE_F5, 0x74},
        {SDL_SCANCODE_F12, 0x7B},        {SDL_SCANCODE_LEFT, 0x25},
        {SDL_SCANCODE_UP, 0x26},         {SDL_SCANCODE_RIGHT, 0x27},
        {SDL_SCANCODE_DOWN, 0x28},       {SDL_SCANCODE_ESCAPE, 0x1B},
        {SDL_SCANCODE_RETURN, 0x0D},     {SDL_SCANCODE_BACKSPACE, 0x08},
        {SDL_SCANCODE_TAB, 0x09},        {SDL_SCANCODE_SPACE, 0x20},
        {SDL_SCANCODE_GRAVE, 0xC0},      {SDL_SCANCODE_LSHIFT, 0x10},
        {SDL_SCANCODE_RSHIFT, 0x10},     {SDL_SCANCODE_LCTRL, 0x11},
        {SDL_SCANCODE_RCTRL, 0x11},      {SDL_SCANCODE_LALT, 0x12},
        {SDL_SCANCODE_PAGEUP, 0x21},     {SDL_SCANCODE_PAGEDOWN, 0x22},
        {SDL_SCANCODE_END, 0x23},        {SDL_SCANCODE_HOME, 0x24},
        {SDL_SCANCODE_INSERT, 0x2D},     {SDL_SCANCODE_DELETE, 0x2E},
        {SDL_SCANCODE_KP_0, 0x60},       {SDL_SCANCODE_KP_9, 0x69},
        {SDL_SCANCODE_KP_PLUS, 0x6B},    {SDL_SCANCODE_KP_ENTER, 0x0D},
        {SDL_SCANCODE_MINUS, 0xBD},      {SDL_SCANCODE_EQUALS, 0xBB},
        {SDL_SCANCODE_SLASH, 0xBF},      {SDL_SCANCODE_LEFTBRACKET, 0xDB},
        {SDL_SCANCODE_APOSTROPHE, 0xDE},
    };
    for (const auto& c : cases)
        EXPECT_EQ(virtualKey(c.scancode), c.vk) << SDL_GetScancodeName(c.scancode);
    EXPECT_EQ(virtualKey(SDL_SCANCODE_F13), 0u);
    EXPECT_EQ(virtualKey(SDL_SCANCODE_APPLICATION), 0u);
}

TEST_F(Translate, KeyMessagesPackLParamLikeWin32) {
    std::vector<MSG> down = translate(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_A));
    ASSERT_EQ(down.size(), 1u);
    EXPECT_EQ(down[0].message, WM_KEYDOWN);
    EXPECT_EQ(down[0].wParam, WPARAM('A'));
    EXPECT_EQ(down[0].hwnd, &window);
    EXPECT_EQ(down[0].time, 1234u);
    EXPECT_EQ(down[0].lParam & 0xFFFF, 1);
    EXPECT_NE(scanCode(down[0].lParam), 0u);
    EXPECT_FALSE(bit(down[0].lParam, 30));
    EXPECT_FALSE(bit(down[0].lParam, 31));

    std::vector<MSG> repeat = translate(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_A, true));
    ASSERT_EQ(repeat.size(), 1u);
    EXPECT_EQ(repeat[0].message, WM_KEYDOWN);
    EXPECT_TRUE(bit(repeat[0].lParam, 30));
    EXPECT_FALSE(bit(repeat[0].lParam, 31));

    std::vector<MSG> up = translate(keyEvent(SDL_KEYUP, SDL_SCANCODE_A));
    ASSERT_EQ(up.size(), 1u);
    EXPECT_EQ(up[0].message, WM_KEYUP);
    EXPECT_EQ(up[0].wParam, WPARAM('A'));
    EXPECT_TRUE(bit(up[0].lParam, 30));
    EXPECT_TRUE(bit(up[0].lParam, 31));
    EXPECT_EQ(scanCode(up[0].lParam), scanCode(down[0].lParam));

    // Keys without a code give no message.
    EXPECT_TRUE(translate(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_F13)).empty());
    EXPECT_TRUE(translate(keyEvent(SDL_KEYUP, SDL_SCANCODE_F13)).empty());

    // The arrows are extended keys; the numeric pad's 4 in the same place is not.
    EXPECT_TRUE(bit(keyLParam(SDL_SCANCODE_LEFT, false, false), 24));
    EXPECT_FALSE(bit(keyLParam(SDL_SCANCODE_KP_4, false, false), 24));
}

TEST_F(Translate, ControlKeysTypeTheirCharacterAfterTheKeyDown) {
    const struct {
        SDL_Scancode scancode;
        unsigned character;
    } cases[] = {{SDL_SCANCODE_BACKSPACE, 8},
                 {SDL_SCANCODE_TAB, 9},
                 {SDL_SCANCODE_RETURN, 13},
                 {SDL_SCANCODE_KP_ENTER, 13},
                 {SDL_SCANCODE_ESCAPE, 27}};
    for (const auto& c : cases) {
        for (bool repeat : {false, true}) {
            std::vector<MSG> messages = translate(keyEvent(SDL_KEYDOWN, c.scancode, repeat));
            ASSERT_EQ(messages.size(), 2u) << SDL_GetScancodeName(c.scancode);
            EXPECT_EQ(messages[0].message, WM_KEYDOWN);
            EXPECT_EQ(messages[1].message, WM_CHAR);
            EXPECT_EQ(messages[1].wParam, c.character);
            EXPECT_EQ(messages[1].lParam, messages[0].lParam);
        }
        std::vector<MSG> up = translate(keyEvent(SDL_KEYUP, c.scancode));
        ASSERT_EQ(up.size(), 1u);
        EXPECT_EQ(up[0].message, WM_KEYUP);
    }
    // Printable keys type through text input only, so their key-down adds no character.
    EXPECT_EQ(translate(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_SPACE)).size(), 1u);
    EXPECT_EQ(translate(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_A)).size(), 1u);
}

TEST_F(Translate, TextInputTypesOneByteCharacters) {
    std::vector<MSG> key = translate(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_A));
    std::vector<MSG> typed = translate(textEvent("a"));
    ASSERT_EQ(typed.size(), 1u);
    EXPECT_EQ(typed[0].message, WM_CHAR);
    EXPECT_EQ(typed[0].wParam, WPARAM('a'));
    EXPECT_EQ(typed[0].lParam, key[0].lParam);

    auto characters = [this](const char* text) {
        std::vector<WPARAM> result;
        for (const MSG& msg : translate(textEvent(text))) {
            EXPECT_EQ(msg.message, WM_CHAR);
            result.push_back(msg.wParam);
        }
        return result;
    };
    EXPECT_EQ(characters("Hi!"), (std::vector<WPARAM>{'H', 'i', '!'}));
    EXPECT_EQ(characters("\xC3\xA9"), (std::vector<WPARAM>{0xE9})); // e acute, Latin-1
    EXPECT_EQ(characters("\xC3\xBF"), (std::vector<WPARAM>{0xFF})); // y diaeresis
    EXPECT_EQ(characters("a\xE2\x82\xAC"
                         "b"),
              (std::vector<WPARAM>{'a', 'b'})); // the euro sign has no byte
    EXPECT_EQ(characters("\xF0\x9F\x98\x80"), (std::vector<WPARAM>{}));
    EXPECT_EQ(characters("x\xC3"), (std::vector<WPARAM>{'x'})); // a cut sequence is dropped
}

TEST_F(Translate, MouseMessagesCarryTheButtonsHeldAndTheClientPosition) {
    std::vector<MSG> m = translate(buttonEvent(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, 20));
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].message, WM_LBUTTONDOWN);
    EXPECT_EQ(m[0].wParam, WPARAM(MK_LBUTTON));
    EXPECT_EQ(m[0].lParam, MAKELPARAM(10, 20));
    EXPECT_EQ(m[0].pt.x, originX + 10);
    EXPECT_EQ(m[0].pt.y, originY + 20);

    m = translate(buttonEvent(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 30, 40));
    EXPECT_EQ(m[0].message, WM_RBUTTONDOWN);
    EXPECT_EQ(m[0].wParam, WPARAM(MK_LBUTTON | MK_RBUTTON));

    m = translate(buttonEvent(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 30, 40));
    EXPECT_EQ(m[0].message, WM_LBUTTONUP);
    EXPECT_EQ(m[0].wParam, WPARAM(MK_RBUTTON));

    translate(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_LSHIFT, false, KMOD_LSHIFT));
    m = translate(buttonEvent(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 1, 2));
    EXPECT_EQ(m[0].message, WM_MBUTTONDOWN);
    EXPECT_EQ(m[0].wParam, WPARAM(MK_RBUTTON | MK_MBUTTON | MK_SHIFT));
    translate(keyEvent(SDL_KEYUP, SDL_SCANCODE_LSHIFT, false, KMOD_NONE));
    m = translate(buttonEvent(SDL_MOUSEBUTTONUP, SDL_BUTTON_MIDDLE, 1, 2));
    EXPECT_EQ(m[0].message, WM_MBUTTONUP);
    EXPECT_EQ(m[0].wParam, WPARAM(MK_RBUTTON));

    EXPECT_TRUE(translate(buttonEvent(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X1, 1, 2)).empty());

    // Motion reports the buttons it sees held; coordinates pack as signed words.
    m = translate(motionEvent(-3, 7, SDL_BUTTON_LMASK));
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].message, WM_MOUSEMOVE);
    EXPECT_EQ(m[0].wParam, WPARAM(MK_LBUTTON));
    EXPECT_EQ(short(LOWORD(WPARAM(m[0].lParam))), -3);
    EXPECT_EQ(short(HIWORD(WPARAM(m[0].lParam))), 7);
}

TEST_F(Translate, WheelGivesSignedWheelDeltaAtTheScreenPosition) {
    std::vector<MSG> m = translate(wheelEvent(0, 1, SDL_MOUSEWHEEL_NORMAL, 10, 20));
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].message, WM_MOUSEWHEEL);
    EXPECT_EQ(signedHigh(m[0].wParam), WHEEL_DELTA); // away from the user
    EXPECT_EQ(m[0].lParam, MAKELPARAM(originX + 10, originY + 20));

    m = translate(wheelEvent(0, -2, SDL_MOUSEWHEEL_NORMAL, 0, 0));
    EXPECT_EQ(signedHigh(m[0].wParam), -2 * WHEEL_DELTA);
    m = translate(wheelEvent(0, 1, SDL_MOUSEWHEEL_FLIPPED, 0, 0));
    EXPECT_EQ(signedHigh(m[0].wParam), -WHEEL_DELTA);

    translate(buttonEvent(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 0, 0));
    m = translate(wheelEvent(0, 1, SDL_MOUSEWHEEL_NORMAL, 0, 0));
    EXPECT_EQ(LOWORD(m[0].wParam), unsigned(MK_LBUTTON));

    EXPECT_TRUE(translate(wheelEvent(1, 0, SDL_MOUSEWHEEL_NORMAL, 0, 0)).empty());
}

TEST_F(Translate, ACloseIsOneWmClose) {
    std::vector<MSG> m = translate(windowEvent(SDL_WINDOWEVENT_CLOSE));
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].message, WM_CLOSE);
    EXPECT_TRUE(translate(quitEvent()).empty()); // SDL's quit for the same close

    // The application may refuse to close; the next close is reported again.
    EXPECT_EQ(translate(windowEvent(SDL_WINDOWEVENT_CLOSE)).size(), 1u);
    translate(motionEvent(1, 1, 0));
    m = translate(quitEvent());
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].message, WM_CLOSE);
}

TEST_F(Translate, ActivationFollowsShowingMinimisingAndFocus) {
    auto activation = [this](Uint8 what) {
        std::vector<MSG> m = translate(windowEvent(what));
        EXPECT_LE(m.size(), 1u);
        if (m.empty())
            return std::string("none");
        EXPECT_EQ(m[0].message, WM_ACTIVATE);
        return std::string(LOWORD(m[0].wParam) == WA_ACTIVE ? "active" : "inactive") +
               (HIWORD(m[0].wParam) ? " minimised" : "");
    };
    EXPECT_EQ(activation(SDL_WINDOWEVENT_SHOWN), "active");
    EXPECT_EQ(activation(SDL_WINDOWEVENT_FOCUS_GAINED), "none");
    EXPECT_EQ(activation(SDL_WINDOWEVENT_FOCUS_LOST), "inactive");
    EXPECT_EQ(activation(SDL_WINDOWEVENT_FOCUS_GAINED), "active");
    EXPECT_EQ(activation(SDL_WINDOWEVENT_MINIMIZED), "inactive minimised");
    EXPECT_EQ(activation(SDL_WINDOWEVENT_FOCUS_LOST), "none"); // still minimised
    EXPECT_EQ(activation(SDL_WINDOWEVENT_RESTORED), "active");
    EXPECT_EQ(activation(SDL_WINDOWEVENT_EXPOSED), "none");

    // State is kept per window, and forgotten with it.
    std::deque<MSG> out;
    translator.activate(&window, true, false, 0, out);
    translator.activate(&other, true, false, 0, out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].hwnd, &other);
    translator.forget(&window);
    EXPECT_EQ(activation(SDL_WINDOWEVENT_SHOWN), "active");
}

} // namespace
