#include "view/view_render.h"

#include <algorithm>
#include <cstring>
#include <vector>

void drawGrid(ImageBuffer& overlay, int ox, int oy, int width, int height, const GridOptions& grid,
              GridMode mode) {
    if (overlay.empty()) return;
    const int r = int(grid.colour & 0xFF), g = int((grid.colour >> 8) & 0xFF),
              b = int((grid.colour >> 16) & 0xFF);
    const int ow = overlay.width(), oh = overlay.height();
    if (mode == GridMode::Normal) {
        const int xs = std::max(1, grid.xSize), ys = std::max(1, grid.ySize);
        // Whole-height and whole-width lines, cut to the rows and columns of this part.
        const int top = std::max(0, -oy), bottom = std::min(oh, height - oy);
        const int left = std::max(0, -ox), right = std::min(ow, width - ox);
        int x = grid.xOffset;
        if (x < ox) x += (ox - x) / xs * xs;
        for (; x < width && x < ox + ow; x += xs)
            if (x >= ox && top < bottom)
                overlay.blendLine(x - ox, top, x - ox, bottom, r, g, b, 128);
        int y = grid.yOffset;
        if (y < oy) y += (oy - y) / ys * ys;
        for (; y < height && y < oy + oh; y += ys)
            if (y >= oy && left < right)
                overlay.blendLine(left, y - oy, right, y - oy, r, g, b, 128);
        return;
    }
    // Diamonds of 64 x 32 whatever the grid size; rows are not staggered.
    if (height < grid.yOffset + 32) return;
    const int rows = (height - grid.yOffset) / 32;
    for (int k = 0; k < rows; ++k) {
        const int m = grid.yOffset + 16 + 32 * k;
        if (m + 16 < oy || m - 16 >= oy + oh) continue;
        for (int d = grid.xOffset; d + 64 <= width; d += 64) {
            if (d + 64 < ox) continue;
            if (d >= ox + ow) break;
            // Translated lines: the buffer ignores points outside it, and the steps of a line do
            // not depend on where it lies.
            const int x = d - ox, y = m - oy;
            overlay.blendLine(x, y - 1, x + 31, y - 16, r, g, b, 128);
            overlay.blendLine(x + 32, y - 16, x + 63, y - 1, r, g, b, 128);
            overlay.blendLine(x, y, x + 31, y + 15, r, g, b, 128);
            overlay.blendLine(x + 32, y + 15, x + 63, y, r, g, b, 128);
        }
    }
}

namespace {

// A transparent pixel over a chequer board of 8-pixel cells (the optional display).
uint32_t overChequer(uint32_t c, int lx, int ly) {
    const uint32_t a = c >> 24;
    const uint32_t k = ((lx >> 3) + (ly >> 3)) & 1 ? 204u : 255u;
    auto mix = [&](uint32_t v) { return (v * a + k * (255 - a) + 127) / 255; };
    return 0xFF000000u | mix((c >> 16) & 0xFF) << 16 | mix((c >> 8) & 0xFF) << 8 | mix(c & 0xFF);
}

}  // namespace

void renderView(const ViewState& view, ImageBuffer& out) {
    const int cw = view.clientWidth(), ch = view.clientHeight();
    if (cw <= 0 || ch <= 0) {
        out.release();
        return;
    }
    if (out.width() != cw || out.height() != ch || out.empty())
        if (!out.create(cw, ch)) return;
    const uint32_t bg = ViewState::kBackground;
    const ImageBuffer& src = view.shownSurface();
    // Below 100% (shrink s) every s-th image pixel is shown: logical x is image x / s.
    const int z = view.zoom(), s = view.shrink(), sx = view.scrollX(), sy = view.scrollY();
    const int iw = src.width(), ih = src.height();
    // The visible part in logical pixels, snapped outward to whole image pixels.
    const int lx0 = sx, ly0 = sy;
    const int lx1 = std::min(sx + cw, (iw * z + s - 1) / s);
    const int ly1 = std::min(sy + ch, (ih * z + s - 1) / s);
    if (src.empty() || lx0 >= lx1 || ly0 >= ly1) {
        std::fill(out.pixels(), out.pixels() + size_t(cw) * size_t(ch), bg);
        return;
    }
    const int ix0 = lx0 * s / z, iy0 = ly0 * s / z;
    const int ix1 = std::min(iw, ((lx1 - 1) * s) / z + 1);
    const int iy1 = std::min(ih, ((ly1 - 1) * s) / z + 1);

    // The grid goes into a scratch copy of the visible part only, so the shown surfaces stay
    // clean and a large picture costs no more than the window shows.
    // Kept between frames: the visible part rarely changes size, and new memory costs page faults.
    thread_local ImageBuffer overlay;
    const uint32_t* base = src.pixels();
    size_t pitch = size_t(iw);
    int bx = 0, by = 0;
    const int ow = ix1 - ix0, oh = iy1 - iy0;
    if (view.gridVisible() &&
        ((overlay.width() == ow && overlay.height() == oh && !overlay.empty()) ||
         overlay.create(ow, oh))) {
        for (int y = iy0; y < iy1; ++y)
            std::memcpy(&overlay.at(0, y - iy0),
                        src.pixels() + size_t(y) * size_t(iw) + size_t(ix0), size_t(ix1 - ix0) * 4);
        drawGrid(overlay, ix0, iy0, iw, ih, view.gridOptions(), view.gridMode());
        base = overlay.pixels();
        pitch = size_t(overlay.width());
        bx = ix0;
        by = iy0;
    }
    const bool chequer = view.preferences().chequer && !view.maskShown() && view.channels() == 7;

    const int visibleW = lx1 - lx0;  // device columns showing the picture
    int lastRow = -1;
    for (int dy = 0; dy < ch; ++dy) {
        uint32_t* o = &out.at(0, dy);
        const int ly = sy + dy;
        if (ly >= ly1) {
            std::fill(o, o + cw, bg);
            continue;
        }
        const int iy = ly * s / z;
        if (iy == lastRow && !chequer) {
            // The same image row as the line above: copy the finished line.
            std::memcpy(o, o - cw, size_t(cw) * 4);
            continue;
        }
        lastRow = iy;
        const uint32_t* row = base + size_t(iy - by) * pitch - size_t(bx);
        if (chequer) {
            for (int dx = 0; dx < visibleW; ++dx)
                o[dx] = overChequer(row[(sx + dx) * s / z], sx + dx, ly);
        } else if (s > 1) {
            for (int dx = 0; dx < visibleW; ++dx) o[dx] = row[(sx + dx) * s] | 0xFF000000u;
        } else if (z == 1) {
            for (int dx = 0; dx < visibleW; ++dx) o[dx] = row[sx + dx] | 0xFF000000u;
        } else {
            int dx = 0;
            int ix = sx / z;
            int run = z - sx % z;  // the first block may be cut by the scroll position
            while (dx < visibleW) {
                const uint32_t c = row[ix] | 0xFF000000u;
                const int n = std::min(run, visibleW - dx);
                std::fill(o + dx, o + dx + n, c);
                dx += n;
                ++ix;
                run = z;
            }
        }
        std::fill(o + visibleW, o + cw, bg);
    }

    // Selection outline: every pixel of the ring inverted once, in logical pixels.
    const TxRect& sel = view.selection();
    if (!sel.empty()) {
        const int l = view.toLogical(sel.left), t = view.toLogical(sel.top);
        const int r = std::max(l, (sel.right * z + s - 1) / s - 1);
        const int b = std::max(t, (sel.bottom * z + s - 1) / s - 1);
        auto invert = [&](int lx, int ly) {
            const int dx = lx - sx, dy = ly - sy;
            if (dx >= 0 && dy >= 0 && dx < cw && dy < ch) out.at(dx, dy) ^= 0x00FFFFFFu;
        };
        for (int x = l; x <= r; ++x) {
            invert(x, t);
            if (b != t) invert(x, b);
        }
        for (int y = t + 1; y < b; ++y) {
            invert(l, y);
            if (r != l) invert(r, y);
        }
    }
}
