// The city scene's plain parts: options read from the configuration, the
// collision map lookup and the walk collision with its slide, and the layout
// and commands of the two menus.
#include "AppOptions.h"
#include "MainGM.h"
#include "MainMenu.h"

#include "Core/Singleton.h"
#include "Core/WinAppFramework/App.h"
#include "Core/WinAppFramework/GLWindow.h"
#include "modules/gui/GUI.h"
#include "modules/xml/XMLFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace Vantor;

namespace {

XMLFile parsed(const std::string& text) {
    XMLFile file;
    file.parse(String(text.c_str()), "test");
    return file;
}

TEST(AppOptionsTest, KeysTakeTheirDefaultsWhenMissing) {
    struct Case {
        const char* xml;
        bool occlusionCulling, displayFPS, fog, renderBuildings;
        float nearClip, farClip;
    };
    const Case cases[] = {
        {"<appOptions/>", true, false, false, false, 50.0f, 20000.0f},
        {"<appOptions occlusionCulling=\"0\" displayFPS=\"1\" fog=\"2\" renderBuildings=\"1\" nearClip=\"10\" "
         "farClip=\"900.5\"/>",
         false, true, true, true, 10.0f, 900.5f},
        {"<appOptions occlusionCulling=\"abc\" displayFPS=\"false\" nearClip=\"x\"/>", true, false, false, false, 50.0f,
         20000.0f},
    };
    for (const Case& c : cases) {
        AppOptions options;
        options.read(parsed(c.xml));
        EXPECT_EQ(options.occlusionCulling, c.occlusionCulling) << c.xml;
        EXPECT_EQ(options.displayFPS, c.displayFPS) << c.xml;
        EXPECT_EQ(options.fog, c.fog) << c.xml;
        EXPECT_EQ(options.renderBuildings, c.renderBuildings) << c.xml;
        EXPECT_FLOAT_EQ(options.nearClip, c.nearClip) << c.xml;
        EXPECT_FLOAT_EQ(options.farClip, c.farClip) << c.xml;
    }
}

// A 40 x 40 map, 100 units a cell: a block of buildings from column 10 to 19
// and row 10 to 19 (world x 400..800, z -400..-800 around the cell corners).
class WalkCollision : public ::testing::Test {
protected:
    static constexpr int side = 40;
    void SetUp() override {
        mode.collisionMap.allocate(1, side, side);
        for (int i = 0; i < side * side; ++i)
            mode.collisionMap.data[i] = 0;
        for (int row = 10; row < 20; ++row)
            for (int column = 10; column < 20; ++column)
                mode.collisionMap.data[row * side + column] = 255;
    }
    // Walks from `from` to `to` in one frame and returns where the camera ends.
    Vector3 walk(const Vector3& from, const Vector3& to) {
        mode.previousWalkPosition = from;
        mode.walkCamera.position = to;
        mode.collideWalk();
        return mode.walkCamera.position;
    }
    MainGM mode;
};

TEST_F(WalkCollision, TheMapCoversFourThousandUnitsFromTheOrigin) {
    // Column = trunc(x / 100 + 0.5), row = trunc(0.5 - z / 100).
    EXPECT_TRUE(mode.isBlocked(1000, -1000));
    EXPECT_TRUE(mode.isBlocked(950, -950));
    EXPECT_FALSE(mode.isBlocked(949, -1000)) << "column 9";
    EXPECT_TRUE(mode.isBlocked(1949, -1949));
    EXPECT_FALSE(mode.isBlocked(1950, -1000)) << "column 20";
    EXPECT_FALSE(mode.isBlocked(1000, 100)) << "rows above the map are free";
    EXPECT_FALSE(mode.isBlocked(-600, -1000)) << "columns left of the map are free";
}

TEST_F(WalkCollision, StopsAtBuildingsSlidesAlongThemAndClampsTheRest) {
    // Free targets only get clamped to the walkable area.
    EXPECT_EQ(walk({100, 170, -100}, {120, 170, -100}).x, 120.0f);
    const Vector3 far = walk({5000, 170, 0}, {6000, 170, 500});
    EXPECT_FLOAT_EQ(far.x, MainGM::walkMaxX);
    EXPECT_FLOAT_EQ(far.z, MainGM::walkMaxZ);

    // Diagonally into the block's left face: the camera slides down along it
    // to the free corner nearest the wanted point, keeping its height.
    const Vector3 slid = walk({900, 170, -1200}, {1100, 171, -1300});
    EXPECT_FALSE(mode.isBlocked(slid.x, slid.z));
    EXPECT_FLOAT_EQ(slid.y, 171.0f);
    EXPECT_LT(slid.x, 950.0f);
    EXPECT_LT(slid.z, -1200.0f) << "it moved along the wall towards the target";

    // Straight into the wall: it ends on a free point before the wall.
    const Vector3 start(900, 170, -1500);
    const Vector3 blocked = walk(start, {1300, 170, -1500});
    EXPECT_FALSE(mode.isBlocked(blocked.x, blocked.z));
    EXPECT_LE(blocked.x, 950.0f);

    // One contact however many frames push into the wall; a free step ends it.
    EXPECT_TRUE(mode.walkBlocked);
    walk(blocked, {1300, 170, -1500});
    EXPECT_TRUE(mode.walkBlocked);
    walk(blocked, {blocked.x - 10, 170, -1500});
    EXPECT_FALSE(mode.walkBlocked);
}

TEST_F(WalkCollision, AWalkIntoACornerKeepsThePreviousPosition) {
    // A pocket: the camera stands in cell (5, 5), walled in on every side.
    for (int row = 4; row <= 6; ++row)
        for (int column = 4; column <= 6; ++column)
            if (row != 5 || column != 5)
                mode.collisionMap.data[row * side + column] = 255;
    const Vector3 start(500, 170, -500);
    const Vector3 end = walk(start, {620, 170, -500});
    EXPECT_EQ(end.x, start.x);
    EXPECT_EQ(end.z, start.z);
}

class Menus : public ::testing::Test {
protected:
    void SetUp() override {
        destroySingletons();
        GLWindow::getInstance()->width = 1024;
        GLWindow::getInstance()->height = 768;
    }
    void TearDown() override { optionsMenu = nullptr; }
};

TEST_F(Menus, SitInTheMiddleOfTheWindowWithTheirButtonsStacked) {
    SPtr<MainMenu> menu = new MainMenu;
    GUI::getInstance()->show(menu);
    EXPECT_EQ(menu->absX, 212.0f);
    EXPECT_EQ(menu->absY, 84.0f);
    EXPECT_EQ(menu->width, 600.0f);
    EXPECT_EQ(menu->children.size, 2u);

    ASSERT_TRUE(optionsMenu);
    GUI::getInstance()->show(optionsMenu);
    EXPECT_EQ(optionsMenu->absX, 312.0f);
    EXPECT_EQ(optionsMenu->absY, 184.0f);
    ASSERT_EQ(optionsMenu->children.size, 3u);
    const float expectedY[3] = {340, 288, 236};
    for (unsigned i = 0; i < 3; ++i) {
        const Component& button = *optionsMenu->children[i];
        EXPECT_EQ(button.y, expectedY[i]) << i;
        EXPECT_EQ(button.x, (400 - button.width) / 2) << i;
    }
    EXPECT_STREQ(optionsMenu->buttons[OptionsMenu::fullscreenSlot]->label->c_str(), "Fullscreen");
}

TEST_F(Menus, CommandsSwapTheMenusAndQuit) {
    SPtr<MainMenu> menu = new MainMenu;
    GUI* gui = GUI::getInstance();
    gui->show(menu);
    menu->onCommand(MainMenu::optionsCommand, nullptr, nullptr);
    EXPECT_EQ(gui->root->children.indexOf(SPtr<Component>(menu.get())), -1);
    EXPECT_GE(gui->root->children.indexOf(SPtr<Component>(optionsMenu.get())), 0);
    optionsMenu->onCommand(OptionsMenu::backCommand, nullptr, nullptr);
    EXPECT_GE(gui->root->children.indexOf(SPtr<Component>(menu.get())), 0);
    EXPECT_EQ(gui->root->children.indexOf(SPtr<Component>(optionsMenu.get())), -1);

    // Without multisampling the antialiasing button changes nothing and says so.
    AppOptions::getInstance()->antialiasing = false;
    optionsMenu->onCommand(OptionsMenu::antialiasingCommand, nullptr, nullptr);
    EXPECT_FALSE(AppOptions::getInstance()->antialiasing);
    EXPECT_STREQ(optionsMenu->buttons[OptionsMenu::antialiasingSlot]->label->c_str(), "Antialiasing unsupported");
}

} // namespace

TEST(AppOptionsTest, RenderFlagsSwitchTheModelGroupsByFolder) {
    const struct {
        const char* file;
        ModelGroup group;
    } table[] = {
        {"models\\buildings\\tall.v3d", ModelGroup::buildings},
        {"Models\\Buildings\\low.v3d", ModelGroup::buildings},
        {"models/pedestrians/pedestrian03.v3d", ModelGroup::pedestrians},
        {"models\\birds\\bird00.v3d", ModelGroup::birds},
        {"models\\cars\\car11.v3d", ModelGroup::cars},
        {"models\\ground.v3d", ModelGroup::other},
        {"models\\carsales.v3d", ModelGroup::other},
        {"", ModelGroup::other},
        {nullptr, ModelGroup::other},
    };
    AppOptions options;
    options.renderBuildings = options.renderPedestrians = options.renderBirds = options.renderCars = false;
    for (const auto& row : table) {
        EXPECT_EQ(modelGroupOf(row.file), row.group) << (row.file ? row.file : "null");
        EXPECT_EQ(options.shows(row.group), row.group == ModelGroup::other);
    }
    options.renderCars = true;
    EXPECT_TRUE(options.shows(ModelGroup::cars));
    EXPECT_FALSE(options.shows(ModelGroup::birds));
}
