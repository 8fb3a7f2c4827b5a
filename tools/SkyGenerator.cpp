// skygen PATTERN
//
// Writes the six sky box faces, PATTERN with its "*" replaced by 0 to 5: 24-bit
// BMPs of faceSize x faceSize pixels. Every pixel is a function of the world
// direction through its centre only: a dusk sky, from the afterglow on the
// horizon where the sun has set and the violet haze opposite up to an indigo
// zenith, a dark haze below the horizon, and clouds of 3D gradient noise
// evaluated on the direction, lit from below on the sunset's side. Faces
// meeting at an edge therefore agree there.
//
// Face f is the square the engine's sky box draws after rotating by its face
// rotation: texel (u, v) of face f lies in the direction R_f (1 - 2u, 2v - 1, -1),
// with R_0 = 90 degrees about y, R_1 = -90 about y, R_2 = -90 about x (the
// ground), R_3 = 90 about x (the zenith), R_4 = none, R_5 = 180 about y.
// The output depends only on the arguments.
#include "BMPWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int faceCount = 6;
constexpr int faceSize = 512;
constexpr int channels = 3;

struct Vec {
    double x, y, z;
};
Vec operator*(const Vec& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
Vec operator+(const Vec& a, const Vec& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec mix(const Vec& a, const Vec& b, double t) { return a * (1 - t) + b * t; }

// The point of the face's square at local (x, y, -1), turned by the face's
// rotation; the quarter turns are written out so that they are exact.
Vec faceDirection(int face, double x, double y) {
    const double z = -1;
    switch (face) {
    case 0: return {z, y, -x};
    case 1: return {-z, y, x};
    case 2: return {x, z, -y};
    case 3: return {x, -z, y};
    case 4: return {x, y, z};
    default: return {-x, y, -z};
    }
}

// Improved gradient noise over a permutation shuffled by a fixed generator.
class Noise {
public:
    static constexpr int tableSize = 256;
    static constexpr std::uint32_t seed = 0x5EEDu;

    Noise() {
        for (int i = 0; i < tableSize; ++i)
            perm[i] = i;
        std::uint32_t state = seed;
        for (int i = tableSize - 1; i > 0; --i) {
            state = state * 1664525u + 1013904223u;
            std::swap(perm[i], perm[(state >> 8) % std::uint32_t(i + 1)]);
        }
        for (int i = 0; i < tableSize; ++i)
            perm[tableSize + i] = perm[i];
    }

    // Noise in about [-1, 1] at p.
    double at(const Vec& p) const {
        const double fx = std::floor(p.x), fy = std::floor(p.y), fz = std::floor(p.z);
        const int X = int(fx) & (tableSize - 1), Y = int(fy) & (tableSize - 1), Z = int(fz) & (tableSize - 1);
        const double x = p.x - fx, y = p.y - fy, z = p.z - fz;
        const double u = fade(x), v = fade(y), w = fade(z);
        const int A = perm[X] + Y, AA = perm[A] + Z, AB = perm[A + 1] + Z;
        const int B = perm[X + 1] + Y, BA = perm[B] + Z, BB = perm[B + 1] + Z;
        return lerp(w,
                    lerp(v, lerp(u, grad(perm[AA], x, y, z), grad(perm[BA], x - 1, y, z)),
                         lerp(u, grad(perm[AB], x, y - 1, z), grad(perm[BB], x - 1, y - 1, z))),
                    lerp(v, lerp(u, grad(perm[AA + 1], x, y, z - 1), grad(perm[BA + 1], x - 1, y, z - 1)),
                         lerp(u, grad(perm[AB + 1], x, y - 1, z - 1), grad(perm[BB + 1], x - 1, y - 1, z - 1))));
    }

    // Sum of octaves of halving amplitude and doubling frequency.
    double fractal(Vec p, int octaves) const {
        double sum = 0, amplitude = 0.5;
        for (int i = 0; i < octaves; ++i) {
            sum += amplitude * at(p);
            p = p * 2.03;
            amplitude *= 0.5;
        }
        return sum;
    }

private:
    static double fade(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }
    static double lerp(double t, double a, double b) { return a + t * (b - a); }
    static double grad(int hash, double x, double y, double z) {
        const int h = hash & 15;
        const double u = h < 8 ? x : y;
        const double v = h < 4 ? y : (h == 12 || h == 14 ? x : z);
        return ((h & 1) ? -u : u) + ((h & 2) ? -v : v);
    }

    int perm[2 * tableSize];
};

double smoothstep(double edge0, double edge1, double x) {
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

// Dusk: the sun has just set in the north-north-west (x grows east, z south),
// ahead and to the left of the walking camera's street.
// Its afterglow warms the horizon below it and fades round to the violet
// haze opposite; the sky deepens to indigo overhead; the clouds' undersides
// catch the glow on the sun's side and are dark slate elsewhere. Below the
// horizon lies the dark haze of the city's far reaches.
const Vec sunDirection{-0.342, 0.0, -0.940};
const Vec glowHorizon{1.00, 0.56, 0.26};
const Vec farHorizon{0.36, 0.30, 0.44};
const Vec midSky{0.22, 0.26, 0.50};
const Vec zenithIndigo{0.05, 0.07, 0.22};
const Vec sunGlow{1.00, 0.86, 0.56};
const Vec groundHaze{0.10, 0.09, 0.105};
const Vec cloudLit{0.98, 0.58, 0.46};
const Vec cloudDark{0.17, 0.16, 0.25};
constexpr double horizonFalloff = 9.0;
constexpr double skyFalloff = 2.2;
constexpr double groundFalloff = 30.0;
constexpr double sunGlowWidth = 0.06;
constexpr double cloudScale = 2.2;
constexpr double cloudFlatness = 0.3;
constexpr int cloudOctaves = 6;
constexpr double cloudThreshold = 0.06;
constexpr double cloudGain = 2.4;
constexpr double cloudOpacity = 0.85;
constexpr double cloudFadeHeight = 0.15;

// The sky's colour, each channel in [0, 1], in the unit direction d.
Vec skyColour(const Noise& noise, const Vec& d) {
    const double e = d.y;
    // How far round towards the sunset the direction looks: 1 under it, 0
    // opposite.
    const double flat = std::sqrt(d.x * d.x + d.z * d.z);
    const double facing =
        flat > 1e-9 ? 0.5 + 0.5 * (d.x * sunDirection.x + d.z * sunDirection.z) / flat : 0.5;
    const Vec horizon = mix(farHorizon, glowHorizon, facing * facing * facing);
    if (e < 0)
        return mix(horizon, groundHaze, 1 - std::exp(groundFalloff * e));
    const Vec low = mix(horizon, midSky, 1 - std::exp(-horizonFalloff * e));
    Vec sky = mix(low, zenithIndigo, 1 - std::exp(-skyFalloff * e));
    // The glow right over where the sun went down.
    const double glow = std::pow(facing, 24.0) * std::exp(-e / sunGlowWidth);
    sky = mix(sky, sunGlow, std::clamp(glow, 0.0, 1.0));
    // Clouds shrink towards the horizon as a cloud layer seen in perspective would.
    const Vec p = d * (cloudScale / (e + cloudFlatness));
    const double density = std::clamp((noise.fractal(p, cloudOctaves) - cloudThreshold) * cloudGain, 0.0, 1.0) *
                           smoothstep(0.0, cloudFadeHeight, e);
    const double lit = std::pow(facing, 3.0) * std::exp(-2.5 * e);
    const Vec cloud = mix(cloudDark, cloudLit, std::clamp(lit, 0.0, 1.0)) * (1 - 0.25 * density * density);
    return mix(sky, cloud, density * cloudOpacity);
}

std::uint8_t toByte(double c) { return std::uint8_t(std::lround(std::clamp(c, 0.0, 1.0) * 255)); }

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: skygen PATTERN (a file name with one \"*\" for the face digit)\n");
        return 2;
    }
    const std::string pattern = argv[1];
    const std::size_t star = pattern.find('*');
    if (star == std::string::npos) {
        std::fprintf(stderr, "skygen: the pattern %s has no \"*\"\n", argv[1]);
        return 2;
    }
    const Noise noise;
    std::vector<std::uint8_t> pixels(std::size_t(faceSize) * faceSize * channels);
    for (int face = 0; face < faceCount; ++face) {
        std::uint8_t* out = pixels.data();
        for (int y = 0; y < faceSize; ++y) {
            const double v = (y + 0.5) / faceSize;
            for (int x = 0; x < faceSize; ++x) {
                const double u = (x + 0.5) / faceSize;
                Vec d = faceDirection(face, 1 - 2 * u, 2 * v - 1);
                d = d * (1 / std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z));
                const Vec c = skyColour(noise, d);
                *out++ = toByte(c.x);
                *out++ = toByte(c.y);
                *out++ = toByte(c.z);
            }
        }
        std::string name = pattern;
        name.replace(star, 1, 1, char('0' + face));
        if (!Vantor::tools::writeBMP(name, pixels, faceSize, faceSize, channels))
            return 1;
    }
    return 0;
}
