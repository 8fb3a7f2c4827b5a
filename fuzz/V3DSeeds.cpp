// Writes the seed files of the V3D fuzz target with the V3D writer: the
// sample model with every record kind, and variants without skinning,
// textures or motions. Run as: v3d_seeds DIRECTORY
#include "../tests/modules/model/V3DSample.h"

#include <cstdio>
#include <string>

namespace {

bool writeSeed(const std::string& path, const Vantor::V3DContent& content) {
    const Vantor::ArrayList<unsigned char> bytes = Vantor::test::writeBytes(content);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(bytes.data, 1, bytes.size, file) == bytes.size;
    return std::fclose(file) == 0 && ok;
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
              writeSeed(dir + "/still.v3d", still);
    return ok ? 0 : 1;
}
