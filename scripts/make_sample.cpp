// Writes the bundled sample: a short numbered TGA animation of a bouncing ball with a shadow,
// drawn procedurally so the repository carries no binary art.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "texlib/tga.h"

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : "samples";
    std::filesystem::create_directories(dir);
    const int w = 96, h = 96, frames = 12;
    for (int f = 0; f < frames; ++f) {
        std::vector<uint32_t> px(size_t(w) * h, 0);
        const double t = double(f) / frames;
        const double cy = 22 + 48 * std::fabs(std::sin(t * M_PI));  // ball centre, bouncing
        const double cx = 48;
        const double r = 14;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                uint32_t& p = px[size_t(y) * w + x];
                // Ground shadow: an ellipse under the ball, fainter when the ball is high.
                const double sx = (x - cx) / 16.0, sy = (y - 86) / 4.0;
                if (sx * sx + sy * sy <= 1.0) p = uint32_t(60 + 60 * (cy - 22) / 48) << 24;
                const double dx = x - cx, dy = y - (h - cy);
                const double d = std::sqrt(dx * dx + dy * dy);
                if (d <= r) {
                    const double light = 0.55 + 0.45 * std::fmax(0.0, (-dx - dy) / (r * 1.4));
                    const uint32_t red = uint32_t(230 * light), green = uint32_t(90 * light),
                                   blue = uint32_t(40 * light);
                    p = 0xFF000000u | (red << 16) | (green << 8) | blue;
                }
            }
        }
        char name[64];
        std::snprintf(name, sizeof name, "/walk_%03d.tga", f);
        if (txWriteTGA(dir + name, w, h, px.data()) != TX_TGA_OK) {
            std::fprintf(stderr, "make_sample: cannot write %s%s\n", dir.c_str(), name);
            return 1;
        }
    }
    return 0;
}
