// The shared window lives in a GoogleTest environment, registered when this
// file is linked in (every test using GLFixture links it), so that it opens
// before the first test and closes before SDL shuts down at exit.
#include "GLFixture.h"

#include "Core/platform/MessageBox.h"

#include <GL/gl.h>

namespace Vantor::test {

namespace {

platform::Window* shared = nullptr;
std::string openError;
std::vector<RecordedBox> boxes;
int chosenAnswer = 0;

int answerBox(const char* text, const char* caption, unsigned type) {
    int answer = chosenAnswer;
    if (answer == 0)
        answer = (type & 0x0F) == platform::MB_YESNO ? platform::IDNO : platform::IDOK;
    boxes.push_back({text, caption, type, answer});
    return answer;
}

class SharedContext : public ::testing::Environment {
public:
    void SetUp() override {
        platform::WindowDescription description;
        description.title = "Vantor GL test";
        description.width = GLFixture::defaultSize;
        description.height = GLFixture::defaultSize;
        description.colourBits = 32;
        description.depthBits = 24;
        description.stencilBits = 8;
        description.hidden = true;
        shared = platform::createWindow(description);
        if (!shared)
            openError = platform::lastError();
    }
    void TearDown() override {
        platform::setMessageBoxResponder({});
        platform::destroyWindow(shared);
        shared = nullptr;
    }
};

// GoogleTest owns and deletes the environment.
[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new SharedContext);

} // namespace

std::ostream& operator<<(std::ostream& out, const RGBA& pixel) {
    return out << "RGBA(" << int(pixel.r) << ", " << int(pixel.g) << ", " << int(pixel.b) << ", "
               << int(pixel.a) << ")";
}

GLFixture::GLFixture(int width, int height) : clientWidth(width), clientHeight(height) {}

platform::Window* GLFixture::window() { return shared; }

RGBA GLFixture::readPixel(int x, int y) {
    GLubyte pixel[4] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    return {pixel[0], pixel[1], pixel[2], pixel[3]};
}

const std::vector<RecordedBox>& GLFixture::messageBoxes() { return boxes; }

void GLFixture::answerMessageBoxesWith(int answer) { chosenAnswer = answer; }

void GLFixture::SetUp() {
    boxes.clear();
    chosenAnswer = 0;
    platform::setMessageBoxResponder(answerBox);
    ASSERT_NE(shared, nullptr) << "the shared GL window could not be opened: " << openError;
    ASSERT_TRUE(platform::makeCurrent(shared)) << platform::lastError();

    int w = 0, h = 0;
    platform::getClientSize(shared, w, h);
    if (w != clientWidth || h != clientHeight) {
        platform::RECT outer;
        platform::getWindowRect(shared, outer);
        platform::setWindowPos(shared, outer.left, outer.top, clientWidth + (outer.right - outer.left - w),
                               clientHeight + (outer.bottom - outer.top - h));
        platform::getClientSize(shared, w, h);
        ASSERT_EQ(w, clientWidth);
        ASSERT_EQ(h, clientHeight);
        // Mesa takes a drawable's new size when it next validates its buffers:
        // after a swap.
        platform::swapBuffers(shared);
    }
    glViewport(0, 0, w, h);
    glDrawBuffer(GL_BACK);
    glReadBuffer(GL_BACK);
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

} // namespace Vantor::test
