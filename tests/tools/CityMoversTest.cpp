// The city's moving models: every car, pedestrian and bird file writes and
// parses back whole, with closed outward meshes and a motion that ends where
// it starts; cars keep to the right-hand lane of the asphalt, pedestrians to
// the pavements and birds above the roofs; the skinned meshes bind four
// influences summing to one and follow their bones through the walk and the
// wing beat; and enough of each kind passes the walking camera's start.
#include "city/CityMovers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

using namespace Vantor;
namespace city = Vantor::tools::city;

namespace {

enum class Kind { car, pedestrian, bird };

struct Mover {
    Kind kind;
    city::MoverModel model;
};

const std::vector<city::Building>& plan() {
    static const std::vector<city::Building> buildings = city::layoutCity();
    return buildings;
}

std::vector<Mover> buildMovers() {
    std::vector<Mover> all;
    for (city::MoverModel& m : city::carModels())
        all.push_back({Kind::car, m});
    for (city::MoverModel& m : city::pedestrianModels())
        all.push_back({Kind::pedestrian, m});
    for (city::MoverModel& m : city::birdModels(plan()))
        all.push_back({Kind::bird, m});
    return all;
}

const std::vector<Mover>& movers() {
    static const std::vector<Mover> all = buildMovers();
    return all;
}

// A model written by the V3D writer and read back by the loader's parse, in
// its bind pose.
struct Loaded {
    ByteWriter file;
    Model model;
    V3DContent content;
    bool parsed = false;
};

std::unique_ptr<Loaded> load(const V3DContent& content) {
    auto loaded = std::make_unique<Loaded>();
    writeV3D(content, loaded->file);
    ByteReader reader(loaded->file.bytes.data + kV3DSignatureLength,
                      loaded->file.bytes.size - unsigned(kV3DSignatureLength));
    loaded->parsed = loaded->model.parse(reader, 0, loaded->content);
    EXPECT_TRUE(loaded->parsed) << reader.faultText().c_str();
    EXPECT_EQ(reader.remaining(), 0u);
    for (Mesh& root : loaded->model.roots)
        root.computeBindPose(Matrix4());
    return loaded;
}

const MotionTrack& trackOf(const Motion& motion, int meshId) {
    for (const MotionTrack& track : motion.tracks)
        if (track.meshId == meshId)
            return track;
    ADD_FAILURE() << "no track for mesh " << meshId;
    return motion.tracks[0];
}

const Mesh* meshNamed(const Model& model, const char* name) {
    for (const Mesh* mesh : model.meshes)
        if (mesh->name == name)
            return mesh;
    return nullptr;
}

const Mesh* skinnedMesh(const Model& model) {
    for (const Mesh* mesh : model.meshes)
        if (mesh->flags & kMeshSkinned)
            return mesh;
    return nullptr;
}

Vector3 forwardOf(const Key& key) {
    const Matrix4 m = key.toMatrix();
    return Vector3(m.m[8], m.m[9], m.m[10]);
}

// Distance to the nearest street centre line across a coordinate.
float fromLine(float v) {
    const float r = std::fmod(std::fabs(v), city::kBlockPeriod);
    return std::min(r, city::kBlockPeriod - r);
}

// Poses the model at a frame of its motion and skins its meshes on the CPU.
void poseAt(Loaded& loaded, int frame) {
    loaded.model.motions[0].apply(loaded.model, float(frame), false);
    loaded.model.skin();
}

// Every edge (corners welded by position) is walked once each way, and each
// connected piece encloses a positive volume: closed, counter-clockwise seen
// from outside.
void expectClosedOutward(const Mesh& mesh) {
    std::map<std::tuple<float, float, float>, int> welded;
    std::vector<int> parent;
    auto id = [&](int v) {
        const Vector3& p = mesh.vertices[unsigned(v)].position;
        const auto found = welded.emplace(std::make_tuple(p.x, p.y, p.z), int(welded.size()));
        if (found.second)
            parent.push_back(found.first->second);
        return found.first->second;
    };
    auto root = [&parent](int i) {
        while (parent[size_t(i)] != i)
            i = parent[size_t(i)];
        return i;
    };
    std::map<std::pair<int, int>, int> edges;
    for (const Triangle& t : mesh.triangles) {
        const int c[3] = {id(t.v[0]), id(t.v[1]), id(t.v[2])};
        for (int k = 0; k < 3; ++k) {
            ++edges[{c[k], c[(k + 1) % 3]}];
            parent[size_t(root(c[k]))] = root(c[(k + 1) % 3]);
        }
    }
    for (const auto& [edge, count] : edges) {
        ASSERT_EQ(count, 1) << "an edge walked twice the same way";
        ASSERT_EQ(edges.count({edge.second, edge.first}), 1u) << "an open edge";
    }
    std::map<int, double> volume;
    for (const Triangle& t : mesh.triangles) {
        const Vector3& a = mesh.vertices[unsigned(t.v[0])].position;
        volume[root(id(t.v[0]))] += dot(a, cross(mesh.vertices[unsigned(t.v[1])].position,
                                                 mesh.vertices[unsigned(t.v[2])].position)) / 6.0;
    }
    for (const auto& piece : volume)
        EXPECT_GT(piece.second, 0.0) << "a piece turned inside out";
}

bool sameKey(const Key& a, const Key& b) {
    return a.rotation.w == b.rotation.w && a.rotation.x == b.rotation.x && a.rotation.y == b.rotation.y &&
           a.rotation.z == b.rotation.z && a.translation.x == b.translation.x &&
           a.translation.y == b.translation.y && a.translation.z == b.translation.z;
}

void checkIds(const ArrayList<Mesh>& meshes, int& next, std::set<std::string>& names) {
    for (const Mesh& mesh : meshes) {
        EXPECT_EQ(mesh.id, next++) << "ids follow the file order";
        EXPECT_TRUE(names.insert(mesh.name.c_str()).second) << mesh.name.c_str() << " twice";
        checkIds(mesh.children, next, names);
    }
}

TEST(CityMovers, EveryModelWritesAndParsesBackWholeAndLoops) {
    const std::vector<Mover> again = buildMovers();
    ASSERT_EQ(movers().size(), size_t(city::kCarCount + city::kPedestrianCount + city::kBirdCount));
    std::set<std::string> paths, materials;
    for (size_t i = 0; i < movers().size(); ++i) {
        const Mover& mover = movers()[i];
        SCOPED_TRACE(mover.model.path);
        const char* folder = mover.kind == Kind::car          ? city::kCarFolder
                             : mover.kind == Kind::pedestrian ? city::kPedestrianFolder
                                                              : city::kBirdFolder;
        EXPECT_EQ(mover.model.path.rfind(folder, 0), 0u);
        EXPECT_TRUE(paths.insert(mover.model.path).second);
        const auto loaded = load(mover.model.content);
        ASSERT_TRUE(loaded->parsed);
        EXPECT_LE(loaded->file.bytes.size, 330u * 1024u);
        const auto second = load(again[i].model.content);
        EXPECT_TRUE(second->file.bytes.size == loaded->file.bytes.size &&
                    std::equal(loaded->file.bytes.begin(), loaded->file.bytes.end(), second->file.bytes.begin()))
            << "a second run writes other bytes";

        const V3DContent& content = loaded->content;
        ASSERT_EQ(content.materials.size, 1u);
        EXPECT_TRUE(materials.insert(content.materials[0].name.c_str()).second) << "material name taken";
        ASSERT_EQ(content.textures.size, 1u);
        EXPECT_EQ(content.textures[0].width, 32);
        EXPECT_EQ(content.textures[0].height, 32);
        EXPECT_EQ(content.textures[0].channels, 3);

        int next = 0;
        std::set<std::string> names;
        checkIds(loaded->model.roots, next, names);
        ASSERT_EQ(unsigned(next), loaded->model.meshes.size);
        int visibleMeshes = 0;
        for (const Mesh* mesh : loaded->model.meshes) {
            SCOPED_TRACE(mesh->name.c_str());
            if (!mesh->visible) {
                EXPECT_EQ(mesh->vertices.size, 0u);
                EXPECT_EQ(mesh->materialIndex, -1);
                continue;
            }
            ++visibleMeshes;
            EXPECT_EQ(mesh->materialIndex, 0);
            EXPECT_EQ(mesh->flags & (kMeshHasTexCoords | kMeshLitPerLight), kMeshHasTexCoords | kMeshLitPerLight);
            const bool body = mover.kind == Kind::car && mesh->id == 0;
            EXPECT_EQ((mesh->flags & kMeshCastsShadows) != 0, body);
            EXPECT_EQ((mesh->flags & kMeshSkinned) != 0, mover.kind != Kind::car);
            for (const Vertex& v : mesh->vertices) {
                EXPECT_NEAR(v.normal.length(), 1.0f, 1e-4f);
                for (int axis = 0; axis < 3; ++axis) {
                    EXPECT_GE((&v.position.x)[axis], (&mesh->boxMin.x)[axis]);
                    EXPECT_LE((&v.position.x)[axis], (&mesh->boxMax.x)[axis]);
                }
                EXPECT_TRUE(v.u > 0 && v.u < 1 && v.v > 0 && v.v < 1);
            }
            for (const Triangle& t : mesh->triangles) {
                const Vector3& a = mesh->vertices[unsigned(t.v[0])].position;
                const Vector3 wound = cross(mesh->vertices[unsigned(t.v[1])].position - a,
                                            mesh->vertices[unsigned(t.v[2])].position - a);
                EXPECT_GT(dot(wound, t.normal), 0.0f);
                EXPECT_NEAR(t.normal.length(), 1.0f, 1e-4f);
            }
            expectClosedOutward(*mesh);
        }
        EXPECT_EQ(visibleMeshes, mover.kind == Kind::car ? 5 : 1);

        // One motion; every track on its own mesh, one key per frame, the
        // last key the first.
        ASSERT_EQ(loaded->model.motions.size, 1u);
        const Motion& motion = loaded->model.motions[0];
        std::set<int> tracked;
        for (const MotionTrack& track : motion.tracks) {
            EXPECT_TRUE(tracked.insert(track.meshId).second);
            ASSERT_LT(unsigned(track.meshId), loaded->model.meshes.size);
            ASSERT_EQ(int(track.keys.size), motion.frameCount);
            EXPECT_TRUE(sameKey(track.keys[0], track.keys[track.keys.size - 1]))
                << "mesh " << track.meshId << " jumps at the loop";
            for (const Key& key : track.keys)
                EXPECT_NEAR(key.rotation.length(), 1.0f, 1e-4f);
        }
        EXPECT_TRUE(tracked.count(0)) << "the root moves";
        EXPECT_GT(motion.frameCount, 8 * city::kMoverFramesPerSecond);
    }
}

TEST(CityMovers, CarsDriveTheRightHandLaneOfTheAsphalt) {
    for (const Mover& mover : movers()) {
        if (mover.kind != Kind::car)
            continue;
        SCOPED_TRACE(mover.model.path);
        const MotionTrack& drive = trackOf(mover.model.content.motions[0], 0);
        for (unsigned k = 0; k + 1 < drive.keys.size; ++k) {
            const Vector3 p = drive.keys[k].translation, f = forwardOf(drive.keys[k]);
            ASSERT_TRUE(p.x >= -200 && p.x <= 4200 && p.z >= -4200 && p.z <= 200 && p.y == 0) << k;
            const Vector3 step = drive.keys[k + 1].translation - p;
            const float speed = step.length() * float(city::kMoverFramesPerSecond);
            ASSERT_TRUE(speed >= 250 && speed <= 350) << k << ": " << speed;
            ASSERT_GT(dot(f, step * (1 / step.length())), 0.99f) << k << ": facing its way";
            // The whole car on the asphalt across the street it drives along.
            const bool alongZ = std::fabs(f.z) >= std::fabs(f.x);
            const float across = alongZ ? p.x : p.z;
            ASSERT_LE(fromLine(across), city::kStreetHalfWidth - city::kCarWidth / 2) << k;
            // Straight on: on the lane centre, with the centre line on its left.
            if (std::max(std::fabs(f.x), std::fabs(f.z)) > 0.9999f) {
                const float line = std::round(across / city::kBlockPeriod) * city::kBlockPeriod;
                const float left = alongZ ? f.z : -f.x;
                ASSERT_NEAR(std::fabs(line - across), city::kLaneOffset, 0.01f) << k;
                ASSERT_GT((line - across) * left, 0.0f) << k << ": keeps right";
            }
        }
    }
}

TEST(CityMovers, PedestriansWalkThePavementsWithTheirLegsInStep) {
    for (const Mover& mover : movers()) {
        if (mover.kind != Kind::pedestrian)
            continue;
        SCOPED_TRACE(mover.model.path);
        const auto loaded = load(mover.model.content);
        Model& model = loaded->model;
        const Mesh* hips = model.roots[0].name == "hips" ? &model.roots[0] : nullptr;
        ASSERT_NE(hips, nullptr);
        const MotionTrack& walk = trackOf(model.motions[0], hips->id);
        ASSERT_EQ((walk.keys.size - 1) % unsigned(city::kWalkCycleFrames), 0u) << "whole walk cycles";
        const float seconds = float(walk.keys.size - 1) / float(city::kMoverFramesPerSecond);
        EXPECT_TRUE(seconds >= 20 && seconds <= 60) << seconds;
        for (unsigned k = 0; k + 1 < walk.keys.size; ++k) {
            const Vector3 p = walk.keys[k].translation, f = forwardOf(walk.keys[k]);
            const float dx = fromLine(p.x), dz = fromLine(p.z);
            ASSERT_TRUE((dx >= 80 && dx <= 130 && dz >= 80) || (dz >= 80 && dz <= 130 && dx >= 80))
                << k << ": off the pavement at " << p.x << ", " << p.z;
            // Walking along a street (not turning round): within the
            // pavement across it.
            const Vector3 later = forwardOf(walk.keys[(k + 10) % (walk.keys.size - 1)]);
            const bool alongZ = std::fabs(f.z) > 0.985f && std::fabs(later.z) > 0.985f;
            const bool alongX = std::fabs(f.x) > 0.985f && std::fabs(later.x) > 0.985f;
            EXPECT_TRUE(!alongZ || (dx >= 80 && dx <= 130)) << k;
            EXPECT_TRUE(!alongX || (dz >= 80 && dz <= 130)) << k;
            Vector3 step = walk.keys[k + 1].translation - p;
            step.y = 0;
            const float speed = step.length() * float(city::kMoverFramesPerSecond);
            ASSERT_TRUE(speed >= 34 && speed <= 45) << k << ": " << speed;
            ASSERT_GT(dot(f, step * (1 / step.length())), 0.95f) << k << ": facing its way";
        }

        // The ankles relative to the hips through one cycle: they swing to
        // and fro, move between frames a quarter cycle apart, the right one
        // half a cycle behind the left, and come back a cycle later. The
        // skinned figure keeps its feet on the ground.
        const Mesh* leftShin = meshNamed(model, "leftShin");
        const Mesh* rightShin = meshNamed(model, "rightShin");
        const Mesh* figure = skinnedMesh(model);
        ASSERT_TRUE(leftShin && rightShin && figure);
        auto ankle = [&](const Mesh* shin) {
            Matrix4 toHips = hips->world;
            toHips.inverse();
            Vector3 point(0, -10, 0);
            (toHips * shin->world).transformPoint(point);
            return point;
        };
        const int cycle = city::kWalkCycleFrames;
        std::vector<Vector3> left, right;
        float back = 1e9f, front = -1e9f;
        for (int frame = 0; frame <= cycle; ++frame) {
            poseAt(*loaded, frame);
            left.push_back(ankle(leftShin));
            right.push_back(ankle(rightShin));
            back = std::min(back, left.back().z);
            front = std::max(front, left.back().z);
            float low = 1e9f, high = -1e9f, reach = 0;
            for (const Vertex& v : figure->vertices) {
                low = std::min(low, v.position.y);
                high = std::max(high, v.position.y);
                reach = std::max(reach, std::hypot(v.position.x - hips->world.m[12], v.position.z - hips->world.m[14]));
            }
            EXPECT_NEAR(low, 0.0f, 1.5f) << frame;
            EXPECT_NEAR(high, city::kPersonHeight, 2.5f) << frame;
            EXPECT_LT(reach, 16.0f) << frame;
        }
        EXPECT_GT(front - back, 12.0f) << "the stride";
        EXPECT_LT((left[size_t(cycle)] - left[0]).length(), 1e-3f);
        for (int f = 0; f < cycle; ++f) {
            EXPECT_GT((left[size_t((f + cycle / 4) % cycle)] - left[size_t(f)]).length(), 0.25f) << f;
            const Vector3& other = right[size_t((f + cycle / 2) % cycle)];
            EXPECT_LT((Vector3(-other.x, other.y, other.z) - left[size_t(f)]).length(), 1e-3f) << f;
        }
    }
}

TEST(CityMovers, SkinnedMeshesBlendFourBonesAtTheJoints) {
    for (const Mover& mover : movers()) {
        if (mover.kind == Kind::car)
            continue;
        SCOPED_TRACE(mover.model.path);
        const auto loaded = load(mover.model.content);
        const Mesh* skin = skinnedMesh(loaded->model);
        ASSERT_NE(skin, nullptr);
        std::vector<int> references(skin->vertices.size, 0);
        std::map<int, int> fullyOn;
        int blended = 0;
        for (const SkinVertex& sv : skin->fileSkinVertices) {
            ASSERT_EQ(sv.influences.size, 4u);
            float sum = 0;
            int bones = 0;
            for (const SkinVertexBone& influence : sv.influences) {
                const Mesh* bone = loaded->model.meshes[unsigned(influence.bone)];
                EXPECT_FALSE(bone->visible) << "influenced by " << bone->name.c_str();
                EXPECT_TRUE(influence.weight >= 0 && influence.weight <= 1);
                sum += influence.weight;
                bones += influence.weight > 0;
                if (influence.weight == 1)
                    ++fullyOn[influence.bone];
            }
            EXPECT_NEAR(sum, 1.0f, 1e-5f);
            blended += bones > 1;
            for (int ref : sv.vertexRefs)
                ++references[size_t(ref)];
        }
        for (int count : references)
            ASSERT_EQ(count, 1) << "every vertex takes one skin vertex";
        EXPECT_GE(blended, 8);
        // Every bone that moves carries vertices of its own.
        for (const MotionTrack& track : loaded->model.motions[0].tracks)
            EXPECT_GT(fullyOn[track.meshId], 0) << loaded->model.meshes[unsigned(track.meshId)]->name.c_str();

        const float height = skin->boxMax.y - skin->boxMin.y, span = skin->boxMax.x - skin->boxMin.x;
        if (mover.kind == Kind::pedestrian) {
            EXPECT_TRUE(skin->triangles.size >= 150 && skin->triangles.size <= 400) << skin->triangles.size;
            EXPECT_NEAR(skin->boxMin.y, 0.0f, 1e-4f);
            EXPECT_NEAR(height, city::kPersonHeight, 0.5f);
        } else {
            EXPECT_TRUE(span >= 40 && span <= 60) << span;
        }
    }
}

TEST(CityMovers, BirdsCircleAboveTheRoofsBeatingTheirWings) {
    for (const Mover& mover : movers()) {
        if (mover.kind != Kind::bird)
            continue;
        SCOPED_TRACE(mover.model.path);
        const auto loaded = load(mover.model.content);
        const MotionTrack& flight = trackOf(loaded->model.motions[0], 0);
        const unsigned frames = flight.keys.size - 1;
        const float seconds = float(frames) / float(city::kMoverFramesPerSecond);
        EXPECT_TRUE(seconds >= 8 && seconds <= 20) << seconds;
        Vector3 centre;
        for (unsigned k = 0; k < frames; ++k)
            centre += flight.keys[k].translation * (1.0f / float(frames));
        for (unsigned k = 0; k < frames; ++k) {
            const Vector3 p = flight.keys[k].translation;
            ASSERT_GE(p.y, city::roofHeightNear(plan(), p.x, p.z, 100) + 100) << k;
            const float radius = std::hypot(p.x - centre.x, p.z - centre.z);
            ASSERT_TRUE(radius >= 200 && radius <= 500) << k << ": " << radius;
        }

        // The wing tips, skinned, rise and fall against the body.
        const Mesh* skin = skinnedMesh(loaded->model);
        ASSERT_NE(skin, nullptr);
        unsigned tip = 0;
        for (unsigned v = 0; v < skin->bindVertices.size; ++v)
            if (skin->bindVertices[v].position.x > skin->bindVertices[tip].position.x)
                tip = v;
        float low = 1e9f, high = -1e9f;
        for (unsigned k = 0; k < frames && k < 30; ++k) {
            poseAt(*loaded, int(k));
            Matrix4 toBody = loaded->model.roots[0].world;
            toBody.inverse();
            Vector3 p = skin->vertices[tip].position;
            toBody.transformPoint(p);
            low = std::min(low, p.y);
            high = std::max(high, p.y);
        }
        EXPECT_GT(high - low, 15.0f);
    }
}

TEST(CityMovers, EachKindPassesTheWalkingCamerasStart) {
    int cars = 0, pedestrians = 0, birds = 0;
    for (const Mover& mover : movers()) {
        const MotionTrack& root = trackOf(mover.model.content.motions[0], 0);
        Vector3 centre;
        bool passes = false;
        for (const Key& key : root.keys) {
            const Vector3& p = key.translation;
            centre += p * (1.0f / float(root.keys.size));
            const float across = std::fabs(p.x - city::kWalkStartX);
            const bool inStretch = p.z <= -800 && p.z >= -2400;
            if (mover.kind == Kind::car)
                passes = passes || (inStretch && across < city::kStreetHalfWidth);
            else
                passes = passes || (inStretch && across >= 80 && across <= 130);
        }
        if (mover.kind == Kind::bird)
            birds += centre.z <= -1500 && centre.z >= -3500 && centre.x >= 800 && centre.x <= 2400;
        else
            (mover.kind == Kind::car ? cars : pedestrians) += passes;
    }
    EXPECT_GE(cars, 3);
    EXPECT_GE(pedestrians, 6);
    EXPECT_GE(birds, 3);
}

} // namespace
