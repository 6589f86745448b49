#include "tools/pack/pack.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "texlib/mip.h"

const char* const kPackSection = "Pack";

void PackOptions::load(const SettingsStore& s) {
    trim = PackTrim(std::clamp(s.getInt(kPackSection, "trim", int(trim)), 0, 2));
    alphaThreshold = std::clamp(s.getInt(kPackSection, "alphaThreshold", alphaThreshold), 0, 254);
    extrude = std::clamp(s.getInt(kPackSection, "extrude", extrude), 0, 64);
    border = std::clamp(s.getInt(kPackSection, "border", border), 0, 256);
    padding = std::clamp(s.getInt(kPackSection, "padding", padding), 0, 256);
    rotate = s.getInt(kPackSection, "rotate", rotate) != 0;
    size = PackSize(std::clamp(s.getInt(kPackSection, "size", int(size)), 0, 3));
    maxWidth = std::clamp(s.getInt(kPackSection, "maxWidth", maxWidth), 1, 32768);
    maxHeight = std::clamp(s.getInt(kPackSection, "maxHeight", maxHeight), 1, 32768);
    aliasDuplicates = s.getInt(kPackSection, "aliasDuplicates", aliasDuplicates) != 0;
}

void PackOptions::store(SettingsStore& s) const {
    s.setInt(kPackSection, "trim", int(trim));
    s.setInt(kPackSection, "alphaThreshold", alphaThreshold);
    s.setInt(kPackSection, "extrude", extrude);
    s.setInt(kPackSection, "border", border);
    s.setInt(kPackSection, "padding", padding);
    s.setInt(kPackSection, "rotate", rotate ? 1 : 0);
    s.setInt(kPackSection, "size", int(size));
    s.setInt(kPackSection, "maxWidth", maxWidth);
    s.setInt(kPackSection, "maxHeight", maxHeight);
    s.setInt(kPackSection, "aliasDuplicates", aliasDuplicates ? 1 : 0);
}

bool PackOptions::valid(std::string* why) const {
    auto fail = [&](const std::string& text) {
        if (why) *why = text;
        return false;
    };
    if (alphaThreshold < 0 || alphaThreshold > 254)
        return fail("the alpha threshold must be 0 to 254");
    if (extrude < 0 || extrude > 64) return fail("the extrusion must be 0 to 64 pixels");
    if (border < 0 || border > 256) return fail("the border must be 0 to 256 pixels");
    if (padding < 0 || padding > 256) return fail("the padding must be 0 to 256 pixels");
    if (maxWidth < 1 || maxWidth > 32768 || maxHeight < 1 || maxHeight > 32768)
        return fail("the largest page must be 1 to 32768 pixels a side");
    if (2 * border >= maxWidth || 2 * border >= maxHeight)
        return fail("the border leaves no room on a page of the largest size");
    return true;
}

double PackResult::occupancy() const {
    double used = 0, total = 0;
    for (const PackPage& p : pages) {
        used += double(p.usedArea);
        total += double(p.width) * double(p.height);
    }
    return total > 0 ? used / total : 0;
}

std::string packPagePath(const std::string& pattern, int page) {
    std::string out = pattern;
    const std::string n = std::to_string(page);
    for (size_t at = out.find("{n}"); at != std::string::npos; at = out.find("{n}", at + n.size()))
        out.replace(at, 3, n);
    return out;
}

TxRect packTrimRect(const PackSprite& s, int alphaThreshold) {
    const uint32_t limit = uint32_t(std::clamp(alphaThreshold, 0, 255));
    int left = s.width, right = -1, top = -1, bottom = -1;
    for (int y = 0; y < s.height; ++y) {
        const uint32_t* row = s.pixels.data() + size_t(y) * size_t(s.width);
        int first = -1, last = -1;
        for (int x = 0; x < s.width; ++x)
            if ((row[x] >> 24) > limit) {
                first = x;
                break;
            }
        if (first < 0) continue;
        for (int x = s.width - 1; x >= first; --x)
            if ((row[x] >> 24) > limit) {
                last = x;
                break;
            }
        if (top < 0) top = y;
        bottom = y;
        left = std::min(left, first);
        right = std::max(right, last);
    }
    // Nothing visible: one pixel stays, so that the sprite still has a place and a name.
    if (top < 0) return TxRect{0, 0, std::min(s.width, 1), std::min(s.height, 1)};
    return TxRect{left, top, right + 1, bottom + 1};
}

namespace {

// ---- MaxRects over several placement rules ---------------------------------------------------

enum Rule : int { RULE_SHORT_SIDE, RULE_LONG_SIDE, RULE_AREA, RULE_BOTTOM_LEFT, RULE_COUNT };

struct Box {
    int32_t x, y, w, h;
};

// Rectangles as four arrays of edges, so that a test against all of them runs four at a time.
struct RectList {
    // The arrays only grow; `count` says how much of them is in use.
    std::vector<int32_t> x0, y0, x1, y1;
    size_t count = 0;

    size_t size() const { return count; }
    void clear() { count = 0; }
    void push(int32_t ax, int32_t ay, int32_t bx, int32_t by) {
        if (count == x0.size()) {
            const size_t more = std::max<size_t>(16, 2 * count);
            x0.resize(more);
            y0.resize(more);
            x1.resize(more);
            y1.resize(more);
        }
        x0[count] = ax;
        y0[count] = ay;
        x1[count] = bx;
        y1[count] = by;
        ++count;
    }
    // Whether one of them holds the rectangle from (px0, py0) to (px1, py1).
    bool anyHolds(int32_t px0, int32_t py0, int32_t px1, int32_t py1) const {
        const size_t n = count;
        size_t i = 0;
#if defined(__SSE2__)
        const __m128i a = _mm_set1_epi32(px0), b = _mm_set1_epi32(py0), c = _mm_set1_epi32(px1),
                      d = _mm_set1_epi32(py1);
        auto at = [](const std::vector<int32_t>& v, size_t k) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(v.data() + k));
        };
        for (; i + 4 <= n; i += 4) {
            // A lane misses when x0 > px0, y0 > py0, px1 > x1 or py1 > y1.
            const __m128i miss = _mm_or_si128(
                _mm_or_si128(_mm_cmpgt_epi32(at(x0, i), a), _mm_cmpgt_epi32(at(y0, i), b)),
                _mm_or_si128(_mm_cmpgt_epi32(c, at(x1, i)), _mm_cmpgt_epi32(d, at(y1, i))));
            if (_mm_movemask_ps(_mm_castsi128_ps(miss)) != 0xF) return true;
        }
#endif
        for (; i < n; ++i)
            if (x0[i] <= px0 && y0[i] <= py0 && x1[i] >= px1 && y1[i] >= py1) return true;
        return false;
    }
};

// The free space of one bin as maximal free rectangles (they may overlap each other). They are
// kept as four arrays of edges, so that the scans over all of them test four at a time.
class FreeSpace {
public:
    void reset(int32_t w, int32_t h) {
        n_ = 0;
        push(Box{0, 0, w, h});
    }

    // The best place for a w x h box (or h x w when `turn` allows) under the rule; false when
    // none fits. Ties keep the first free rectangle found, so the result is reproducible.
    template <Rule R> bool find(int32_t w, int32_t h, bool turn, Box& out, bool& turned) const {
        int64_t best = std::numeric_limits<int64_t>::max();
        size_t at = 0;
        int how = -1;
        const size_t n = n_;
        const bool both = turn && w != h;
        size_t i = 0;
#if defined(__SSE2__)
        if constexpr (R == RULE_SHORT_SIDE || R == RULE_BOTTOM_LEFT)
            i = findFour<R>(w, h, both, best, at, how);
#endif
        for (; i < n; ++i) {
            const int32_t fw = x1_[i] - x0_[i], fh = y1_[i] - y0_[i];
            for (int t = 0; t < (both ? 2 : 1); ++t) {
                const int32_t bw = t ? h : w, bh = t ? w : h;
                if (bw > fw || bh > fh) continue;
                // Both parts of the score in one key: the first decides, the second breaks ties.
                const int64_t lw = fw - bw, lh = fh - bh;
                int64_t key;
                if constexpr (R == RULE_SHORT_SIDE)
                    key = (std::min(lw, lh) << 32) | std::max(lw, lh);
                else if constexpr (R == RULE_LONG_SIDE)
                    key = (std::max(lw, lh) << 32) | std::min(lw, lh);
                else if constexpr (R == RULE_AREA)
                    key = ((int64_t(fw) * fh - int64_t(bw) * bh) << 16) | std::min(lw, lh);
                else
                    key = (int64_t(y0_[i] + bh) << 32) | x0_[i];
                if (key < best) {
                    best = key;
                    at = i;
                    how = t;
                }
            }
        }
        if (how < 0) return false;
        out = Box{x0_[at], y0_[at], how ? h : w, how ? w : h};
        turned = how != 0;
        return true;
    }

    void occupy(const Box& used) {
        for (RectList& g : fresh_) g.clear();
        order_.clear();
        const int32_t ux0 = used.x, uy0 = used.y, ux1 = used.x + used.w, uy1 = used.y + used.h;
        // One pass finds the rectangles the box overlaps and those that end at one of its edges
        // (which the overlapping ones never do).
        scan(ux0, uy0, ux1, uy1);
        // The overlapping ones are split and go, the last one taking each one's place (and
        // being looked at there in turn), as a plain walk over the list would have it.
        size_t n = n_;
        for (uint32_t h : hits_) {
            if (h >= n) break;
            for (;;) {
                const int32_t fx0 = x0_[h], fy0 = y0_[h], fx1 = x1_[h], fy1 = y1_[h];
                if (uy0 > fy0) addFresh(Box{fx0, fy0, fx1 - fx0, uy0 - fy0}, ABOVE);
                if (uy1 < fy1) addFresh(Box{fx0, uy1, fx1 - fx0, fy1 - uy1}, BELOW);
                if (ux0 > fx0) addFresh(Box{fx0, fy0, ux0 - fx0, fy1 - fy0}, LEFT);
                if (ux1 < fx1) addFresh(Box{ux1, fy0, fx1 - ux1, fy1 - fy0}, RIGHT);
                --n;
                if (h >= n) break;
                x0_[h] = x0_[n];
                y0_[h] = y0_[n];
                x1_[h] = x1_[n];
                y1_[h] = y1_[n];
                if (!hit_[n]) break;
            }
        }
        n_ = n;
        for (uint32_t h : hits_) hit_[h] = 0;
        if (order_.empty()) return;
        // The untouched rectangles were maximal already; only the new pieces can lie inside
        // another rectangle. A piece above the used box spans it horizontally, so what holds it
        // without overlapping the box must end exactly at the box's top, and likewise for the
        // other sides: only those few rectangles, and pieces of the same side, are looked at.
        for (int side = 0; side < 4; ++side) {
            RectList& g = fresh_[side];
            for (size_t i = 0; i < g.size(); ++i) {
                const int32_t px0 = g.x0[i], py0 = g.y0[i], px1 = g.x1[i], py1 = g.y1[i];
                if (edge_[side].anyHolds(px0, py0, px1, py1)) {
                    g.x1[i] = kDropped;
                    continue;
                }
                // Of two equal pieces the first goes: the second no longer sees it. A dropped
                // piece (and the piece itself, while it is looked at) holds nothing.
                g.x1[i] = kDropped;
                if (!g.anyHolds(px0, py0, px1, py1)) g.x1[i] = px1;
            }
        }
        for (const auto& [side, i] : order_) {
            const RectList& g = fresh_[side];
            if (g.x1[i] != kDropped)
                push(Box{g.x0[i], g.y0[i], g.x1[i] - g.x0[i], g.y1[i] - g.y0[i]});
        }
    }

private:
    enum Side : uint8_t { ABOVE, BELOW, LEFT, RIGHT };

    static constexpr int32_t kDropped = std::numeric_limits<int32_t>::min();

    void addFresh(const Box& b, Side side) {
        order_.emplace_back(side, uint32_t(fresh_[side].size()));
        fresh_[side].push(b.x, b.y, b.x + b.w, b.y + b.h);
    }

#if defined(__SSE2__)
    // find's walk four rectangles at a time, for the rules whose two score parts fit 16 bits
    // each (sides stay below 65536): per lane the first best key and where it was, then the
    // first best of the lanes. Returns how many rectangles it looked at.
    template <Rule R>
    size_t findFour(int32_t w, int32_t h, bool both, int64_t& best, size_t& at, int& how) const {
        const size_t n = n_ & ~size_t(3);
        if (n == 0) return 0;
        const __m128i sign = _mm_set1_epi32(int32_t(0x80000000u)),
                      none = _mm_set1_epi32(0x7fffffff);
        const __m128i zero = _mm_setzero_si128(), lanes = _mm_setr_epi32(0, 2, 4, 6);
        auto pick = [](__m128i m, __m128i a, __m128i b) {
            return _mm_or_si128(_mm_and_si128(m, a), _mm_andnot_si128(m, b));
        };
        __m128i bestKey = none, bestCode = zero;
        for (size_t i = 0; i < n; i += 4) {
            const __m128i x0 = load(x0_, i), y0 = load(y0_, i);
            const __m128i fw = _mm_sub_epi32(load(x1_, i), x0),
                          fh = _mm_sub_epi32(load(y1_, i), y0);
            for (int t = 0; t < (both ? 2 : 1); ++t) {
                const int32_t bw = t ? h : w, bh = t ? w : h;
                const __m128i lw = _mm_sub_epi32(fw, _mm_set1_epi32(bw)),
                              lh = _mm_sub_epi32(fh, _mm_set1_epi32(bh));
                const __m128i miss =
                    _mm_or_si128(_mm_cmplt_epi32(lw, zero), _mm_cmplt_epi32(lh, zero));
                __m128i key;
                if constexpr (R == RULE_SHORT_SIDE) {
                    const __m128i wider = _mm_cmpgt_epi32(lw, lh);
                    key =
                        _mm_or_si128(_mm_slli_epi32(pick(wider, lh, lw), 16), pick(wider, lw, lh));
                } else {
                    key =
                        _mm_or_si128(_mm_slli_epi32(_mm_add_epi32(y0, _mm_set1_epi32(bh)), 16), x0);
                }
                // Unsigned order through the signed compare; a box that does not fit scores worst.
                key = pick(miss, none, _mm_xor_si128(key, sign));
                const __m128i less = _mm_cmplt_epi32(key, bestKey);
                bestKey = pick(less, key, bestKey);
                bestCode =
                    pick(less, _mm_add_epi32(_mm_set1_epi32(int32_t(i * 2) + t), lanes), bestCode);
            }
        }
        alignas(16) int32_t keys[4], codes[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(keys), bestKey);
        _mm_store_si128(reinterpret_cast<__m128i*>(codes), bestCode);
        int lane = 0;
        for (int k = 1; k < 4; ++k)
            if (keys[k] < keys[lane] || (keys[k] == keys[lane] && codes[k] < codes[lane])) lane = k;
        if (keys[lane] != 0x7fffffff) {
            const uint32_t key = uint32_t(keys[lane]) ^ 0x80000000u;
            best = (int64_t(key >> 16) << 32) | int64_t(key & 0xffffu);
            at = size_t(codes[lane]) / 2;
            how = codes[lane] & 1;
        }
        return n;
    }
#endif

    // Marks the rectangles that overlap the used box (hit_, hits_ in order) and gathers those
    // that end at one of its edges, by side.
    void scan(int32_t ux0, int32_t uy0, int32_t ux1, int32_t uy1) {
        const size_t n = n_;
        // All flags are clear here: occupy clears the ones it set.
        if (hit_.size() < n) hit_.resize(n, 0);
        hits_.clear();
        for (auto& list : edge_) list.clear();
        auto take = [&](size_t k) {
            if (x0_[k] < ux1 && ux0 < x1_[k] && y0_[k] < uy1 && uy0 < y1_[k]) {
                hit_[k] = 1;
                hits_.push_back(uint32_t(k));
                return;
            }
            const int32_t a = x0_[k], b = y0_[k], c = x1_[k], d = y1_[k];
            if (d == uy0) edge_[ABOVE].push(a, b, c, d);
            if (b == uy1) edge_[BELOW].push(a, b, c, d);
            if (c == ux0) edge_[LEFT].push(a, b, c, d);
            if (a == ux1) edge_[RIGHT].push(a, b, c, d);
        };
        size_t i = 0;
#if defined(__SSE2__)
        const __m128i a = _mm_set1_epi32(ux0), b = _mm_set1_epi32(uy0), c = _mm_set1_epi32(ux1),
                      d = _mm_set1_epi32(uy1);
        for (; i + 4 <= n; i += 4) {
            const __m128i x0 = load(x0_, i), y0 = load(y0_, i), x1 = load(x1_, i),
                          y1 = load(y1_, i);
            const __m128i hit =
                _mm_and_si128(_mm_and_si128(_mm_cmplt_epi32(x0, c), _mm_cmplt_epi32(a, x1)),
                              _mm_and_si128(_mm_cmplt_epi32(y0, d), _mm_cmplt_epi32(b, y1)));
            const __m128i edge =
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi32(y1, b), _mm_cmpeq_epi32(y0, d)),
                             _mm_or_si128(_mm_cmpeq_epi32(x1, a), _mm_cmpeq_epi32(x0, c)));
            for (int m = _mm_movemask_ps(_mm_castsi128_ps(_mm_or_si128(hit, edge))); m; m &= m - 1)
                take(i + size_t(ctz(m)));
        }
#endif
        for (; i < n; ++i) take(i);
    }

    void push(const Box& b) {
        if (n_ == x0_.size()) {
            const size_t more = std::max<size_t>(64, 2 * n_);
            x0_.resize(more);
            y0_.resize(more);
            x1_.resize(more);
            y1_.resize(more);
        }
        x0_[n_] = b.x;
        y0_[n_] = b.y;
        x1_[n_] = b.x + b.w;
        y1_[n_] = b.y + b.h;
        ++n_;
    }

#if defined(__SSE2__)
    static __m128i load(const std::vector<int32_t>& v, size_t i) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(v.data() + i));
    }
    static int ctz(int m) { return __builtin_ctz(unsigned(m)); }
#endif

    // The free rectangles: the first n_ of the arrays, which only grow.
    std::vector<int32_t> x0_, y0_, x1_, y1_;
    size_t n_ = 0;
    // The pieces of the split rectangles by side of the used box, and their order of making.
    RectList fresh_[4];
    std::vector<std::pair<uint8_t, uint32_t>> order_;
    RectList edge_[4];
    std::vector<uint8_t> hit_;
    std::vector<uint32_t> hits_;
};

// A sprite as the packer sees it: its box (pixels, extrusion on both sides, padding once).
struct Item {
    int32_t w, h;
};

struct Spot {
    int32_t x = 0, y = 0;  // of the box, in bin coordinates
    bool turned = false;
    bool placed = false;
};

struct Pass {
    std::vector<Spot> spots;  // by item index
    int64_t area = 0;         // of the boxes placed
    int count = 0;
    int32_t right = 0, bottom = 0;  // the boxes' extent
};

struct Packer {
    const std::vector<Item>& items;
    bool turn;
    FreeSpace space;

    bool find(Rule rule, const Item& it, Box& b, bool& turned) const {
        switch (rule) {
        case RULE_SHORT_SIDE: return space.find<RULE_SHORT_SIDE>(it.w, it.h, turn, b, turned);
        case RULE_LONG_SIDE: return space.find<RULE_LONG_SIDE>(it.w, it.h, turn, b, turned);
        case RULE_AREA: return space.find<RULE_AREA>(it.w, it.h, turn, b, turned);
        default: return space.find<RULE_BOTTOM_LEFT>(it.w, it.h, turn, b, turned);
        }
    }

    // Places `subset` in `order` into a bin; with `skip` a box that does not fit is left out,
    // else the pass ends there (false). A pass whose sheet (the boxes' extent less the last
    // padding, plus the border on both sides) grows beyond `limit` pixels ends there too: it can
    // no longer beat the layout that set the limit.
    bool run(const std::vector<int>& order, Rule rule, int32_t binW, int32_t binH, bool skip,
             Pass& p, int64_t limit = -1, int32_t margin = 0) {
        space.reset(binW, binH);
        p.spots.assign(items.size(), Spot{});
        p.area = 0;
        p.count = 0;
        p.right = p.bottom = 0;
        for (int i : order) {
            const Item& it = items[size_t(i)];
            Box b{};
            bool turned = false;
            if (!find(rule, it, b, turned)) {
                if (!skip) return false;
                continue;
            }
            space.occupy(b);
            p.spots[size_t(i)] = Spot{b.x, b.y, turned, true};
            p.area += int64_t(b.w) * b.h;
            ++p.count;
            p.right = std::max(p.right, b.x + b.w);
            p.bottom = std::max(p.bottom, b.y + b.h);
            if (limit >= 0 && int64_t(p.right + margin) * (p.bottom + margin) > limit) return false;
        }
        return true;
    }
};

int64_t floorPot(int64_t v) {
    int64_t p = 1;
    while (p * 2 <= v) p *= 2;
    return p;
}
int64_t ceilPot(int64_t v) {
    int64_t p = 1;
    while (p < v) p *= 2;
    return p;
}

// The orders tried: largest area, longest side, height, width and perimeter first; equal keys
// keep the name order.
std::vector<std::vector<int>> orders(const std::vector<Item>& items, const std::vector<int>& set) {
    std::vector<std::vector<int>> out(5, set);
    auto by = [&](std::vector<int>& o, auto key) {
        std::stable_sort(o.begin(), o.end(), [&](int a, int b) {
            return key(items[size_t(a)]) > key(items[size_t(b)]);
        });
    };
    by(out[0], [](const Item& i) { return int64_t(i.w) * i.h; });
    by(out[1],
       [](const Item& i) { return int64_t(std::max(i.w, i.h)) * 65536 + std::min(i.w, i.h); });
    by(out[2], [](const Item& i) { return int64_t(i.h) * 65536 + i.w; });
    by(out[3], [](const Item& i) { return int64_t(i.w) * 65536 + i.h; });
    by(out[4], [](const Item& i) { return int64_t(i.w) + i.h; });
    return out;
}

struct Geometry {
    int32_t border, padding;
    int32_t maxW, maxH;  // the largest page under the size rule
    PackSize size;
    // The bin of a page: the sheet without its border, plus the padding the last box carries.
    int32_t bin(int32_t sheet) const { return sheet - 2 * border + padding; }
    int32_t sheet(int32_t extent) const {
        return extent == 0 ? 2 * border + 1 : extent - padding + 2 * border;
    }
};

struct Layout {
    Pass pass;
    int32_t width = 0, height = 0;  // of the sheet
};

// Packs `set` onto one page as small as the size rule allows; false when it does not fit on
// the largest page.
bool packOnePage(Packer& pk, const std::vector<int>& set, const Geometry& g, Layout& out) {
    const auto ords = orders(pk.items, set);
    int64_t area = 0, sumW = 0, widest = 0, tallest = 0;
    for (int i : set) {
        const Item& it = pk.items[size_t(i)];
        area += int64_t(it.w) * it.h;
        sumW += it.w;
        tallest = std::max<int64_t>(tallest, pk.turn ? std::max(it.w, it.h) : it.h);
        widest = std::max<int64_t>(widest, pk.turn ? std::min(it.w, it.h) : it.w);
    }
    Pass p;
    bool found = false;
    auto consider = [&](int32_t w, int32_t h) {
        const int64_t a = int64_t(w) * h, best = int64_t(out.width) * out.height;
        if (!found || a < best || (a == best && std::max(w, h) < std::max(out.width, out.height))) {
            out.pass = p;
            out.width = w;
            out.height = h;
            found = true;
        }
    };
    // Every rule and order in a bin of the given sheet size; the first that holds all wins.
    auto fitsIn = [&](int32_t sheetW, int32_t sheetH) {
        for (const auto& o : ords)
            for (int r = 0; r < RULE_COUNT; ++r)
                if (pk.run(o, Rule(r), g.bin(sheetW), g.bin(sheetH), false, p)) return true;
        return false;
    };

    if (g.size == PackSize::Any) {
        const int32_t binH = g.bin(g.maxH), binWMax = g.bin(g.maxW);
        const double target = std::sqrt(double(area));
        static const double kFactors[] = {0.95, 1.0, 1.05, 1.1, 1.2};
        std::vector<int32_t> widths;
        for (double f : kFactors)
            widths.push_back(int32_t(std::clamp<int64_t>(std::llround(target * f), widest,
                                                         std::min<int64_t>(sumW, binWMax))));
        widths.push_back(binWMax);
        std::sort(widths.begin(), widths.end());
        widths.erase(std::unique(widths.begin(), widths.end()), widths.end());
        auto heightFor = [&](int whole, int32_t w) {
            return whole ? binH
                         : int32_t(std::min<int64_t>(binH, area * 5 / (4 * int64_t(w)) + tallest));
        };
        // The shape that wins most often is packed first: its sheet bounds the winner's, so
        // every pass that grows beyond it ends early. It is taken again in its turn, so the
        // winner (the first smallest in the order below) stays the same.
        const size_t firstK = std::min<size_t>(2, ords.size() - 1);
        const int32_t firstW =
            *std::lower_bound(widths.begin(), widths.end(),
                              int32_t(std::clamp<int64_t>(std::llround(target), widest,
                                                          std::min<int64_t>(sumW, binWMax))));
        Pass first;
        const bool haveFirst =
            pk.run(ords[firstK], RULE_BOTTOM_LEFT, firstW, heightFor(0, firstW), false, first);
        const int64_t firstArea =
            haveFirst ? int64_t(g.sheet(first.right)) * g.sheet(first.bottom) : -1;
        // A bin not much taller than the content needs keeps the free list short; only when
        // nothing fits that way does the whole page height come in.
        for (int whole = 0; whole < 2 && !found; ++whole)
            for (size_t k = 0; k < ords.size(); ++k)
                for (int r = 0; r < RULE_COUNT; ++r) {
                    // The rules and orders that win on real sets; the others only when
                    // nothing fits.
                    if (!whole && (k >= 3 || (r != RULE_SHORT_SIDE && r != RULE_BOTTOM_LEFT)))
                        continue;
                    for (int32_t w : widths) {
                        if (!whole && haveFirst && k == firstK && r == RULE_BOTTOM_LEFT &&
                            w == firstW) {
                            p = first;
                            consider(g.sheet(p.right), g.sheet(p.bottom));
                            continue;
                        }
                        int64_t limit = found ? int64_t(out.width) * out.height : -1;
                        if (!whole && haveFirst && (limit < 0 || firstArea < limit))
                            limit = firstArea;
                        if (pk.run(ords[k], Rule(r), w, heightFor(whole, w), false, p, limit,
                                   2 * g.border - g.padding))
                            consider(g.sheet(p.right), g.sheet(p.bottom));
                    }
                }
        return found;
    }

    const bool pot = g.size == PackSize::Pot || g.size == PackSize::PotSquare;
    const bool square = g.size == PackSize::Square || g.size == PackSize::PotSquare;
    // The content alone needs at least this much sheet.
    const int64_t least = area;
    if (square) {
        const int32_t side = std::min(g.maxW, g.maxH);
        if (pot) {
            for (int64_t s = 1; s <= side; s *= 2) {
                if (int64_t(g.bin(int32_t(s))) * g.bin(int32_t(s)) < least ||
                    g.bin(int32_t(s)) < widest)
                    continue;
                if (fitsIn(int32_t(s), int32_t(s))) {
                    consider(int32_t(s), int32_t(s));
                    return true;
                }
            }
            return false;
        }
        // The smallest side that holds everything, by bisection between the bound the area
        // gives and the largest page.
        if (!fitsIn(side, side)) return false;
        Pass known = p;
        int32_t lo =
            int32_t(std::max<int64_t>(widest, int64_t(std::ceil(std::sqrt(double(least)))))) +
            2 * g.border - g.padding - 1;
        int32_t hi = side;
        lo = std::max(lo, 2 * g.border);
        while (hi - lo > 1) {
            const int32_t mid = lo + (hi - lo) / 2;
            if (fitsIn(mid, mid)) {
                hi = mid;
                known = p;
            } else {
                lo = mid;
            }
        }
        p = known;
        consider(hi, hi);
        return true;
    }
    // Power-of-two sheets, smallest area first, squarer first among equal areas.
    std::vector<std::pair<int32_t, int32_t>> sizes;
    for (int64_t w = 1; w <= g.maxW; w *= 2)
        for (int64_t h = 1; h <= g.maxH; h *= 2)
            if (int64_t(g.bin(int32_t(w))) * g.bin(int32_t(h)) >= least)
                sizes.emplace_back(int32_t(w), int32_t(h));
    std::stable_sort(sizes.begin(), sizes.end(), [](const auto& a, const auto& b) {
        const int64_t aa = int64_t(a.first) * a.second, ba = int64_t(b.first) * b.second;
        if (aa != ba) return aa < ba;
        return std::max(a.first, a.second) < std::max(b.first, b.second);
    });
    for (const auto& [w, h] : sizes)
        if (fitsIn(w, h)) {
            // The content may need less than the size tried in one direction.
            consider(std::min<int32_t>(w, int32_t(ceilPot(g.sheet(p.right)))),
                     std::min<int32_t>(h, int32_t(ceilPot(g.sheet(p.bottom)))));
            return true;
        }
    return false;
}

uint64_t pixelHash(const PackSprite& s, const TxRect& r) {
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](uint64_t v) {
        h ^= v;
        h *= 1099511628211ull;
    };
    mix(uint64_t(r.width()));
    mix(uint64_t(r.height()));
    for (int y = r.top; y < r.bottom; ++y) {
        const uint32_t* row = s.pixels.data() + size_t(y) * size_t(s.width);
        for (int x = r.left; x < r.right; ++x) mix(row[x]);
    }
    return h;
}

bool samePixels(const PackSprite& a, const TxRect& ra, const PackSprite& b, const TxRect& rb) {
    if (ra.width() != rb.width() || ra.height() != rb.height()) return false;
    for (int y = 0; y < ra.height(); ++y) {
        const uint32_t* pa = a.pixels.data() + size_t(ra.top + y) * size_t(a.width) + ra.left;
        const uint32_t* pb = b.pixels.data() + size_t(rb.top + y) * size_t(b.width) + rb.left;
        if (!std::equal(pa, pa + ra.width(), pb)) return false;
    }
    return true;
}

}  // namespace

PackResult packSprites(const std::vector<PackSprite>& sprites, const PackOptions& o) {
    PackResult res;
    std::string why;
    if (!o.valid(&why)) {
        res.status = PACK_BAD_OPTIONS;
        res.error = why;
        return res;
    }
    if (sprites.empty()) {
        res.status = PACK_EMPTY;
        res.error = "no sprites to pack";
        return res;
    }
    std::vector<int> byName(sprites.size());
    std::iota(byName.begin(), byName.end(), 0);
    std::stable_sort(byName.begin(), byName.end(), [&](int a, int b) {
        return sprites[size_t(a)].name < sprites[size_t(b)].name;
    });
    const bool readPixels = o.trim != PackTrim::None || o.aliasDuplicates;
    for (size_t k = 0; k < byName.size(); ++k) {
        const PackSprite& s = sprites[size_t(byName[k])];
        if (k > 0 && sprites[size_t(byName[k - 1])].name == s.name) {
            res.status = PACK_SAME_NAME;
            res.error = "two sprites are named '" + s.name +
                        "': " + sprites[size_t(byName[k - 1])].file + " and " + s.file;
            return res;
        }
        if (s.width < 1 || s.height < 1 ||
            (readPixels && s.pixels.size() != size_t(s.width) * size_t(s.height))) {
            res.status = PACK_BAD_SPRITE;
            res.error = (s.file.empty() ? s.name : s.file) + ": the sprite has no pixels";
            return res;
        }
    }

    // Trim, then find the duplicates among the trimmed pixels.
    res.sprites.resize(byName.size());
    std::vector<TxRect> cut(byName.size());
    std::vector<uint64_t> hashes(byName.size(), 0);
    std::vector<int> owners;  // sprites that get a rectangle of their own
    for (size_t k = 0; k < byName.size(); ++k) {
        const PackSprite& s = sprites[size_t(byName[k])];
        PackedSprite& p = res.sprites[k];
        p.name = s.name;
        p.input = byName[k];
        cut[k] = o.trim == PackTrim::None ? TxRect{0, 0, s.width, s.height}
                                          : packTrimRect(s, o.alphaThreshold);
        p.width = cut[k].width();
        p.height = cut[k].height();
        if (o.trim == PackTrim::Crop) {
            p.sourceWidth = p.width;
            p.sourceHeight = p.height;
        } else {
            p.sourceWidth = s.width;
            p.sourceHeight = s.height;
            p.offsetX = cut[k].left;
            p.offsetY = cut[k].top;
        }
        p.trimmed = p.width != p.sourceWidth || p.height != p.sourceHeight;
        if (o.aliasDuplicates) {
            hashes[k] = pixelHash(s, cut[k]);
            for (int ow : owners)
                if (hashes[size_t(ow)] == hashes[k] &&
                    samePixels(sprites[size_t(byName[size_t(ow)])], cut[size_t(ow)], s, cut[k])) {
                    p.aliasOf = ow;
                    break;
                }
        }
        if (p.aliasOf < 0)
            owners.push_back(int(k));
        else
            ++res.aliases;
    }

    // The size rule shapes the largest page.
    Geometry g{o.border, o.padding, o.maxWidth, o.maxHeight, o.size};
    if (o.size == PackSize::Pot || o.size == PackSize::PotSquare) {
        g.maxW = int32_t(floorPot(g.maxW));
        g.maxH = int32_t(floorPot(g.maxH));
    }
    if (o.size == PackSize::Square || o.size == PackSize::PotSquare)
        g.maxW = g.maxH = std::min(g.maxW, g.maxH);

    std::vector<Item> items(owners.size());
    const int32_t roomW = g.maxW - 2 * o.border, roomH = g.maxH - 2 * o.border;
    for (size_t i = 0; i < owners.size(); ++i) {
        const PackedSprite& p = res.sprites[size_t(owners[i])];
        const int32_t w = p.width + 2 * o.extrude, h = p.height + 2 * o.extrude;
        const bool fits = (w <= roomW && h <= roomH) || (o.rotate && h <= roomW && w <= roomH);
        if (!fits) {
            res.status = PACK_TOO_LARGE;
            res.error = sprites[size_t(p.input)].file + ": sprite '" + p.name + "' (" +
                        std::to_string(p.width) + "x" + std::to_string(p.height) +
                        (o.extrude ? " with its extrusion" : "") +
                        ") does not fit inside a page of " + std::to_string(g.maxW) + "x" +
                        std::to_string(g.maxH) + (o.border ? " within its border" : "");
            res.sprites.clear();
            return res;
        }
        items[i] = Item{w + o.padding, h + o.padding};
    }

    Packer pk{items, o.rotate, {}};
    std::vector<int> left(items.size());
    std::iota(left.begin(), left.end(), 0);
    std::vector<Layout> layouts;
    std::vector<std::vector<int>> pageItems;
    int64_t leftArea = 0;
    for (const Item& it : items) leftArea += int64_t(it.w) * it.h;
    while (!left.empty()) {
        Layout one;
        const bool mayFit = leftArea <= int64_t(g.bin(g.maxW)) * g.bin(g.maxH);
        if (mayFit && packOnePage(pk, left, g, one)) {
            layouts.push_back(std::move(one));
            pageItems.push_back(left);
            break;
        }
        // Too much for one page: fill the largest page as fully as any rule and order can, then
        // make that page as small as its sprites allow.
        Pass fill, p;
        bool have = false;
        for (const auto& ord : orders(items, left))
            for (int r = 0; r < RULE_COUNT; ++r) {
                pk.run(ord, Rule(r), g.bin(g.maxW), g.bin(g.maxH), true, p);
                if (!have || p.area > fill.area || (p.area == fill.area && p.count > fill.count)) {
                    fill = p;
                    have = true;
                }
            }
        std::vector<int> taken, rest;
        for (int i : left) (fill.spots[size_t(i)].placed ? taken : rest).push_back(i);
        Layout page;
        if (!packOnePage(pk, taken, g, page)) {
            // The filling pass itself is a layout of the largest page.
            page.pass = fill;
            page.width = g.maxW;
            page.height = g.maxH;
        }
        for (int i : taken) leftArea -= int64_t(items[size_t(i)].w) * items[size_t(i)].h;
        layouts.push_back(std::move(page));
        pageItems.push_back(std::move(taken));
        left.swap(rest);
    }

    // Pages in the order they were filled; every sprite takes its owner's place.
    std::vector<int> itemPage(items.size(), 0);
    for (size_t pg = 0; pg < layouts.size(); ++pg) {
        PackPage page;
        page.width = layouts[pg].width;
        page.height = layouts[pg].height;
        for (int i : pageItems[pg]) {
            itemPage[size_t(i)] = int(pg);
            const Spot& s = layouts[pg].pass.spots[size_t(i)];
            PackedSprite& p = res.sprites[size_t(owners[size_t(i)])];
            p.page = int(pg);
            p.rotated = s.turned;
            const int32_t x = o.border + s.x + o.extrude, y = o.border + s.y + o.extrude;
            const int32_t w = s.turned ? p.height : p.width, h = s.turned ? p.width : p.height;
            p.rect = TxRect{x, y, x + w, y + h};
            page.usedArea += int64_t(w) * h;
        }
        res.pages.push_back(std::move(page));
    }
    for (size_t k = 0; k < res.sprites.size(); ++k) {
        PackedSprite& p = res.sprites[k];
        if (p.aliasOf >= 0) {
            const PackedSprite& owner = res.sprites[size_t(p.aliasOf)];
            p.page = owner.page;
            p.rect = owner.rect;
            p.rotated = owner.rotated;
        }
        res.pages[size_t(p.page)].sprites.push_back(int(k));
    }
    res.status = PACK_OK;
    return res;
}

bool renderPackPage(const PackResult& r, int page, const std::vector<PackSprite>& sprites,
                    const PackOptions& o, Frame& out) {
    if (page < 0 || size_t(page) >= r.pages.size()) return false;
    const PackPage& pg = r.pages[size_t(page)];
    if (!txSizeAllowed(pg.width, pg.height) || out.createBlank(pg.width, pg.height) != FE_OK)
        return false;
    uint32_t* dst = out.pixels();
    const size_t stride = size_t(pg.width);
    for (int k : pg.sprites) {
        const PackedSprite& p = r.sprites[size_t(k)];
        if (p.aliasOf >= 0) continue;
        const PackSprite& s = sprites[size_t(p.input)];
        if (s.pixels.size() != size_t(s.width) * size_t(s.height)) continue;
        // The packed pixels start here in the source (crop forgets the offset in the data, not
        // in the pixels).
        const TxRect cut = o.trim == PackTrim::None ? TxRect{0, 0, s.width, s.height}
                                                    : packTrimRect(s, o.alphaThreshold);
        const int w = p.rect.width(), h = p.rect.height();
        auto src = [&](int dx, int dy) -> uint32_t {
            int sx = dx, sy = dy;
            if (p.rotated) {
                // Clockwise: the source's top-left lands at the top right of the rectangle.
                if (o.turn == PackTurn::Clockwise) {
                    sx = dy;
                    sy = cut.height() - 1 - dx;
                } else {
                    sx = cut.width() - 1 - dy;
                    sy = dx;
                }
            }
            return s.pixels[size_t(cut.top + sy) * size_t(s.width) + size_t(cut.left + sx)];
        };
        const int e = o.extrude;
        for (int dy = -e; dy < h + e; ++dy) {
            const int y = p.rect.top + dy;
            if (y < 0 || y >= pg.height) continue;
            uint32_t* row = dst + size_t(y) * stride;
            const int cy = std::clamp(dy, 0, h - 1);
            if (!p.rotated && dy == cy) {
                // The plain row: one copy, then the extruded ends.
                const uint32_t* sr =
                    s.pixels.data() + size_t(cut.top + cy) * size_t(s.width) + cut.left;
                std::copy(sr, sr + w, row + p.rect.left);
                for (int dx = 1; dx <= e; ++dx) {
                    if (p.rect.left - dx >= 0) row[p.rect.left - dx] = sr[0];
                    if (p.rect.right - 1 + dx < pg.width) row[p.rect.right - 1 + dx] = sr[w - 1];
                }
                continue;
            }
            for (int dx = -e; dx < w + e; ++dx) {
                const int x = p.rect.left + dx;
                if (x < 0 || x >= pg.width) continue;
                row[x] = src(std::clamp(dx, 0, w - 1), cy);
            }
        }
    }
    return true;
}

PositionList packPagePositions(const PackResult& r, int page) {
    PositionList list;
    if (page < 0 || size_t(page) >= r.pages.size()) return list;
    for (int k : r.pages[size_t(page)].sprites) {
        const PackedSprite& p = r.sprites[size_t(k)];
        auto item = std::make_unique<PositionItem>(p.rect, p.name);
        item->source = TxRect{p.offsetX, p.offsetY, p.offsetX + p.width, p.offsetY + p.height};
        list.append(std::move(item));
    }
    return list;
}
