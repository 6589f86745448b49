// Sprite packing beside npm's maxrects-packer and free-tex-packer-core, measured in the same run
// on the same four sets of rectangles at equal settings (padding 0 and 2, power of two off and
// on, rotation off and on, pages up to 4096 x 4096): occupancy (sprite area / sheet area, all
// pages) and pack time. The peers run under node (bench/pack_peers.mjs); their figures are the
// counters mr_* (maxrects-packer) and ft_* (free-tex-packer-core) beside ours.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <sstream>
#include <string>

#include "tools/pack/pack.h"

namespace {

struct Case {
    const char* set;
    int padding;
    bool pot, rotate;
};

std::vector<Case> cases() {
    std::vector<Case> out;
    for (const char* set : {"mixed", "glyphs", "large", "margins"})
        for (int padding : {0, 2})
            for (bool pot : {false, true})
                for (bool rotate : {false, true}) out.push_back(Case{set, padding, pot, rotate});
    return out;
}

// A sprite of w x h whose visible part is inset by the given margins (for the trimming set).
PackSprite sprite(int w, int h, int l = 0, int t = 0, int r = 0, int b = 0) {
    PackSprite s;
    s.name = "s";
    s.width = w;
    s.height = h;
    s.pixels.assign(size_t(w) * size_t(h), 0);
    for (int y = t; y < h - b; ++y)
        for (int x = l; x < w - r; ++x) s.pixels[size_t(y) * size_t(w) + size_t(x)] = 0xff808080u;
    return s;
}

// The four sets: 300 mixed sprites of 8 to 128 pixels a side, 500 glyph-like ones of 6 to 24,
// 60 large ones of 64 to 400, and 200 of 48 to 96 with transparent margins of 0 to 16 a side.
const std::map<std::string, std::vector<PackSprite>>& sets() {
    static const auto all = [] {
        std::map<std::string, std::vector<PackSprite>> m;
        std::mt19937 rng(2026);
        auto uni = [&rng](int a, int b) { return std::uniform_int_distribution<int>(a, b)(rng); };
        auto bare = [&](const char* name, int n, int a, int b) {
            for (int i = 0; i < n; ++i) {
                PackSprite s;
                s.width = uni(a, b);
                s.height = uni(a, b);
                m[name].push_back(std::move(s));
            }
        };
        bare("mixed", 300, 8, 128);
        bare("glyphs", 500, 6, 24);
        bare("large", 60, 64, 400);
        for (int i = 0; i < 200; ++i)
            m["margins"].push_back(
                sprite(uni(48, 96), uni(48, 96), uni(0, 16), uni(0, 16), uni(0, 16), uni(0, 16)));
        for (auto& [name, list] : m)
            for (size_t i = 0; i < list.size(); ++i) {
                char buf[32];
                std::snprintf(buf, sizeof buf, "s%05zu", i);
                list[i].name = buf;
            }
        return m;
    }();
    return all;
}

PackOptions optionsFor(const Case& c) {
    PackOptions o;
    o.padding = c.padding;
    o.size = c.pot ? PackSize::Pot : PackSize::Any;
    o.rotate = c.rotate;
    o.trim = std::string(c.set) == "margins" ? PackTrim::Trim : PackTrim::None;
    return o;
}

struct PeerFigures {
    double occupancy = 0, ms = 0;
    int pages = 0;
};

// The peers' figures for every case, from one node run. The trimming set reaches them as the
// trimmed sizes (neither peer trims bare rectangles), which leaves the trim scan out of their
// time only.
const std::map<std::pair<int, std::string>, PeerFigures>& peers() {
    static const auto figures = [] {
        std::map<std::pair<int, std::string>, PeerFigures> out;
        if (std::getenv("PACK_BENCH_NO_PEERS")) return out;  // ours alone, while tuning
        std::ostringstream json;
        json << "{\"max\": 4096, \"reps\": 3, \"sets\": {";
        bool firstSet = true;
        for (const auto& [name, list] : sets()) {
            json << (firstSet ? "" : ", ") << '"' << name << "\": [";
            firstSet = false;
            for (size_t i = 0; i < list.size(); ++i) {
                TxRect r{0, 0, list[i].width, list[i].height};
                if (name == "margins") r = packTrimRect(list[i], 0);
                json << (i ? ", " : "") << '[' << r.width() << ", " << r.height() << ']';
            }
            json << ']';
        }
        json << "}, \"cases\": [";
        const auto all = cases();
        for (size_t i = 0; i < all.size(); ++i)
            json << (i ? ", " : "") << "{\"set\": \"" << all[i].set
                 << "\", \"padding\": " << all[i].padding
                 << ", \"pot\": " << (all[i].pot ? "true" : "false")
                 << ", \"rotate\": " << (all[i].rotate ? "true" : "false") << '}';
        json << "]}";
        const std::string in = std::string(TARQUIL_BINARY_DIR) + "/pack_peers_input.json";
        if (FILE* f = std::fopen(in.c_str(), "w")) {
            const std::string text = json.str();
            std::fwrite(text.data(), 1, text.size(), f);
            std::fclose(f);
        }
        const std::string cmd = "node " TARQUIL_SOURCE_DIR
                                "/bench/pack_peers.mjs " TARQUIL_NODE_MODULES " < '" +
                                in + "'";
        if (FILE* p = ::popen(cmd.c_str(), "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, p)) {
                int index = 0, pages = 0;
                char peer[64];
                double occ = 0, ms = 0;
                if (std::sscanf(line, "%d %63s %lf %lf %d", &index, peer, &occ, &ms, &pages) == 5)
                    out[{index, peer}] = PeerFigures{occ, ms, pages};
            }
            ::pclose(p);
        }
        if (out.empty())
            std::fprintf(stderr, "pack_bench: node or the npm peers are missing (scripts/setup "
                                 "installs them into build/node); peer figures are 0\n");
        return out;
    }();
    return figures;
}

void BM_Pack(benchmark::State& state) {
    const int index = int(state.range(0));
    const Case c = cases()[size_t(index)];
    const auto& list = sets().at(c.set);
    const PackOptions o = optionsFor(c);
    PackResult r;
    for (auto _ : state) {
        r = packSprites(list, o);
        benchmark::DoNotOptimize(r.sprites.data());
    }
    if (r.status != PACK_OK) state.SkipWithError(r.error.c_str());
    state.SetLabel(std::string(c.set) + " pad " + std::to_string(c.padding) +
                   (c.pot ? " pot" : " any") + (c.rotate ? " rot" : ""));
    state.counters["occ"] = r.occupancy();
    state.counters["pages"] = double(r.pages.size());
    const auto& p = peers();
    auto put = [&](const char* peer, const char* tag) {
        auto it = p.find({index, peer});
        if (it == p.end()) return;
        state.counters[std::string(tag) + "_occ"] = it->second.occupancy;
        state.counters[std::string(tag) + "_ms"] = it->second.ms;
    };
    put("maxrects-packer", "mr");
    put("free-tex-packer-core", "ft");
}

}  // namespace

BENCHMARK(BM_Pack)->DenseRange(0, 31)->Unit(benchmark::kMillisecond);
