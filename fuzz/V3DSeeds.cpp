// Writes the seed files of the V3D fuzz target with the V3D writer: the
// sample model with every record kind, variants without skinning, textures
// or motions, and one model of each kind the city generator makes (a tall
// and a low building, the ground, a car, a pedestrian, a bird) with their
// textures shrunk to 2 x 2 and their motions to a few keys, so the seeds stay
// small. Run as: v3d_seeds DIRECTORY
#include "../tests/modules/model/V3DSample.h"

#include "city/CityLayout.h"
#include "city/CityModels.h"
#include "city/CityMovers.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

bool writeSeed(const std::string& path, const Vantor::V3DContent& content) {
    const Vantor::ArrayList<unsigned char> bytes = Vantor::test::writeBytes(content);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(bytes.data, 1, bytes.size, file) == bytes.size;
    return std::fclose(file) == 0 && ok;
}

// The content with every texture 2 x 2 (same channels) and every motion
// track cut to its first keys.
Vantor::V3DContent shrunk(Vantor::V3DContent content) {
    for (Vantor::Image& texture : content.textures) {
        const int channels = texture.channels;
        texture = Vantor::Image();
        texture.allocate(channels, 2, 2);
        for (int k = 0; k < 4 * channels; ++k)
            texture.data[k] = static_cast<unsigned char>(40 * k);
    }
    constexpr unsigned kSeedKeys = 4;
    for (Vantor::Motion& motion : content.motions)
        for (Vantor::MotionTrack& track : motion.tracks)
            if (track.keys.size > kSeedKeys)
                track.keys.resize(kSeedKeys);
    return content;
}

bool writeCitySeeds(const std::string& dir) {
    using namespace Vantor::tools::city;
    const std::vector<Building> plan = layoutCity();
    std::vector<Building> tall, low;
    for (const Building& b : plan)
        (b.style == BuildingStyle::landmark ? tall : low).push_back(b);
    low.resize(std::min<std::size_t>(low.size(), 1));
    return writeSeed(dir + "/city-tall-building.v3d", shrunk(buildingsModel(tall))) &&
           writeSeed(dir + "/city-low-building.v3d", shrunk(buildingsModel(low))) &&
           writeSeed(dir + "/city-ground.v3d", shrunk(groundModel())) &&
           writeSeed(dir + "/city-car.v3d", shrunk(carModels().front().content)) &&
           writeSeed(dir + "/city-pedestrian.v3d", shrunk(pedestrianModels().front().content)) &&
           writeSeed(dir + "/city-bird.v3d", shrunk(birdModels(plan).front().content));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: v3d_seeds DIRECTORY\n");
        return 2;
    }
    const std::string dir = argv[1];
    using Vantor::V3DContent;
    V3DContent full = Vantor::test::makeSampleModel();
    V3DContent plain = full;
    plain.roots[0].children.remove(1);
    plain.materials.clear();
    plain.textures.clear();
    plain.roots[0].materialIndex = -1;
    V3DContent still = full;
    still.motions.clear();
    bool ok = writeSeed(dir + "/sample.v3d", full) && writeSeed(dir + "/plain.v3d", plain) &&
              writeSeed(dir + "/still.v3d", still) && writeCitySeeds(dir);
    return ok ? 0 : 1;
}
