#include "tools/poslist/arrange.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "texlib/mip.h"

namespace {

constexpr int64_t kInf = std::numeric_limits<int64_t>::max();

int64_t itemWidth(const PositionItem& it) { return int64_t(it.rect.right) - it.rect.left; }
int64_t itemHeight(const PositionItem& it) { return int64_t(it.rect.bottom) - it.rect.top; }

TxRect normalised(TxRect r) {
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    return r;
}

// Places an item at (x, y), remembering where it came from.
PositionItem movedTo(const PositionItem& it, int64_t x, int64_t y) {
    PositionItem out(it);
    out.source = it.rect;
    out.rect =
        TxRect{int32_t(x), int32_t(y), int32_t(x + itemWidth(it)), int32_t(y + itemHeight(it))};
    return out;
}

// ---- MaxRects -------------------------------------------------------------------------------

struct Box {
    int64_t x, y, w, h;
};

bool intersects(const Box& a, const Box& b) {
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

bool contains(const Box& outer, const Box& inner) {
    return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.w <= outer.x + outer.w &&
           inner.y + inner.h <= outer.y + outer.h;
}

// The free space of one sheet as maximal free rectangles (they may overlap each other).
class MaxRectsBin {
public:
    MaxRectsBin(int64_t w, int64_t h) { free_.push_back(Box{0, 0, w, h}); }

    // Best short side fit: the free rectangle whose shorter leftover side is smallest, ties broken
    // by the longer leftover side. No rotation: sprites are copied as they are.
    bool insert(int64_t w, int64_t h, int64_t& x, int64_t& y) {
        int64_t bestShort = kInf, bestLong = kInf;
        size_t best = free_.size();
        for (size_t i = 0; i < free_.size(); ++i) {
            const Box& f = free_[i];
            if (w > f.w || h > f.h) continue;
            const int64_t lw = f.w - w, lh = f.h - h;
            const int64_t s = std::min(lw, lh), l = std::max(lw, lh);
            if (s < bestShort || (s == bestShort && l < bestLong)) {
                bestShort = s;
                bestLong = l;
                best = i;
            }
        }
        if (best == free_.size()) return false;
        x = free_[best].x;
        y = free_[best].y;
        if (w > 0 && h > 0) occupy(Box{x, y, w, h});
        return true;
    }

private:
    void occupy(const Box& used) {
        fresh_.clear();
        for (size_t i = 0; i < free_.size();) {
            if (!intersects(free_[i], used)) {
                ++i;
                continue;
            }
            split(free_[i], used);
            free_[i] = free_.back();
            free_.pop_back();
        }
        // An untouched free rectangle never lies inside a piece of a split one (the pieces lie
        // inside rectangles that were already maximal), so only the pieces need checking.
        dropped_.assign(fresh_.size(), false);
        for (size_t i = 0; i < fresh_.size(); ++i) {
            for (const Box& f : free_)
                if (contains(f, fresh_[i])) {
                    dropped_[i] = true;
                    break;
                }
            if (dropped_[i]) continue;
            for (size_t j = 0; j < fresh_.size(); ++j)
                if (j != i && !dropped_[j] && contains(fresh_[j], fresh_[i])) {
                    dropped_[i] = true;
                    break;
                }
        }
        for (size_t i = 0; i < fresh_.size(); ++i)
            if (!dropped_[i]) free_.push_back(fresh_[i]);
    }

    void split(const Box& f, const Box& u) {
        if (u.y > f.y) fresh_.push_back(Box{f.x, f.y, f.w, u.y - f.y});
        if (u.y + u.h < f.y + f.h)
            fresh_.push_back(Box{f.x, u.y + u.h, f.w, f.y + f.h - u.y - u.h});
        if (u.x > f.x) fresh_.push_back(Box{f.x, f.y, u.x - f.x, f.h});
        if (u.x + u.w < f.x + f.w)
            fresh_.push_back(Box{u.x + u.w, f.y, f.x + f.w - u.x - u.w, f.h});
    }

    std::vector<Box> free_, fresh_;
    std::vector<bool> dropped_;
};

struct PackTry {
    std::vector<int64_t> x, y;  // per item of the order
    int64_t right = 0, bottom = 0;
};

// Packs the items in the given order into one bin; false when one does not fit.
bool packInto(const std::vector<PositionItem>& items, const std::vector<size_t>& order,
              int64_t padding, int64_t binW, int64_t binH, PackTry& out) {
    MaxRectsBin bin(binW, binH);
    out.x.assign(order.size(), 0);
    out.y.assign(order.size(), 0);
    out.right = out.bottom = 0;
    for (size_t k = 0; k < order.size(); ++k) {
        const PositionItem& it = items[order[k]];
        const int64_t w = itemWidth(it), h = itemHeight(it);
        // An empty item needs no room (and a full sheet has no free rectangle left to hold it).
        if (w == 0 || h == 0) continue;
        if (!bin.insert(w + padding, h + padding, out.x[k], out.y[k])) return false;
        out.right = std::max(out.right, out.x[k] + w);
        out.bottom = std::max(out.bottom, out.y[k] + h);
    }
    return true;
}

}  // namespace

int64_t arrangeSortKey(const PositionItem& item, int maxWidth, int maxHeight) {
    if (maxWidth != 0 && maxHeight == 0) return itemWidth(item);
    if (maxWidth == 0 && maxHeight != 0) return itemHeight(item);
    return itemWidth(item) * itemHeight(item);
}

void arrangeSort(std::vector<PositionItem>& items, int maxWidth, int maxHeight) {
    // A stable sort gives exactly the order of the neighbour-swapping exchange sort, without its
    // quadratic time on long lists.
    std::stable_sort(items.begin(), items.end(), [&](const PositionItem& a, const PositionItem& b) {
        return arrangeSortKey(a, maxWidth, maxHeight) > arrangeSortKey(b, maxWidth, maxHeight);
    });
}

bool packRows(std::vector<PositionItem>& work, int64_t maxWidth, int64_t maxHeight,
              std::vector<PositionItem>& placed, int64_t& usedRight, int64_t& usedBottom) {
    const bool autoW = maxWidth <= 0, autoH = maxHeight <= 0;
    if (autoW || autoH) {
        int64_t sum = 0;
        for (const auto& it : work) sum += std::max(itemWidth(it), itemHeight(it));
        if (autoW) maxWidth = sum / 2;
        if (autoH) maxHeight = sum / 2;
    }
    // The used area U keeps its left and top edges at 0.
    int64_t uRight = 0, uBottom = 0;
    std::vector<PositionItem> rest;
    while (!work.empty()) {
        const int64_t w0 = itemWidth(work.front()), h0 = itemHeight(work.front());
        int64_t rLeft = 0, rTop = 0;
        if (uRight + w0 <= maxWidth && uBottom + h0 <= maxHeight) {
            rLeft = uRight;
        } else if (autoW && !autoH) {
            rLeft = uRight;
            uRight += w0;
        } else if (autoW && autoH) {
            if (uRight >= uBottom) {
                rTop = uBottom;
                uBottom += h0;
            } else {
                rLeft = uRight;
                uRight += w0;
            }
        } else if (!autoW && autoH) {
            rTop = uBottom;
            uBottom += h0;
        } else {
            if (uRight + w0 > maxWidth && uBottom + h0 > maxHeight) {
                usedRight = uRight;
                usedBottom = uBottom;
                return false;
            }
            if (uBottom + h0 <= maxHeight) {
                rTop = uBottom;
                uBottom += h0;
            } else {
                rLeft = uRight;
                uRight += w0;
            }
        }
        // The row reaches to the width limit, or past it when its first item is wider.
        int64_t remaining = std::max(rLeft + w0, maxWidth) - rLeft;
        rest.clear();
        for (auto& it : work) {
            const int64_t w = itemWidth(it);
            if (w > remaining) {
                rest.push_back(std::move(it));
                continue;
            }
            placed.push_back(movedTo(it, rLeft, rTop));
            rLeft += w;
            remaining -= w;
            uBottom = std::max(uBottom, rTop + itemHeight(it));
            uRight = std::max(uRight, rLeft);
        }
        work.swap(rest);
    }
    usedRight = uRight;
    usedBottom = uBottom;
    return true;
}

bool packMaxRects(const std::vector<PositionItem>& items, int maxWidth, int maxHeight, int padding,
                  std::vector<PositionItem>& placed, int64_t& canvasWidth, int64_t& canvasHeight) {
    const bool autoW = maxWidth <= 0, autoH = maxHeight <= 0;
    const int64_t pad = std::max(padding, 0);
    canvasWidth = autoW ? 0 : maxWidth;
    canvasHeight = autoH ? 0 : maxHeight;
    if (items.empty()) return true;

    int64_t area = 0, sumW = 0, sumH = 0, widest = 0, tallest = 0;
    for (const auto& it : items) {
        const int64_t w = itemWidth(it) + pad, h = itemHeight(it) + pad;
        area += w * h;
        sumW += w;
        sumH += h;
        widest = std::max(widest, w);
        tallest = std::max(tallest, h);
    }
    // The padding of the last column and row would lie outside the sheet, so the bin is that
    // much larger than the sheet.
    if (!autoW && widest > maxWidth + pad) return false;
    if (!autoH && tallest > maxHeight + pad) return false;

    // Sheet widths to try. A free height (sum of heights) always holds every item.
    std::vector<int64_t> widths;
    if (!autoW) {
        widths.push_back(maxWidth + pad);
    } else {
        const double target =
            autoH ? std::sqrt(double(area)) : double(area) / double(maxHeight + pad);
        static const double kFactors[] = {0.9, 0.95, 1.0, 1.05, 1.1, 1.15,
                                          1.2, 1.3,  1.4, 1.6,  1.8, 2.0};
        for (double f : kFactors)
            widths.push_back(std::clamp(int64_t(std::llround(target * f)), widest, sumW));
        if (!autoH) widths.push_back(sumW);  // one row: fits whenever the tallest item does
        std::sort(widths.begin(), widths.end());
        widths.erase(std::unique(widths.begin(), widths.end()), widths.end());
    }
    const int64_t binH = autoH ? sumH : maxHeight + pad;

    // Orders to try: largest area, longest side and tallest first.
    std::vector<std::vector<size_t>> orders(3);
    for (auto& o : orders) {
        o.resize(items.size());
        for (size_t i = 0; i < o.size(); ++i) o[i] = i;
    }
    auto byKey = [&](std::vector<size_t>& o, auto key) {
        std::stable_sort(o.begin(), o.end(),
                         [&](size_t a, size_t b) { return key(items[a]) > key(items[b]); });
    };
    byKey(orders[0], [](const PositionItem& it) { return itemWidth(it) * itemHeight(it); });
    byKey(orders[1],
          [](const PositionItem& it) { return std::max(itemWidth(it), itemHeight(it)); });
    byKey(orders[2], [](const PositionItem& it) { return itemHeight(it); });

    bool found = false;
    double bestArea = 0;
    int64_t bestSide = 0;
    PackTry best, attempt;
    size_t bestOrder = 0;
    for (size_t o = 0; o < orders.size(); ++o) {
        for (int64_t binW : widths) {
            if (!packInto(items, orders[o], pad, binW, binH, attempt)) continue;
            const int64_t cw = autoW ? attempt.right : maxWidth;
            const int64_t ch = autoH ? attempt.bottom : maxHeight;
            const double a = double(cw) * double(ch);
            // Of two sheets of the same area the squarer one is easier to use.
            const int64_t side = std::max(cw, ch);
            if (!found || a < bestArea || (a == bestArea && side < bestSide)) {
                found = true;
                bestArea = a;
                bestSide = side;
                best = attempt;
                bestOrder = o;
                canvasWidth = cw;
                canvasHeight = ch;
            }
        }
    }
    if (!found) return false;
    for (size_t k = 0; k < items.size(); ++k)
        placed.push_back(movedTo(items[orders[bestOrder][k]], best.x[k], best.y[k]));
    return true;
}

ArrangeResult arrangeItems(const PositionList& list, int maxWidth, int maxHeight, int method,
                           int padding) {
    ArrangeResult r;
    maxWidth = std::max(maxWidth, 0);
    maxHeight = std::max(maxHeight, 0);
    std::vector<PositionItem> work;
    work.reserve(list.size());
    for (int i = 0; i < list.count(); ++i)
        work.emplace_back(normalised(list.at(i).rect), list.at(i).name);

    if (method == ARRANGE_MAXRECTS) {
        r.ok = packMaxRects(work, maxWidth, maxHeight, padding, r.placed, r.canvasWidth,
                            r.canvasHeight);
        if (!r.ok) {
            r.placed.clear();
            for (const PositionItem& it : work)
                if ((maxWidth && it.width() > maxWidth) || (maxHeight && it.height() > maxHeight)) {
                    r.hasMisfit = true;
                    r.misfit = it;
                    break;
                }
        }
        return r;
    }
    arrangeSort(work, maxWidth, maxHeight);
    int64_t usedRight = 0, usedBottom = 0;
    r.ok = packRows(work, maxWidth, maxHeight, r.placed, usedRight, usedBottom);
    if (!r.ok) {
        r.placed.clear();
        if (!work.empty()) {
            r.hasMisfit = true;
            r.misfit = work.front();
        }
        return r;
    }
    r.canvasWidth = maxWidth != 0 ? maxWidth : usedRight;
    r.canvasHeight = maxHeight != 0 ? maxHeight : usedBottom;
    // The rows may put an item past a fixed side (one wider than the fixed width, or a row item
    // reaching below the fixed height): its rectangle would point outside the sheet, so such a
    // layout is refused like the others that do not fit.
    for (const PositionItem& it : r.placed)
        if (it.rect.right > r.canvasWidth || it.rect.bottom > r.canvasHeight) {
            r.ok = false;
            r.hasMisfit = true;
            r.misfit = PositionItem(it.source, it.name);
            r.placed.clear();
            break;
        }
    return r;
}

bool arrangeCanvasAllowed(const ArrangeResult& r) {
    return txSizeAllowed(r.canvasWidth, r.canvasHeight);
}

void copyArrangedPixels(const Frame& src, Frame& dst, const std::vector<PositionItem>& placed) {
    for (const auto& it : placed) dst.copyRect(src, it.source, it.rect);
}

double arrangeOccupancy(const ArrangeResult& r) {
    if (r.canvasWidth <= 0 || r.canvasHeight <= 0) return 0;
    double used = 0;
    for (const auto& it : r.placed) used += double(it.width()) * double(it.height());
    return used / (double(r.canvasWidth) * double(r.canvasHeight));
}
