#include "bench/synthetic_survey.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double GRAVITY = 6.674e-11;

// splitmix64: a tiny generator whose sequence is the same on every platform, unlike the
// distributions of <random>.
struct SeededStream {
    std::uint64_t state;
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }  // [0, 1)
};

struct Sphere {
    double x, y, depth, mass;
};

// One sphere per 10 km x 10 km on average, at least three: depths 300..1500 m, radii
// 150..600 m, density contrasts -400..800 kg/m^3.
std::vector<Sphere> place_spheres(double side, SeededStream& random) {
    const auto count = static_cast<std::size_t>(std::max(3.0, side * side / 1e8));
    std::vector<Sphere> spheres;
    for (std::size_t s = 0; s < count; ++s) {
        const double radius = 150.0 + 450.0 * random.uniform();
        const double contrast = -400.0 + 1200.0 * random.uniform();
        spheres.push_back({side * random.uniform(), side * random.uniform(),
                           300.0 + 1200.0 * random.uniform(),
                           4.0 / 3.0 * PI * radius * radius * radius * contrast});
    }
    return spheres;
}

double terrain(double x, double y) {
    return 340.0 + 25.0 * std::sin(x / 700.0) * std::cos(y / 900.0) +
           10.0 * std::sin((x + y) / 400.0) + 60.0 * std::sin(x / 9000.0 + y / 13000.0);
}

// Anomaly in mGal of the spheres at a station of height h, over a regional trend.
double anomaly(const std::vector<Sphere>& spheres, double side, double x, double y, double h) {
    double g = -12.0 + 0.0004 * (x - 0.5 * side) - 0.0002 * (y - 0.5 * side);
    for (const Sphere& s : spheres) {
        const double z = s.depth + h;
        const double r2 = (x - s.x) * (x - s.x) + (y - s.y) * (y - s.y) + z * z;
        g += GRAVITY * s.mass * z / (r2 * std::sqrt(r2)) * 1e5;
    }
    return g;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

double radius_for_neighbours(const SurveyShape& shape, double neighbours) {
    return shape.spacing * std::sqrt(neighbours / PI);
}

bool write_synthetic_survey(const SurveyShape& shape, const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "w"));
    if (!file) return false;
    SeededStream random{shape.seed};
    const double side = shape.spacing * std::sqrt(static_cast<double>(shape.stations));
    const std::vector<Sphere> spheres = place_spheres(side, random);
    std::fputs("X Y POINT HEIGHT CBA\n", file.get());
    for (std::size_t p = 0; p < shape.stations; ++p) {
        const double x = side * random.uniform();
        const double y = side * random.uniform();
        // Local relief keeps the heights off a plane, so height terms stay determined.
        const double h = terrain(x, y) - 15.0 + 30.0 * random.uniform();
        const double noise = 0.002 * (random.uniform() + random.uniform() - 1.0);
        std::fprintf(file.get(), "%.2f %.2f %zu %.2f %.5f\n", x, y, p + 1, h,
                     anomaly(spheres, side, x, y, h) + noise);
    }
    return std::fflush(file.get()) == 0 && std::ferror(file.get()) == 0;
}
