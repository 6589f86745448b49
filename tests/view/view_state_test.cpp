// The view's rules without a window: selection, drags, snapping, keys, zoom, channels, grid,
// auto-scroll and status texts.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/document.h"
#include "view/view_state.h"

namespace {

// A document of one w x h frame (or n frames) filled by fill(x, y).
std::unique_ptr<CBitmapDoc> makeDoc(int w, int h, const std::function<uint32_t(int, int)>& fill,
                                    int n = 1) {
    auto doc = std::make_unique<CBitmapDoc>();
    auto seq = std::make_unique<FrameSequence>();
    seq->addBlankFrames(w, h, n);
    for (int k = 0; k < n; ++k) {
        uint32_t* px = seq->frameAt(k)->pixels();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) px[y * w + x] = fill(x, y);
    }
    doc->setFrames(std::move(seq));
    return doc;
}

uint32_t coord(int x, int y) { return 0xFF000000u | uint32_t(y) << 8 | uint32_t(x); }

struct RecordingHost : ViewHost {
    void message(const std::string& t) override { messages.push_back(t); }
    void autoScrollTimer(bool run) override { timer = run; }
    void scrollTo(int x, int y) override { scrolled = ViewPoint{x, y}; }
    void captionDrag() override { ++captionDrags; }
    std::vector<std::string> messages;
    bool timer = false;
    ViewPoint scrolled{-1, -1};
    int captionDrags = 0;
};

struct Drop : PasteTarget {
    void pasteDrop(const TxRect& r) override { dropped.push_back(r); }
    void pasteCancelled() override { ++cancelled; }
    std::vector<TxRect> dropped;
    int cancelled = 0;
};

}  // namespace

TEST(ViewSelection, DragKeepsTheStartPixelAndStepsWholeFrames) {
    auto doc = makeDoc(40, 30, coord);
    RecordingHost host;
    ViewState v(doc.get(), ViewPreferences{}, &host);
    // Dragging leftwards includes the start column; rightwards excludes the one under the mouse.
    v.leftDown(10, 10, false);
    EXPECT_TRUE(v.dragging());
    EXPECT_TRUE(v.selection().empty());
    v.mouseMove(4, 20, true, false);
    v.leftUp(4, 20);
    EXPECT_EQ(v.mode(), ViewMode::Idle);
    EXPECT_EQ(v.selection(), (TxRect{4, 10, 11, 20}));
    // Beyond the picture the rectangle stops at its edges.
    v.beginDrag({30, 25});
    v.dragTo({90, -7}, false);
    v.endDrag();
    EXPECT_EQ(v.selection(), (TxRect{30, 0, 40, 26}));
    v.setSelection(TxRect{50, 50, -5, 12});
    EXPECT_EQ(v.selection(), (TxRect{0, 12, 40, 30}));
    v.setSelection(TxRect{45, 0, 60, 10});
    EXPECT_TRUE(v.selection().empty());
    v.selectAll();
    EXPECT_EQ(v.selection(), (TxRect{0, 0, 40, 30}));

    // Shift drags whole frames: at least one, the start edge kept, clipped to the picture.
    v.setFrameSize(16, 8);
    v.beginDrag({2, 3});
    v.dragTo({30, 5}, true);
    EXPECT_EQ(v.selection(), (TxRect{2, 3, 18, 11}));
    v.beginDrag({39, 29});
    v.dragTo({1, 20}, true);
    EXPECT_EQ(v.selection(), (TxRect{8, 22, 40, 30}));
    v.endDrag();

    // Frame 64 x 32: from (0, 0) to (100, 10) gives one frame; isometric mode steps without Shift.
    auto big = makeDoc(200, 100, coord);
    ViewPreferences prefs;
    prefs.frameWidth = 64;
    prefs.isoFrameWidth = 48;
    prefs.isoFrameHeight = 24;
    ViewState w(big.get(), prefs);
    w.beginDrag({0, 0});
    w.dragTo({100, 10}, false);
    EXPECT_EQ(w.selection(), (TxRect{0, 0, 100, 10}));
    w.dragTo({100, 10}, true);
    EXPECT_EQ(w.selection(), (TxRect{0, 0, 64, 32}));
    w.endDrag();
    w.setGridMode(GridMode::Isometric);
    EXPECT_EQ(w.frameWidth(), 48);
    w.beginDrag({10, 10});
    w.dragTo({110, 30}, false);
    EXPECT_EQ(w.selection(), (TxRect{10, 10, 106, 34}));
    // A press outside the picture starts nothing and hands over to the window frame.
    w.endDrag();
    w.leftDown(300, 10, false);
    EXPECT_EQ(w.mode(), ViewMode::Idle);
    EXPECT_EQ(w.selection(), (TxRect{10, 10, 106, 34}));
    EXPECT_EQ(host.captionDrags, 0);
    v.leftDown(41, 3, false);
    EXPECT_EQ(host.captionDrags, 1);
}

TEST(ViewSelection, ArrowKeysAndEscape) {
    auto doc = makeDoc(40, 30, coord);
    ViewState v(doc.get(), ViewPreferences{});
    using K = ViewKey;
    struct Row {
        TxRect before;
        K key;
        bool shift, ctrl;
        TxRect after;
    } rows[] = {
        {{5, 5, 9, 9}, K::Left, false, false, {4, 5, 8, 9}},  // move
        {{5, 5, 9, 9}, K::Left, true, false, {4, 5, 9, 9}},   // grow leftwards
        {{5, 5, 9, 9}, K::Left, false, true, {5, 5, 8, 9}},   // shrink from the right
        {{5, 5, 9, 9}, K::Left, true, true, {4, 5, 9, 9}},    // Shift wins
        {{0, 5, 1, 9}, K::Left, false, true, {0, 5, 1, 9}},   // one pixel wide: stays
        {{0, 5, 3, 9}, K::Left, false, false, {0, 5, 3, 9}},  // at the edge: nothing
        {{0, 5, 3, 9}, K::Left, true, false, {0, 5, 3, 9}},
        {{0, 5, 3, 9}, K::Left, false, true, {0, 5, 2, 9}},  // at the edge Ctrl shrinks
        {{5, 0, 9, 4}, K::Up, false, true, {5, 0, 9, 3}},
        {{5, 5, 9, 9}, K::Up, true, false, {5, 4, 9, 9}},
        {{5, 5, 9, 9}, K::Right, false, false, {6, 5, 10, 9}},
        {{5, 5, 9, 9}, K::Right, true, false, {5, 5, 10, 9}},
        {{5, 5, 9, 9}, K::Right, false, true, {6, 5, 9, 9}},
        {{38, 5, 40, 9}, K::Right, false, false, {38, 5, 40, 9}},
        {{38, 5, 40, 9}, K::Right, false, true, {39, 5, 40, 9}},
        {{39, 5, 40, 9}, K::Right, false, true, {39, 5, 40, 9}},
        {{5, 27, 9, 30}, K::Down, true, false, {5, 27, 9, 30}},
        {{5, 5, 9, 9}, K::Down, false, false, {5, 6, 9, 10}},
    };
    for (const Row& r : rows) {
        v.setSelection(r.before);
        EXPECT_TRUE(v.keyDown(r.key, r.shift, r.ctrl));
        EXPECT_EQ(v.selection(), r.after)
            << int(r.key) << r.shift << r.ctrl << " " << r.before.left;
    }
    // Without a selection the arrows scroll instead.
    v.clearSelection();
    EXPECT_FALSE(v.keyDown(K::Left, false, false));

    // Escape cancels a drag (selection gone) but in idle mode changes nothing.
    v.setSelection(TxRect{1, 1, 5, 5});
    EXPECT_FALSE(v.keyDown(K::Escape, false, false));
    EXPECT_EQ(v.selection(), (TxRect{1, 1, 5, 5}));
    v.beginDrag({2, 2});
    v.dragTo({8, 9}, false);
    EXPECT_TRUE(v.keyDown(K::Escape, false, false));
    EXPECT_EQ(v.mode(), ViewMode::Idle);
    EXPECT_TRUE(v.selection().empty());
}

TEST(ViewSnapping, TheThreeFormulas) {
    auto doc = makeDoc(200, 100, coord);
    ViewState v(doc.get(), ViewPreferences{});
    GridOptions g;
    g.xSize = 16;
    g.ySize = 16;
    v.setGridOptions(g);
    EXPECT_EQ(v.snapDown({7, 7}), (ViewPoint{0, 0}));
    EXPECT_EQ(v.snapDown({8, 23}), (ViewPoint{16, 16}));
    EXPECT_EQ(v.snapMove({8, 24}), (ViewPoint{16, 32}));
    g.xOffset = 5;
    g.ySize = 10;
    g.yOffset = 3;
    v.setGridOptions(g);
    EXPECT_EQ(v.snapDown({12, 7}), (ViewPoint{5, 3}));    // (12 + 8 - 5) / 16 = 0
    EXPECT_EQ(v.snapDown({13, 8}), (ViewPoint{21, 13}));  // nearest line
    v.setGridMode(GridMode::Isometric);
    v.setGridOptions(GridOptions{});
    EXPECT_EQ(v.snapDown({47, 23}), (ViewPoint{32, 16}));
    EXPECT_EQ(v.snapMove({47, 23}), (ViewPoint{32, 16}));
    EXPECT_EQ(v.snapMove({50, 23}), (ViewPoint{48, 16}));

    // With snap on, the press snaps (down formula) and the moves snap (move formula).
    v.toggleSnap();
    EXPECT_TRUE(v.snapToGrid());
    v.setGridMode(GridMode::Normal);
    g = GridOptions{};
    g.xSize = 16;
    g.ySize = 16;
    v.setGridOptions(g);
    v.leftDown(7, 9, false);
    v.mouseMove(39, 41, true, false);
    EXPECT_EQ(v.selection(), (TxRect{0, 16, 32, 48}));
    EXPECT_EQ(v.cursorPos(), (ViewPoint{32, 48}));
    v.leftUp(39, 41);
    // Character 7 (Ctrl+G) toggles snapping.
    EXPECT_TRUE(v.character(7, false));
    EXPECT_FALSE(v.snapToGrid());
}

TEST(ViewSelection, DoubleClickItemGridCellOrSprite) {
    auto doc = makeDoc(12, 10, [](int x, int y) {
        if (x == 5 && y == 4) return 0xFF00FF00u;  // a detail inside the sprite
        return x >= 3 && x < 7 && y >= 2 && y < 6 ? 0xFFFF0000u : 0xFF000000u;
    });
    ViewState v(doc.get(), ViewPreferences{});
    v.doubleClick(4, 3);
    EXPECT_EQ(v.selection(), (TxRect{3, 2, 7, 6}));
    // The background itself grows to the picture's border.
    EXPECT_TRUE(v.selectAt({0, 0}));
    EXPECT_EQ(v.selection(), (TxRect{0, 0, 12, 10}));
    EXPECT_FALSE(v.selectAt({12, 0}));

    // The grid cell under the point, clipped to the picture.
    GridOptions g;
    g.xSize = 5;
    g.ySize = 4;
    g.xOffset = 1;
    v.setGridOptions(g);
    v.toggleGrid();
    v.selectAt({9, 9});
    EXPECT_EQ(v.selection(), (TxRect{6, 8, 11, 10}));
    v.selectAt({11, 0});
    EXPECT_EQ(v.selection(), (TxRect{11, 0, 12, 4}));

    // Listed rectangles come first; of two, the one whose centre is nearer.
    doc->positions().append(TxRect{0, 0, 10, 10}, "big");
    doc->positions().append(TxRect{6, 6, 12, 10}, "small");
    v.selectAt({8, 7});
    EXPECT_EQ(v.selection(), (TxRect{6, 6, 12, 10}));
    v.selectAt({5, 5});
    EXPECT_EQ(v.selection(), (TxRect{0, 0, 10, 10}));
    // Not while a drag runs.
    v.beginDrag({1, 1});
    v.doubleClick(8, 7);
    EXPECT_TRUE(v.selection().empty());
}

TEST(ViewDisplay, ZoomScrollSizesAndCoordinates) {
    auto doc = makeDoc(100, 50, coord);
    ViewState v(doc.get(), ViewPreferences{});
    v.setZoom(3);
    EXPECT_EQ(v.totalWidth(), 300);
    EXPECT_EQ(v.totalHeight(), 150);
    EXPECT_EQ(v.pageWidth(), 25);
    EXPECT_EQ(v.pageHeight(), 12);
    EXPECT_EQ(v.lineSize(), 3);
    v.setZoom(9);
    v.setZoom(0);
    EXPECT_EQ(v.zoom(), 3);
    v.setZoom(8);
    v.zoomIn();
    EXPECT_EQ(v.zoom(), 8);
    v.setZoom(1);
    v.zoomOut();
    EXPECT_EQ(v.zoom(), 1);
    EXPECT_EQ(v.statusZoom(), "100%");
    // Device to image: a quarter pixel rounds down, a half pixel up; left of 0 stays negative.
    v.setZoom(4);
    EXPECT_EQ(v.toImage(5, 6), (ViewPoint{1, 2}));
    EXPECT_EQ(v.toImage(9, 0), (ViewPoint{2, 0}));
    EXPECT_EQ(v.toImage(-3, -1), (ViewPoint{-1, 0}));
    EXPECT_EQ(v.statusZoom(), "400%");

    // Keys m and n: the step, then the cursor's pixel in the middle of the client area.
    RecordingHost host;
    v.setHost(&host);
    v.setZoom(1);
    v.setViewport(0, 0, 40, 20);
    v.mouseMove(60, 30, false, false);
    EXPECT_TRUE(v.character(U'm', false));
    EXPECT_EQ(v.zoom(), 2);
    EXPECT_EQ(host.scrolled, (ViewPoint{100, 50}));  // 2 x 60 - 20, 2 x 30 - 10
    EXPECT_FALSE(v.character(U'm', true));           // auto-repeat ignored
    // A client area that holds the whole picture needs no scrolling.
    v.setViewport(0, 0, 400, 20);
    EXPECT_TRUE(v.character(U'p', false));
    EXPECT_EQ(host.scrolled, (ViewPoint{0, 50}));
    v.setZoom(8);
    v.setViewport(0, 0, 40, 20);
    v.character(U'M', false);  // at 8 only centres
    EXPECT_EQ(v.zoom(), 8);
    EXPECT_EQ(host.scrolled, (ViewPoint{460, 230}));
    v.character(U'n', false);
    EXPECT_EQ(v.zoom(), 7);
    v.setHost(nullptr);
}

TEST(ViewDisplay, ChannelSetRules) {
    auto doc = makeDoc(2, 1, [](int x, int) { return x ? 0x80123456u : 0x00FFFFFFu; });
    ViewState v(doc.get(), ViewPreferences{});
    EXPECT_EQ(v.channels(), 7);
    EXPECT_EQ(v.colourSurface().at(0, 1 - 1), 0x00FFFFFFu);
    EXPECT_EQ(v.colourSurface().at(1, 0), 0x80123456u);  // full set: unchanged, alpha kept
    v.toggleChannel(CHANNEL_GREEN);
    EXPECT_EQ(v.channels(), 5);
    EXPECT_EQ(v.colourSurface().at(1, 0), 0x00120056u);
    v.setChannels(CHANNEL_RED);
    EXPECT_EQ(v.colourSurface().at(1, 0), 0x00120000u);
    // Turning the last colour off gives the other two.
    v.toggleChannel(CHANNEL_RED);
    EXPECT_EQ(v.channels(), 3);
    EXPECT_EQ(v.colourSurface().at(1, 0), 0x00003456u);
    v.character(U'1', false);
    EXPECT_EQ(v.channels(), 4);
    v.toggleChannel(CHANNEL_RED);
    EXPECT_EQ(v.channels(), 3);
    v.setChannels(CHANNEL_BLUE);
    v.toggleChannel(CHANNEL_BLUE);
    EXPECT_EQ(v.channels(), 6);
    v.character(U'2', false);
    EXPECT_EQ(v.channels(), 2);
    v.character(U'3', false);
    EXPECT_EQ(v.channels(), 1);
    // Alpha shows the mask: the alpha as grey; the colour commands are then disabled.
    v.character(U'4', false);
    EXPECT_TRUE(v.maskShown());
    EXPECT_EQ(v.channels(), 9);
    EXPECT_FALSE(v.channelCommandsEnabled());
    EXPECT_EQ(v.shownSurface().at(1, 0), 0x00808080u);
    EXPECT_EQ(v.shownSurface().at(0, 0), 0u);
    // Key 5 shows all colours (and the colours, not the mask).
    v.character(U'5', false);
    EXPECT_EQ(v.channels(), 7);
    EXPECT_TRUE(v.channelCommandsEnabled());
}

TEST(ViewGrid, MakeGridOptionsAndStatusTexts) {
    auto doc = makeDoc(64, 48, coord);
    RecordingHost host;
    ViewPreferences prefs;
    prefs.frameWidth = 24;
    prefs.frameHeight = 20;
    ViewState v(doc.get(), prefs, &host);
    // Initial grid: the frame size, offsets 0, colour red 255 green 128 blue 128, hidden.
    EXPECT_FALSE(v.gridVisible());
    EXPECT_EQ(v.gridOptions().xSize, 24);
    EXPECT_EQ(v.gridOptions().ySize, 20);
    EXPECT_EQ(v.gridOptions().colour, 0x008080FFu);
    EXPECT_EQ(v.statusRect(), "Rect=(0:0-0:0) Size=(0x0)");
    EXPECT_EQ(v.statusSize(), "Size=(64x48)");

    EXPECT_FALSE(v.makeGrid());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "Make a selection first");
    v.setSelection(TxRect{10, 20, 42, 36});
    EXPECT_TRUE(v.character(U'G', false));
    EXPECT_TRUE(v.gridVisible());
    EXPECT_EQ(v.gridOptions().xSize, 32);
    EXPECT_EQ(v.gridOptions().ySize, 16);
    EXPECT_EQ(v.gridOptions().xOffset, 10);
    EXPECT_EQ(v.gridOptions().yOffset, 4);
    EXPECT_EQ(v.statusRect(), "Rect=(10:20-42:36) Size=(32x16)");
    v.character(U'g', false);
    EXPECT_FALSE(v.gridVisible());

    // Out-of-range options are clamped to the dialog's ranges: no zero-sized cells.
    GridOptions bad;
    bad.xSize = 0;
    bad.ySize = -5;
    bad.xOffset = -1;
    bad.yOffset = 5000;
    v.setGridOptions(bad);
    EXPECT_EQ(v.gridOptions().xSize, 4);
    EXPECT_EQ(v.gridOptions().ySize, 4);
    EXPECT_EQ(v.gridOptions().xOffset, 0);
    EXPECT_EQ(v.gridOptions().yOffset, 1023);

    v.mouseMove(13, 7, false, false);
    EXPECT_EQ(v.statusCursor(), "13:7");
    EXPECT_EQ(v.colourUnderCursor(), 0x00070Du);
    v.mouseMove(64, 7, false, false);
    EXPECT_EQ(v.colourUnderCursor(), 0u);
    EXPECT_EQ(v.cursorShape(), ViewCursor::Arrow);
    v.mouseMove(63, 7, false, false);
    EXPECT_EQ(v.cursorShape(), ViewCursor::Image);

    // Isometric start: the "Iso-Frame" size for frames and grid cells.
    prefs.startMode = 1;
    v.startFrom(prefs);
    EXPECT_EQ(v.gridMode(), GridMode::Isometric);
    EXPECT_EQ(v.frameWidth(), 64);
    EXPECT_EQ(v.gridOptions().xSize, 64);
    EXPECT_EQ(v.gridOptions().ySize, 32);

    // Without frames: size 1 x 1.
    CBitmapDoc empty;
    ViewState e(&empty, ViewPreferences{});
    EXPECT_EQ(e.statusSize(), "Size=(1x1)");
    e.leftDown(0, 0, false);
    EXPECT_EQ(e.mode(), ViewMode::Idle);
}

TEST(ViewMouse, AutoScrollSteps) {
    auto doc = makeDoc(200, 100, coord);
    RecordingHost host;
    ViewState v(doc.get(), ViewPreferences{}, &host);
    v.setZoom(2);  // 400 x 200 logical
    v.setViewport(5, 30, 100, 50);
    v.leftDown(50, 60, false);
    // At the left edge with scroll 5: step -5; at the bottom edge: +12.
    v.mouseMove(5, 79, true, false);
    EXPECT_TRUE(host.timer);
    EXPECT_EQ(v.autoScrollStep(), (ViewPoint{-5, 12}));
    v.autoScrollTick();
    EXPECT_EQ(host.scrolled, (ViewPoint{0, 42}));
    EXPECT_EQ(v.scrollX(), 0);
    // At the left edge with scroll 0 nothing; right edge +12, top edge with scroll 42: -12.
    v.mouseMove(99, 42, true, false);
    EXPECT_EQ(v.autoScrollStep(), (ViewPoint{12, -12}));
    // Back inside: the timer stops.
    v.mouseMove(50, 60, true, false);
    EXPECT_FALSE(host.timer);
    // Beyond the picture's last pixels nothing changes.
    v.mouseMove(99, 70, true, false);
    EXPECT_TRUE(host.timer);
    v.setViewport(350, 42, 100, 50);
    v.mouseMove(449, 60, true, false);  // image x 225 > 198
    EXPECT_EQ(v.autoScrollStep(), (ViewPoint{12, 0}));
    // Ending the drag stops the timer; a tick in idle mode does nothing.
    v.leftUp(449, 60);
    EXPECT_FALSE(host.timer);
    host.scrolled = ViewPoint{-1, -1};
    v.autoScrollTick();
    EXPECT_EQ(host.scrolled, (ViewPoint{-1, -1}));
}

TEST(ViewMouse, PastePlacementMovesSnapsAndDrops) {
    auto doc = makeDoc(100, 60, coord);
    ViewState v(doc.get(), ViewPreferences{});
    Drop drop;
    v.mouseMove(50, 30, false, false);
    v.beginPastePlacement(20, 10, &drop);
    EXPECT_TRUE(v.placingPaste());
    EXPECT_EQ(v.selection(), (TxRect{40, 25, 60, 35}));
    // The centre follows the mouse, pushed back inside the picture.
    v.mouseMove(95, 3, false, false);
    EXPECT_EQ(v.selection(), (TxRect{80, 0, 100, 10}));
    v.mouseMove(30, 30, false, false);
    EXPECT_EQ(v.selection(), (TxRect{20, 25, 40, 35}));
    // With snapping the top-left goes to the nearest normal grid point (no snapping of p itself).
    GridOptions g;
    g.xSize = 16;
    g.ySize = 16;
    v.setGridOptions(g);
    v.toggleSnap();
    v.mouseMove(37, 30, false, false);  // centred left 27, top 25 -> 32, 32
    EXPECT_EQ(v.selection(), (TxRect{32, 32, 52, 42}));
    v.leftDown(37, 30, false);
    ASSERT_EQ(drop.dropped.size(), 1u);
    EXPECT_EQ(drop.dropped[0], (TxRect{32, 32, 52, 42}));
    EXPECT_EQ(v.mode(), ViewMode::Idle);
    EXPECT_TRUE(v.selection().empty());
    // Escape cancels.
    v.beginPastePlacement(4, 4, &drop);
    EXPECT_TRUE(v.keyDown(ViewKey::Escape, false, false));
    EXPECT_EQ(drop.cancelled, 1);
    EXPECT_EQ(drop.dropped.size(), 1u);
    EXPECT_FALSE(v.placingPaste());
    // Losing the focus, or another command, cancels a placement too.
    v.beginPastePlacement(4, 4, &drop);
    v.activate(false);
    EXPECT_EQ(drop.cancelled, 2);
    v.beginPastePlacement(4, 4, &drop);
    v.selectAll();
    EXPECT_EQ(drop.cancelled, 3);
    EXPECT_EQ(drop.dropped.size(), 1u);
}

TEST(ViewMask, KeyPickFromTheShownColours) {
    // Three frames: the picked colour becomes transparent in all of them.
    auto doc = makeDoc(
        3, 2, [](int x, int y) { return x == 1 && y == 1 ? 0xFF0000FFu : 0xFF00FF00u; }, 3);
    ViewState v(doc.get(), ViewPreferences{});
    v.toggleAlpha();
    v.beginKeyPick();
    EXPECT_FALSE(v.maskShown());  // colours shown for picking
    v.setZoom(2);
    v.leftDown(3, 1, false);  // device 3 lies in image pixel 1
    EXPECT_TRUE(v.maskShown());
    EXPECT_EQ(v.mode(), ViewMode::Idle);
    for (int k = 0; k < 3; ++k) {
        const uint32_t* px = doc->frames()->frameAt(k)->pixels();
        EXPECT_EQ(px[0], 0x0000FF00u) << k;
        EXPECT_EQ(px[4], 0xFF0000FFu) << k;
    }
    // With only red shown the key has green and blue 0: the green pixel picks black.
    auto one = makeDoc(2, 1, [](int x, int) { return x ? 0xFF00FF00u : 0xFF000000u; });
    ViewState w(one.get(), ViewPreferences{});
    w.setChannels(CHANNEL_RED);
    w.beginKeyPick();
    w.pickKeyAt({1, 0});
    EXPECT_EQ(one->frames()->frameAt(0)->pixels()[0], 0x00000000u);
    EXPECT_EQ(one->frames()->frameAt(0)->pixels()[1], 0xFF00FF00u);
}
