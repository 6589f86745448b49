// Exact pixels of the rendered view: channels, both grids, zoom with the selection outline, the
// background, the greyed snapshot of an inactive window and the windows' titles.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>

#include "document/document.h"
#include "view/inactive_window.h"
#include "view/view_render.h"
#include "view/view_state.h"

namespace {

std::unique_ptr<CBitmapDoc> makeDoc(int w, int h, const std::function<uint32_t(int, int)>& fill) {
    auto doc = std::make_unique<CBitmapDoc>();
    auto seq = std::make_unique<FrameSequence>();
    seq->addBlankFrames(w, h, 1);
    uint32_t* px = seq->frameAt(0)->pixels();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px[y * w + x] = fill(x, y);
    doc->setFrames(std::move(seq));
    return doc;
}

// The whole picture at the view's zoom, as tarquil-cli render shows it.
void renderWhole(ViewState& v, ImageBuffer& out) {
    v.setViewport(0, 0, v.totalWidth(), v.totalHeight());
    renderView(v, out);
}

uint32_t blue(int, int) { return 0x000000FFu; }

}  // namespace

TEST(ViewRender, ChannelsAreShownOpaqueThroughTheMask) {
    auto doc = makeDoc(2, 1, [](int x, int) { return x ? 0x80123456u : 0x00FFEEDDu; });
    ViewState v(doc.get(), ViewPreferences{});
    ImageBuffer out;
    const struct {
        int set;
        uint32_t p0, p1;
    } cases[] = {
        {7, 0xFFFFEEDDu, 0xFF123456u}, {4, 0xFFFF0000u, 0xFF120000u}, {2, 0xFF00EE00u, 0xFF003400u},
        {1, 0xFF0000DDu, 0xFF000056u}, {3, 0xFF00EEDDu, 0xFF003456u}, {5, 0xFFFF00DDu, 0xFF120056u},
        {6, 0xFFFFEE00u, 0xFF123400u},
    };
    for (const auto& c : cases) {
        v.setChannels(c.set);
        renderWhole(v, out);
        ASSERT_EQ(out.width(), 2);
        EXPECT_EQ(out.at(0, 0), c.p0) << c.set;
        EXPECT_EQ(out.at(1, 0), c.p1) << c.set;
    }
    // The mask: alpha as grey.
    v.toggleAlpha();
    renderWhole(v, out);
    EXPECT_EQ(out.at(0, 0), 0xFF000000u);
    EXPECT_EQ(out.at(1, 0), 0xFF808080u);
    // The optional chequer board: a transparent pixel shows the board, half alpha is mixed.
    v.setChannels(7);
    ViewPreferences prefs;
    prefs.chequer = true;
    v.setPreferences(prefs);
    renderWhole(v, out);
    EXPECT_EQ(out.at(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(out.at(1, 0), 0xFF8899AAu);
}

TEST(ViewRender, NormalGridLinesBlendAtHalfWeight) {
    auto doc = makeDoc(40, 20, blue);
    ViewState v(doc.get(), ViewPreferences{});
    GridOptions g;
    g.xSize = 16;
    g.xOffset = 5;
    g.ySize = 8;
    g.yOffset = 3;
    v.setGridOptions(g);
    v.toggleGrid();
    ImageBuffer out;
    renderWhole(v, out);
    const uint32_t line = 0xFF7F40BFu, cross = 0xFFBF609Fu, plain = 0xFF0000FFu;
    for (int x = 0; x < 40; ++x) {
        const bool vertical = x == 5 || x == 21 || x == 37;
        EXPECT_EQ(out.at(x, 0), vertical ? line : plain) << x;
        EXPECT_EQ(out.at(x, 3), vertical ? cross : line) << x;  // crossings are blended twice
        EXPECT_EQ(out.at(x, 11), vertical ? cross : line) << x;
        EXPECT_EQ(out.at(x, 19), vertical ? cross : line) << x;  // the last row is drawn
    }
    EXPECT_EQ(out.at(0, 4), plain);
    // The shown surface itself stays clean.
    EXPECT_EQ(v.colourSurface().at(5, 0), 0x000000FFu);

    // A scrolled part at zoom 2 equals the same part of the whole picture.
    v.setZoom(2);
    ImageBuffer whole, part;
    renderWhole(v, whole);
    v.setViewport(23, 9, 31, 17);
    renderView(v, part);
    ASSERT_EQ(part.width(), 31);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 31; ++x)
            ASSERT_EQ(part.at(x, y), whole.at(x + 23, y + 9)) << x << "," << y;
}

TEST(ViewRender, IsometricDiamonds) {
    ViewPreferences iso;
    iso.startMode = 1;
    auto doc = makeDoc(130, 70, blue);
    ViewState v(doc.get(), iso);
    ASSERT_EQ(v.gridMode(), GridMode::Isometric);
    v.toggleGrid();
    ImageBuffer out;
    renderWhole(v, out);
    const uint32_t line = 0xFF7F40BFu, plain = 0xFF0000FFu;
    // Row 0, m = 16: (0, 15) to (31, 0) without its end point, then (32, 0) to (63, 15).
    EXPECT_EQ(out.at(0, 15), line);
    EXPECT_EQ(out.at(2, 14), line);
    EXPECT_EQ(out.at(1, 14), plain);
    EXPECT_EQ(out.at(31, 0), plain);
    EXPECT_EQ(out.at(32, 0), line);
    EXPECT_EQ(out.at(63, 15), plain);
    EXPECT_EQ(out.at(0, 16), line);
    EXPECT_EQ(out.at(32, 31), line);
    EXPECT_EQ(out.at(63, 16), plain);
    // The second diamond of the row starts at 64, the third would end at 192 > 130.
    EXPECT_EQ(out.at(64, 15), line);
    EXPECT_EQ(out.at(128, 15), plain);
    // Two rows: the second has m = 48; nothing below row 63.
    EXPECT_EQ(out.at(0, 47), line);
    EXPECT_EQ(out.at(0, 48), line);
    for (int y = 64; y < 70; ++y)
        for (int x = 0; x < 130; ++x) ASSERT_EQ(out.at(x, y), plain) << x << "," << y;
    // Too low for one row: nothing at all.
    auto flat = makeDoc(130, 31, blue);
    ViewState f(flat.get(), iso);
    f.toggleGrid();
    renderWhole(f, out);
    for (int y = 0; y < 31; ++y)
        for (int x = 0; x < 130; ++x) ASSERT_EQ(out.at(x, y), plain) << x << "," << y;
}

TEST(ViewRender, ZoomedSelectionOutlineAndBackground) {
    auto doc = makeDoc(3, 2, [](int x, int y) { return 0x00101010u * uint32_t(1 + x + 3 * y); });
    ViewState v(doc.get(), ViewPreferences{});
    v.setZoom(3);
    v.setSelection(TxRect{1, 0, 2, 2});
    v.setViewport(0, 0, 11, 7);  // wider and higher than the 9 x 6 picture
    ImageBuffer out;
    renderView(v, out);
    ASSERT_EQ(out.width(), 11);
    ASSERT_EQ(out.height(), 7);
    auto pixel = [](int x, int y) { return 0xFF000000u | 0x00101010u * uint32_t(1 + x + 3 * y); };
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 11; ++x) {
            uint32_t want = x >= 9 || y >= 6 ? ViewState::kBackground : pixel(x / 3, y / 3);
            // Outline (3, 0)-(5, 5): the ring of the zoomed selection, inverted.
            const bool ring =
                (x == 3 || x == 5) && y <= 5 ? true : (y == 0 || y == 5) && x >= 3 && x <= 5;
            if (ring) want ^= 0x00FFFFFFu;
            ASSERT_EQ(out.at(x, y), want) << x << "," << y;
        }
}

TEST(InactiveWindow, SnapshotIsAveragedWithTheLightTile) {
    // The tile: grey levels 204 to 213 only, not all alike, repeated every 256 pixels.
    std::set<int> levels;
    for (int y = 0; y < kBackgroundTileSize; ++y)
        for (int x = 0; x < kBackgroundTileSize; ++x) {
            const int g = backgroundTileGrey(x, y);
            ASSERT_GE(g, 204);
            ASSERT_LE(g, 213);
            levels.insert(g);
        }
    EXPECT_EQ(levels.size(), 10u);
    // The view's background (60, 60, 70) becomes (30 + g / 2, 30 + g / 2, 35 + g / 2): about
    // 132, a light grey, not the halved (30, 30, 35) of a cleared buffer.
    ImageBuffer shot;
    ASSERT_EQ(shot.create(300, 2), 1);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 300; ++x) shot.at(x, y) = 0xFF3C3C46u;
    shot.at(5, 1) = 0xFFFF8041u;
    greySnapshot(shot);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 300; ++x) {
            const uint32_t h = backgroundTileGrey(x % 256, y) >> 1;
            const uint32_t want = x == 5 && y == 1
                                      ? (0x7Fu + h) << 16 | (0x40u + h) << 8 | (0x20u + h)
                                      : (30u + h) << 16 | (30u + h) << 8 | (35u + h);
            ASSERT_EQ(shot.at(x, y), want) << x << "," << y;
        }
    EXPECT_GE((shot.at(0, 0) >> 16) & 0xFF, 132u);
    EXPECT_LE((shot.at(0, 0) >> 16) & 0xFF, 136u);
}

TEST(InactiveWindow, SeveralWindowsNumberedAfterTheDocumentName) {
    const std::string walk = "walk.tga                 Frame 3:12";
    EXPECT_EQ(childWindowTitle(walk, 1, 1, false), walk);
    EXPECT_EQ(childWindowTitle(walk, 1, 2, false), "walk.tga:1               Frame 3:12");
    EXPECT_EQ(childWindowTitle(walk, 2, 2, true), "walk.tga:2               Frame 3:12 *");
    // A name of the full 24 characters keeps all of it and its number.
    EXPECT_EQ(childWindowTitle("a_very_long_document_nam Frame 1:1", 2, 2, false),
              "a_very_long_document_nam:2 Frame 1:1");
    // A title without a frame position takes the number at its end.
    EXPECT_EQ(childWindowTitle("DejaVu Sans Regular 11pt", 1, 2, false),
              "DejaVu Sans Regular 11pt:1");
}
