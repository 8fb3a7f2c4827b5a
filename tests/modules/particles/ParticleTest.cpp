// Particles without GL: the physics step, a system's storage and removal of
// dead particles, the manager's listing, animate phase and default system,
// and the drawing plan (gathering, draw order, glow passes).
#include "Core/Matrix4.h"
#include "Core/Singleton.h"
#include "Core/WinAppFramework/Camera.h"
#include "Core/WinAppFramework/Globals.h"
#include "Core/WinAppFramework/Plugin.h"
#include "modules/particles/ParticleManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace Vantor;

namespace {

constexpr float tolerance = 1e-4f;

void expectNear(const Vector3& actual, const Vector3& expected, const char* what) {
    EXPECT_NEAR(actual.x, expected.x, tolerance) << what;
    EXPECT_NEAR(actual.y, expected.y, tolerance) << what;
    EXPECT_NEAR(actual.z, expected.z, tolerance) << what;
}

// A particle tagged by its x position, so that tests can follow it around.
Particle tagged(float tag, float life = 1.0f) {
    Particle p;
    p.position.x = tag;
    p.life = life;
    return p;
}

std::vector<float> tagsOf(const ParticleSystem& s) {
    std::vector<float> tags;
    for (int i = 0; i < s.count; ++i)
        tags.push_back(s.particles[i].position.x);
    return tags;
}

} // namespace

TEST(ParticleUpdate, OneStepOfEachKindOfMotion) {
    struct Case {
        const char* what;
        Particle start;
        float dt;
        Vector3 position, velocity;
        float life, size;
    };
    std::vector<Case> cases;
    Particle p;
    p.gravity = true;
    cases.push_back({"gravity from rest: falls 49 in one 1-s step", p, 1, {0, -49, 0}, {0, -98, 0}, 1, 0});
    p = Particle();
    p.velocity = {2, 0, -4};
    cases.push_back({"no force moves by the velocity itself", p, 0.5f, {1, 0, -2}, {2, 0, -4}, 1, 0});
    p = Particle();
    p.accelerate = true;
    p.acceleration = {10, 0, 0};
    cases.push_back({"acceleration: moves by the average velocity", p, 1, {5, 0, 0}, {10, 0, 0}, 1, 0});
    p = Particle();
    p.drag = 0.25f;
    p.velocity = {8, 0, 0};
    cases.push_back({"drag scales the velocity by drag^dt, averaged", p, 0.5f, {3, 0, 0}, {4, 0, 0}, 1, 0});
    p = Particle();
    p.orbit = true;
    p.orbitRadius = 10;
    p.orbitCentreX = 5;
    cases.push_back({"orbit radius 10, angle 0: radius along +z", p, 1, {5, 0, 10}, {0, 0, 0}, 1, 0});
    p.orbitRadiusSpeed = 2;
    p.orbitAngularSpeed = 90;
    p.orbitCentreZ = 7;
    p.velocity = {0, 3, 1};
    cases.push_back({"orbit turns, widens, moves by velocity", p, 1, {17, 3, 8}, {0, 3, 1}, 1, 0});
    p = Particle();
    p.size = 2;
    p.sizeGrowth = 3;
    p.lifeDecay = 0.5f;
    cases.push_back({"sizeGrowth adds per second, lifeDecay takes per second", p, 0.5f, {}, {}, 0.75f, 3.5f});
    p.sizeGrowth = -3;
    p.lifeDecay = -1;
    cases.push_back({"shrinking and negative decay do nothing", p, 1, {}, {}, 1, 2});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Particle moved = c.start;
        moved.update(c.dt);
        expectNear(moved.position, c.position, "position");
        expectNear(moved.velocity, c.velocity, "velocity");
        EXPECT_NEAR(moved.life, c.life, tolerance);
        EXPECT_NEAR(moved.size, c.size, tolerance);
    }
}

TEST(ParticleUpdate, AccelerationDecaysAndOrbitAngleWraps) {
    Particle p;
    p.accelerate = true;
    p.acceleration = {10, 0, 0};
    p.orbit = true;
    p.orbitAngle = 170;
    p.orbitAngularSpeed = 20;
    p.update(1.0f);
    EXPECT_NEAR(p.acceleration.x, 9.99f, tolerance);
    EXPECT_NEAR(p.orbitAngle, -170.0f, tolerance);
}

TEST(ParticleSystemStorage, AddStopsAtCapacityAndRemoveDeadSwapsInTheLastLiveParticle) {
    ParticleSystem* s = new ParticleSystem;
    s->init(4);
    ASSERT_EQ(s->capacity, 4);
    const float lives[] = {0, 1, 1, -1};
    for (int i = 0; i < 4; ++i) {
        Particle* stored = s->add(tagged(float(i), lives[i]));
        ASSERT_EQ(stored, &s->particles[i]);
    }
    EXPECT_EQ(s->add(tagged(9)), nullptr);
    EXPECT_EQ(s->count, 4);

    // The dead last particle moves into slot 0 and is only looked at next time.
    s->removeDead();
    EXPECT_EQ(tagsOf(*s), (std::vector<float>{3, 1, 2}));
    s->removeDead();
    EXPECT_EQ(tagsOf(*s), (std::vector<float>{2, 1}));
    EXPECT_NE(s->add(tagged(5)), nullptr);
    delete s;
}

namespace {

// Every test starts with no manager and no plug-ins.
class Particles : public ::testing::Test {
protected:
    void SetUp() override {
        destroySingletons();
        currentCamera = nullptr;
        manager = ParticleManager::getInstance();
    }
    void TearDown() override {
        destroySingletons();
        frameDelta = 1.0;
    }

    ParticleManager* manager = nullptr;
};

} // namespace

TEST_F(Particles, ManagerIsAPluginInAnimateAndRenderDrawingAtPriority5) {
    const auto& phases = PluginManager::getInstance()->phases;
    EXPECT_EQ(std::count(phases[2].begin(), phases[2].end(), manager), 1);
    EXPECT_EQ(std::count(phases[3].begin(), phases[3].end(), manager), 1);
    EXPECT_EQ(manager->phaseMask, kPhaseAnimate | kPhaseRender);
    EXPECT_EQ(manager->priority[3], 5);
    EXPECT_EQ(manager->priority[2], 0);
}

TEST_F(Particles, DefaultSystemHolds1024AndIsNeverDropped) {
    EXPECT_EQ(manager->defaultSystem, nullptr);
    for (int i = 0; i < kDefaultSystemCapacity; ++i)
        ASSERT_NE(manager->addParticle(tagged(float(i))), nullptr) << i;
    EXPECT_EQ(manager->addParticle(tagged(-1)), nullptr);
    ParticleSystem* d = manager->defaultSystem;
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->capacity, 1024);
    EXPECT_TRUE(d->registered);
    EXPECT_FALSE(d->autoRemove);
    EXPECT_TRUE(d->keepAlive);

    // All die. Each walk removes every other one (the dead last particle moved
    // into a dead one's place waits for the next walk); the empty default
    // system stays listed.
    for (int i = 0; i < d->count; ++i)
        d->particles[i].life = 0;
    manager->animate();
    EXPECT_EQ(d->count, 512);
    for (int frame = 0; frame < 10; ++frame)
        manager->animate();
    EXPECT_EQ(d->count, 0);
    EXPECT_TRUE(d->registered);
    EXPECT_EQ(manager->systemCount, 1);
}

TEST_F(Particles, LifeDecayHalfDiesInTheSecondFrameAndEmptySystemsAreUnlisted) {
    frameDelta = 1.0;
    ParticleSystem* fading = new ParticleSystem;
    fading->init(2);
    Particle p;
    p.lifeDecay = 0.5f;
    p.gravity = true;
    fading->add(p);
    ParticleSystem* kept = new ParticleSystem; // empty, keepAlive
    kept->keepAlive = true;
    ParticleSystem* manual = new ParticleSystem; // empty, autoRemove clear
    manual->autoRemove = false;
    ParticleSystem* empty = new ParticleSystem; // empty, dropped at once
    ASSERT_EQ(manager->systemCount, 4);

    manager->animate();
    EXPECT_EQ(fading->count, 1);
    EXPECT_NEAR(fading->particles[0].life, 0.5f, tolerance);
    EXPECT_FALSE(empty->registered);
    EXPECT_EQ(manager->systemCount, 3);

    // Life reaches 0 in this frame: the particle is still moved, then removed.
    manager->animate();
    EXPECT_EQ(fading->count, 0);
    EXPECT_NEAR(fading->particles[0].life, 0.0f, tolerance);
    EXPECT_NEAR(fading->particles[0].position.y, -49.0f - 147.0f, tolerance) << "moved in the second frame";
    EXPECT_FALSE(fading->registered);
    EXPECT_TRUE(kept->registered);
    EXPECT_TRUE(manual->registered);
    EXPECT_EQ(manager->systemCount, 2);

    // Unlisted systems belong to their owners; they may outlive the manager.
    delete empty;
    destroySingletons();
    EXPECT_FALSE(ParticleManager::exists());
    delete fading;
}

TEST_F(Particles, ListHoldsAtMost2048SystemsAndSystemsUnlistThemselves) {
    std::vector<ParticleSystem*> listed;
    for (int i = 0; i < kMaxParticleSystems; ++i)
        listed.push_back(new ParticleSystem);
    EXPECT_TRUE(listed.back()->registered);
    ParticleSystem* extra = new ParticleSystem;
    EXPECT_FALSE(extra->registered);
    EXPECT_EQ(manager->systemCount, kMaxParticleSystems);

    // The default system cannot be listed either, but still works and is freed.
    EXPECT_NE(manager->addParticle(tagged(1)), nullptr);
    EXPECT_FALSE(manager->defaultSystem->registered);

    delete extra;
    delete listed[5];
    EXPECT_EQ(manager->systemCount, kMaxParticleSystems - 1);
    EXPECT_EQ(std::count(manager->systems, manager->systems + manager->systemCount, listed[5]), 0);
    EXPECT_EQ(manager->systems[5], listed.back()) << "the last entry takes the place";
    // The rest are deleted by the manager.
}

TEST_F(Particles, GatheringFollowsListOrderAndStopsAt2048) {
    ParticleSystem* a = new ParticleSystem;
    ParticleSystem* b = new ParticleSystem;
    a->init(1500);
    b->init(1500);
    for (int i = 0; i < 1500; ++i) {
        a->add(tagged(float(i)));
        b->add(tagged(float(10000 + i)));
    }
    manager->gather();
    ASSERT_EQ(manager->gatheredCount, kMaxDrawnParticles);
    EXPECT_EQ(manager->gathered[0], &a->particles[0]);
    EXPECT_EQ(manager->gathered[1499], &a->particles[1499]);
    EXPECT_EQ(manager->gathered[1500], &b->particles[0]);
    EXPECT_EQ(manager->gathered[2047], &b->particles[547]);
}

TEST_F(Particles, DrawOrderIsReversedGatheringUnlessAlphaParticlesNeedBackToFront) {
    // Camera at the origin; identity looks down -z, yaw 90 looks down +x.
    FPSCamera yawed;
    yawed.rotation = {0, 90, 0};
    yawed.update();
    const Matrix4 identity;
    const struct {
        const char* what;
        const Matrix4* view;
        std::vector<Vector3> positions; // gathered in this order; tag is the index
        std::vector<int> blends;
        std::vector<float> expected; // tags in drawing order
    } cases[] = {
        {"additive only: reverse of gathering whatever the depth",
         &identity,
         {{0, 0, -10}, {0, 0, -300}, {0, 0, -50}},
         {0, 0, 0},
         {2, 1, 0}},
        {"one alpha particle: farthest first",
         &identity,
         {{0, 0, -10}, {0, 0, -300}, {0, 0, -50}},
         {0, 1, 0},
         {1, 2, 0}},
        {"behind the eye comes last",
         &identity,
         {{0, 0, 40}, {0, 0, -300}, {0, 0, -50}, {0, 0, -5}},
         {1, 1, 1, 1},
         {1, 2, 3, 0}},
        {"turned camera: +x is in front, -30 behind",
         &yawed.viewMatrix,
         {{10, 0, 0}, {50, 0, 0}, {0, 0, -200}, {-30, 0, 0}},
         {1, 0, 0, 0},
         {1, 0, 2, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ParticleSystem* s = new ParticleSystem;
        s->init(int(c.positions.size()));
        for (size_t i = 0; i < c.positions.size(); ++i) {
            Particle p;
            p.position = c.positions[i];
            p.blend = c.blends[i];
            p.colour[0] = float(i); // the tag; positions are the depths under test
            s->add(p);
        }
        ArrayList<ParticleQuad> quads;
        manager->planFrame(c.view->m, Vector3(), quads);
        std::vector<float> order;
        for (const ParticleQuad& q : quads)
            order.push_back(q.colour[0]);
        EXPECT_EQ(order, c.expected);
        delete s;
    }
}

TEST_F(Particles, SortKeyIsDepthInFrontOfTheEyeLessSize) {
    // Eye at (0, 0, 100) looking down -z: a point at z = 20 is 80 in front.
    const Matrix4 view = Matrix4::translation(0, 0, -100);
    EXPECT_NEAR(particleSortKey(view.m, Vector3(7, -3, 20), 5), 75.0f, tolerance);
}

TEST_F(Particles, GlowIsDrawnTwiceAtFortyPercentTheSecondNearerTheEye) {
    const Vector3 eye(0, 0, 100);
    const struct {
        const char* what;
        bool glow;
        float life;
        float colour[4];
        Vector3 position;
        unsigned passes;
        float factor;
        Vector3 second; // size 5 towards the eye
    } cases[] = {
        {"glow at full life", true, 1.0f, {1, 1, 1, 1}, {0, 0, 0}, 2, 0.4f, {0, 0, 5}},
        {"glow, half life, off axis", true, 0.5f, {1, 0.5f, 0.25f, 1}, {30, 0, 60}, 2, 0.2f, {27, 0, 64}},
        {"plain particle, colour times life", false, 0.5f, {1, 0.5f, 0.25f, 1}, {0, 0, 0}, 1, 0.5f, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Particle p;
        p.glow = c.glow;
        p.life = c.life;
        p.size = 5;
        p.position = c.position;
        std::copy(c.colour, c.colour + 4, p.colour);
        ArrayList<ParticleQuad> quads;
        appendParticlePasses(p, eye, quads);
        ASSERT_EQ(quads.size, c.passes);
        for (unsigned i = 0; i < quads.size; ++i) {
            for (int k = 0; k < 4; ++k)
                EXPECT_NEAR(quads[i].colour[k], c.factor * c.colour[k], tolerance) << "pass " << i;
            expectNear(quads[i].centre, i == 1 ? c.second : c.position, "centre");
            EXPECT_EQ(quads[i].size, 5.0f);
        }
    }
}
