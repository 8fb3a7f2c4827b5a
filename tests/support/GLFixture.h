// GLFixture: the base of tests that need a GL context.
//
// A test executable linking vantor_gl_fixture gets one hidden window with a
// compatibility context (32-bit colour, 24 depth and 8 stencil bits, double
// buffered), opened before its first test and closed after its last. Each
// test starts with that context current, the client area at the size it asked
// for (64 x 64 unless the test class passes another), the viewport covering
// it, reading and drawing on the back buffer and no GL error pending. Other GL
// state carries over from test to test: set what a test relies on.
//
// Message boxes are answered without being shown (IDNO for Yes/No boxes,
// IDOK for the others, unless the test chooses an answer) and recorded.
//
//   class MyTest : public Vantor::test::GLFixture {};
//   TEST_F(MyTest, ClearsRed) {
//       glClearColor(1, 0, 0, 1);
//       glClear(GL_COLOR_BUFFER_BIT);
//       EXPECT_EQ(readPixel(0, 0), (Vantor::test::RGBA{255, 0, 0, 255}));
//   }
//   class WideTest : public Vantor::test::GLFixture {
//   protected:
//       WideTest() : GLFixture(256, 32) {}
//   };
#pragma once

#include "Core/platform/Window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace Vantor::test {

struct RGBA {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
};
inline bool operator==(const RGBA& p, const RGBA& q) {
    return p.r == q.r && p.g == q.g && p.b == q.b && p.a == q.a;
}
inline bool operator!=(const RGBA& p, const RGBA& q) { return !(p == q); }
std::ostream& operator<<(std::ostream& out, const RGBA& pixel);

struct RecordedBox {
    std::string text;
    std::string caption;
    unsigned type = 0;
    int answer = 0;
};

class GLFixture : public ::testing::Test {
public:
    static constexpr int defaultSize = 64;

    // The shared window; null when it could not be opened.
    static platform::Window* window();
    // The pixel at (x, y) of the read buffer, in GL window coordinates (origin
    // at the bottom-left).
    static RGBA readPixel(int x, int y);
    // The boxes answered since the test began, oldest first.
    static const std::vector<RecordedBox>& messageBoxes();
    // The answer to the following boxes of this test; 0 restores the default.
    static void answerMessageBoxesWith(int answer);

protected:
    explicit GLFixture(int width = defaultSize, int height = defaultSize);
    void SetUp() override;

    int width() const { return clientWidth; }
    int height() const { return clientHeight; }

private:
    int clientWidth;
    int clientHeight;
};

} // namespace Vantor::test
