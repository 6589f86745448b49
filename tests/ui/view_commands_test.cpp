// The editor's commands driven through the main window: selection, the Edit and Selection menus,
// the position list window and the tools that create documents.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <fstream>

#include "document/document.h"
#include "edit/size_model.h"
#include "model/settings.h"
#include "tests/scripted_prompts.h"
#include "tests/ui/qt_app.h"
#include "tools/animmaster/animmaster.h"
#include "tools/codegen/pos_format_settings.h"
#include "tools/fontwizard/font_preset.h"
#include "ui/bitmap_view.h"
#include "ui/int_field.h"
#include "ui/main_window.h"
#include "ui/position_list_window.h"
#include "ui/qt_ports.h"
#include "ui/view_commands.h"

namespace {

// A window with memory settings and scripted answers.
struct AppGuard {
    AppGuard() { ensureTestApp(); }
};

struct Editor {
    Editor() {
        w.setPrompts(&prompts);
        w.setSettings(&store);
    }
    // A new document of n frames, every pixel from fill(frame, x, y).
    template <class Fill> CBitmapDoc* make(int width, int height, int n, Fill fill) {
        prompts.newSizeAnswer = std::make_pair(width, height);
        CBitmapDoc* d = w.createDocument(prompts);
        EXPECT_NE(d, nullptr);
        if (!d) return nullptr;
        if (n > 1) d->frames()->addBlankFrames(width, height, n - 1);
        for (int k = 0; k < n; ++k) {
            uint32_t* px = d->frames()->frameAt(k)->pixels();
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) px[y * width + x] = fill(k, x, y);
        }
        d->updateAllViews(HINT_FULL);
        return d;
    }
    uint32_t pixel(int x, int y, int frame = 0) {
        const Frame* f = w.activeDocument()->frames()->frameAt(frame);
        return f->pixels()[y * f->width() + x];
    }
    QSize size(int frame = 0) {
        const Frame* f = w.activeDocument()->frames()->frameAt(frame);
        return QSize(f->width(), f->height());
    }
    AppGuard guard;  // the application exists before the window
    MemorySettingsStore store;
    ScriptedPrompts prompts;
    CMainFrame w;
};

uint32_t coord(int, int x, int y) { return 0xFF000000u | uint32_t(y) << 8 | uint32_t(x); }

}  // namespace

TEST(EditorSelection, SelectionEnablesCropAndSelectAll) {
    Editor e;
    e.make(40, 30, 1, coord);
    CBitmapView* v = e.w.activeView();
    ASSERT_NE(v, nullptr);
    EXPECT_TRUE(v->selection().empty());
    EXPECT_FALSE(e.w.commandEnabled(CMD_CROP));
    v->setSelection(TxRect{4, 10, 11, 20});
    EXPECT_TRUE(e.w.commandEnabled(CMD_CROP));
    e.w.selectAll();
    EXPECT_EQ(v->selection(), (TxRect{0, 0, 40, 30}));
}

namespace {

void sendMouse(QWidget* canvas, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons) {
    QMouseEvent ev(type, QPointF(pos), canvas->mapToGlobal(QPointF(pos)), Qt::LeftButton, buttons,
                   Qt::NoModifier);
    QCoreApplication::sendEvent(canvas, &ev);
}

}  // namespace

TEST(EditorSelection, MouseDragAndKeyPickThroughEvents) {
    Editor e;
    e.make(40, 30, 1, coord);
    CBitmapView* v = e.w.activeView();
    v->setZoom(2);
    QWidget* canvas = v->viewport();
    ASSERT_NE(canvas, nullptr);
    // Device (20, 20) is image (10, 10); (8, 40) is (4, 20).
    sendMouse(canvas, QEvent::MouseButtonPress, QPoint(20, 20), Qt::LeftButton);
    sendMouse(canvas, QEvent::MouseMove, QPoint(8, 40), Qt::LeftButton);
    sendMouse(canvas, QEvent::MouseButtonRelease, QPoint(8, 40), Qt::NoButton);
    EXPECT_FALSE(v->dragging());
    EXPECT_EQ(v->selection(), (TxRect{4, 10, 11, 20}));
    // A press outside the picture starts nothing and keeps the selection.
    sendMouse(canvas, QEvent::MouseButtonPress, QPoint(85, 10), Qt::LeftButton);
    EXPECT_FALSE(v->dragging());
    EXPECT_EQ(v->selection(), (TxRect{4, 10, 11, 20}));
    sendMouse(canvas, QEvent::MouseButtonRelease, QPoint(85, 10), Qt::NoButton);

    // A key pick takes the pixel under the mouse (device 7 lies in image pixel 3).
    e.w.maskCommand(CMD_MASK_PICK_KEY);
    sendMouse(canvas, QEvent::MouseButtonPress, QPoint(7, 5), Qt::LeftButton);
    sendMouse(canvas, QEvent::MouseButtonRelease, QPoint(7, 5), Qt::NoButton);
    EXPECT_FALSE(v->pickingKey());
    EXPECT_EQ(e.pixel(3, 2), coord(0, 3, 2) & 0x00FFFFFFu);
    EXPECT_EQ(e.pixel(4, 2), coord(0, 4, 2));
}

TEST(EditorSelection, CropUsesTheSelectionAndClearsIt) {
    Editor e;
    CBitmapDoc* d =
        e.make(40, 30, 2, [](int k, int x, int y) { return coord(k, x, y) + uint32_t(k); });
    CBitmapView* v = e.w.activeView();
    v->setSelection(TxRect{5, 6, 15, 10});
    e.w.cropSelection();
    EXPECT_EQ(e.size(0), QSize(10, 4));
    EXPECT_EQ(e.size(1), QSize(10, 4));
    EXPECT_EQ(e.pixel(0, 0), coord(0, 5, 6));
    EXPECT_EQ(e.pixel(9, 3, 1), coord(1, 14, 9) + 1);
    ASSERT_EQ(d->positions().count(), 1);
    EXPECT_EQ(d->positions().at(0).name, "crop");
    EXPECT_EQ(d->positions().at(0).rect, (TxRect{5, 6, 15, 10}));
    EXPECT_TRUE(v->selection().empty());
    EXPECT_EQ(v->imageSize(), QSize(10, 4));
    // The position window follows the document: the new item is listed.
    ASSERT_EQ(e.w.positionWindow()->panel().entries().size(), 1u);
    EXPECT_EQ(e.w.positionWindow()->panel().entries()[0], "crop: 5:6-15:10  10x4");
    // Nothing selected: Crop does nothing.
    e.w.cropSelection();
    EXPECT_EQ(e.size(0), QSize(10, 4));
    e.w.undo();
    EXPECT_EQ(e.size(0), QSize(40, 30));
}

TEST(EditorCommands, ScaleAndResizeTakeTheDialogAnswers) {
    Editor e;
    CBitmapDoc* d = e.make(200, 100, 1, [](int, int, int) { return 0xFF808080u; });
    d->positions().append(TxRect{10, 10, 21, 31}, "a");
    e.prompts.scaleAnswer = std::make_pair(100, 50);
    e.w.scaleImage();
    EXPECT_EQ(e.prompts.lastScaleDefaults, std::make_pair(200, 100));
    EXPECT_EQ(e.size(), QSize(100, 50));
    EXPECT_EQ(d->positions().at(0).rect, (TxRect{4, 4, 11, 16}));
    EXPECT_EQ(e.pixel(50, 25), 0xFF808080u);
    e.prompts.cancelScale = true;
    e.w.scaleImage();
    EXPECT_EQ(e.size(), QSize(100, 50));

    // Resize centred: the old picture sits in the middle of a transparent canvas, and the
    // centre choice is kept for the next dialog.
    Editor r;
    r.make(2, 2, 1, coord);
    r.prompts.resizeAnswer = ResizeChoice{4, 6, true};
    r.w.resizeImage();
    EXPECT_EQ(r.prompts.lastResizeDefaults.width, 2);
    EXPECT_EQ(r.prompts.lastResizeDefaults.height, 2);
    EXPECT_FALSE(r.prompts.lastResizeDefaults.centre);
    EXPECT_EQ(r.size(), QSize(4, 6));
    EXPECT_EQ(r.pixel(0, 0), 0u);
    EXPECT_EQ(r.pixel(1, 2), coord(0, 0, 0));
    EXPECT_EQ(r.pixel(2, 3), coord(0, 1, 1));
    EXPECT_EQ(r.pixel(3, 5), 0u);
    EXPECT_TRUE(r.w.imageDialogFlags().centreImage);
    r.prompts.resizeAnswer.reset();
    r.w.resizeImage();
    EXPECT_TRUE(r.prompts.lastResizeDefaults.centre);
    EXPECT_EQ(r.size(), QSize(4, 6));
}

TEST(EditorCommands, FlipsTheSelectionOrTheWholeFrame) {
    Editor e;
    e.make(4, 3, 1, coord);
    CBitmapView* v = e.w.activeView();
    v->setSelection(TxRect{1, 0, 3, 2});
    e.w.flipHorizontal();
    EXPECT_EQ(e.pixel(0, 0), coord(0, 0, 0));
    EXPECT_EQ(e.pixel(1, 0), coord(0, 2, 0));
    EXPECT_EQ(e.pixel(2, 1), coord(0, 1, 1));
    EXPECT_EQ(e.pixel(1, 2), coord(0, 1, 2));  // below the selection
    EXPECT_EQ(e.pixel(3, 0), coord(0, 3, 0));
    // While a drag is under way a selection is not flipped.
    v->state().beginDrag(ViewPoint{0, 0});
    v->state().dragTo(ViewPoint{2, 2}, false);
    e.w.flipVertical();
    EXPECT_EQ(e.pixel(0, 0), coord(0, 0, 0));
    v->state().endDrag();
    v->clearSelection();
    e.w.flipVertical();
    EXPECT_EQ(e.pixel(0, 0), coord(0, 0, 2));
    EXPECT_EQ(e.pixel(3, 2), coord(0, 3, 0));
    EXPECT_EQ(e.pixel(1, 1), coord(0, 2, 1));
}

TEST(EditorCommands, AutoCropAndIsometricFlip) {
    Editor e;
    // An opaque sprite in a transparent border.
    CBitmapDoc* d = e.make(10, 8, 1, [](int, int x, int y) {
        return x >= 3 && x < 6 && y >= 2 && y < 7 ? 0xFF112233u : 0x00445566u;
    });
    e.w.activeView()->setSelection(TxRect{0, 0, 2, 2});
    e.w.autoCrop();
    EXPECT_EQ(e.size(), QSize(3, 5));
    EXPECT_TRUE(e.w.activeView()->selection().empty());
    ASSERT_EQ(d->positions().count(), 1);
    EXPECT_EQ(d->positions().at(0).name, "autocrop");
    EXPECT_EQ(d->positions().at(0).rect, (TxRect{3, 2, 6, 7}));
    // Nothing left to crop: the message and no change.
    e.w.autoCrop();
    EXPECT_EQ(e.size(), QSize(3, 5));
    ASSERT_FALSE(e.prompts.messages.empty());
    EXPECT_EQ(e.prompts.messages.back(), "Autocrop failed");

    Editor iso;
    iso.make(4, 4, 1, [](int, int, int) { return 0xFFFFFFFFu; });
    iso.w.flipIsometric();
    // The 8 x 4 diamond, cropped to its opaque part: columns 1 to 7.
    EXPECT_EQ(iso.size(), QSize(7, 4));
    EXPECT_EQ(iso.pixel(3, 0), 0xFFFFFFFFu);
    EXPECT_EQ(iso.pixel(0, 0), 0u);
    EXPECT_EQ(iso.pixel(0, 1), 0xFFFFFFFFu);
}

TEST(EditorCommands, DisabledWithoutFramesAndWhilePlaying) {
    Editor e;
    EXPECT_FALSE(e.w.commandEnabled(CMD_SCALE));
    EXPECT_FALSE(e.w.commandEnabled(CMD_SELECT_ALL));
    EXPECT_TRUE(e.w.commandEnabled(CMD_POSITION_LIST));
    e.make(6, 4, 2, coord);
    for (int id :
         std::initializer_list<int>{CMD_SCALE, CMD_RESIZE, CMD_FLIP_VERTICAL, CMD_FLIP_HORIZONTAL,
                                    CMD_FLIP_ISOMETRIC, CMD_AUTO_CROP, int(CMD_ANIMMASTER)})
        EXPECT_TRUE(e.w.commandEnabled(id)) << id;
    e.w.runCommand(CMD_PLAY);
    ASSERT_TRUE(e.w.activeDocument()->playing());
    for (int id :
         std::initializer_list<int>{CMD_SCALE, CMD_RESIZE, CMD_FLIP_VERTICAL, CMD_FLIP_HORIZONTAL,
                                    CMD_FLIP_ISOMETRIC, CMD_AUTO_CROP, int(CMD_ANIMMASTER)})
        EXPECT_FALSE(e.w.commandEnabled(id)) << id;
    // A command reached by its key anyway does nothing.
    e.w.flipHorizontal();
    e.w.scaleImage();
    EXPECT_EQ(e.prompts.scaleDialogs, 0);
    EXPECT_EQ(e.pixel(0, 0), coord(0, 0, 0));
    EXPECT_EQ(e.w.activeDocument()->undoSnapshot(), nullptr);
    e.w.runCommand(CMD_PLAY);
    EXPECT_TRUE(e.w.commandEnabled(CMD_SCALE));
}

TEST(EditorPositionList, ButtonsEditTheListAndSelectInTheView) {
    Editor e;
    CBitmapDoc* d = e.make(64, 32, 1, coord);
    CBitmapView* v = e.w.activeView();
    e.w.showPositionList();
    PositionListWindow* pw = e.w.positionWindow();
    ASSERT_EQ(pw->document(), d);

    v->setSelection(TxRect{0, 0, 16, 16});
    pw->add();
    v->setSelection(TxRect{16, 0, 48, 8});
    pw->add();
    pw->add();  // the same rectangle again is refused
    ASSERT_EQ(d->positions().count(), 2);
    EXPECT_EQ(pw->panel().entries()[1], ": 16:0-48:8  32x8");
    EXPECT_EQ(pw->panel().corner2Text(), "48/8");

    // Choosing an entry selects its rectangle in the view.
    pw->selectRow(0);
    EXPECT_EQ(v->selection(), (TxRect{0, 0, 16, 16}));
    EXPECT_EQ(pw->panel().selection(), 0);

    // Update takes the view's selection; rename through the dialog.
    v->setSelection(TxRect{0, 0, 8, 8});
    pw->selectRow(1);
    v->setSelection(TxRect{20, 4, 30, 14});
    pw->updateItem();
    EXPECT_EQ(d->positions().at(1).rect, (TxRect{20, 4, 30, 14}));
    e.prompts.renameAnswer = "hero";
    pw->renameSelected();
    EXPECT_EQ(d->positions().at(1).name, "hero");

    // Up moves the selected item before its neighbour.
    pw->moveItem(-1);
    EXPECT_EQ(d->positions().at(0).name, "hero");
    EXPECT_EQ(pw->panel().selection(), 0);

    // Delete selects the successor and its rectangle.
    pw->deleteItem();
    ASSERT_EQ(d->positions().count(), 1);
    EXPECT_EQ(v->selection(), (TxRect{0, 0, 16, 16}));

    // Save without a file name writes nothing and says nothing; with one it writes the list.
    pw->save();
    EXPECT_TRUE(e.prompts.statusTexts.empty());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string image = dir.filePath(QStringLiteral("sheet.tga")).toStdString();
    d->setPathName(image);
    pw->save();
    ASSERT_FALSE(e.prompts.statusTexts.empty());
    EXPECT_EQ(e.prompts.statusTexts.back(), "Positionlist saved");
    std::ifstream text(image + "_pos.txt", std::ios::binary);
    const std::string line((std::istreambuf_iterator<char>(text)),
                           std::istreambuf_iterator<char>());
    EXPECT_EQ(line, "0,0,16,16:\r\n");

    // Clear asks first; No keeps the items.
    e.prompts.answers = {MsgResult::No};
    pw->clear();
    EXPECT_EQ(d->positions().count(), 1);
    pw->clear();
    EXPECT_EQ(e.prompts.messages.back(), "Clear all items?");
    EXPECT_EQ(d->positions().count(), 0);
    EXPECT_TRUE(pw->panel().entries().empty());

    // Closing the document's window detaches the list.
    e.w.activeDocument()->setModified(false);
    e.w.findChild<QMdiArea*>()->closeAllSubWindows();
    EXPECT_EQ(pw->document(), nullptr);
}

TEST(EditorPositionList, ArrangeMakesASheetDocument) {
    Editor e;
    CBitmapDoc* d = e.make(64, 32, 1, coord);
    e.w.showPositionList();
    PositionListWindow* pw = e.w.positionWindow();
    d->positions().append(TxRect{0, 0, 16, 8}, "one");
    d->positions().append(TxRect{32, 16, 40, 32}, "two");
    d->positions().append(TxRect{40, 0, 48, 8}, "\xF6");  // a font item name: code page 1252
    d->updateAllViews(HINT_POSITIONS);
    ASSERT_EQ(pw->panel().entries().size(), 3u);

    EXPECT_EQ(qtEightBitText("\xC3\xB6"), QString(QChar(0xF6)));
    EXPECT_EQ(qtEightBitText("a\xF6"), QStringLiteral("a") + QChar(0xF6));

    // Arrange packs the items into a new document of its own window.
    e.prompts.maxSizeAnswer = MaxSizeOptions{0, 0, true, true, 0, 0};
    e.w.arrangePositions();
    ASSERT_EQ(e.w.documentCount(), 2);
    CBitmapDoc* sheet = e.w.activeDocument();
    ASSERT_NE(sheet, d);
    ASSERT_EQ(sheet->positions().count(), 3);
    EXPECT_EQ(d->positions().count(), 3);
    const TxRect r = sheet->positions().at(0).rect;
    const TxRect src = sheet->positions().at(0).source;
    const Frame* f = sheet->frames()->currentFrame();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->pixels()[r.top * f->width() + r.left], coord(0, src.left, src.top));
    // The window follows the new active document.
    EXPECT_EQ(pw->document(), sheet);
}

namespace {

struct ToolPrompts : ScriptedPrompts {
    bool animMasterOptions(AnimMasterOptions& o) override {
        seenKeep = o.keepAlpha;
        o.colorKey = 0x00FF00FFu;
        o.keepAlpha = false;
        o.bufferType = AM_BUFFER_SINGLE;
        return !cancelTool;
    }
    bool cancelTool = false;
    bool seenKeep = false;
};

}  // namespace

TEST(EditorTools, AnimationmasterKeysOutUnchangedPixelsAndKeepsItsSettings) {
    ensureTestApp();
    MemorySettingsStore store;
    ToolPrompts prompts;
    CMainFrame w;
    w.setPrompts(&prompts);
    w.setSettings(&store);
    prompts.newSizeAnswer = std::make_pair(3, 2);
    CBitmapDoc* d = w.createDocument(prompts);
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(w.commandEnabled(CMD_ANIMMASTER));  // one frame only
    d->frames()->addBlankFrames(3, 2, 1);
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 6; ++i) d->frames()->frameAt(k)->pixels()[i] = 0xFF102030u;
    d->frames()->frameAt(1)->pixels()[4] = 0xFF405060u;
    ASSERT_TRUE(w.commandEnabled(CMD_ANIMMASTER));

    prompts.cancelTool = true;
    w.animationMaster();
    EXPECT_EQ(d->frames()->frameAt(1)->pixels()[0], 0xFF102030u);
    EXPECT_FALSE(store.contains(kAnimMasterSection, "keep_a"));

    prompts.cancelTool = false;
    w.animationMaster();
    EXPECT_TRUE(prompts.seenKeep);
    const uint32_t* f1 = d->frames()->frameAt(1)->pixels();
    EXPECT_EQ(f1[0], 0x00FF00FFu);
    EXPECT_EQ(f1[4], 0x00405060u);
    EXPECT_EQ(d->frames()->frameAt(0)->pixels()[4], 0xFF102030u);
    EXPECT_EQ(store.getInt(kAnimMasterSection, "keep_a", 1), 0);
    EXPECT_EQ(store.getInt(kAnimMasterSection, "colorkey", 0), 0x00FF00FF);
    // The next dialog starts from the saved values.
    w.animationMaster();
    EXPECT_FALSE(prompts.seenKeep);
    w.undo();
    EXPECT_EQ(d->frames()->frameAt(1)->pixels()[4], 0x00405060u);
}

TEST(EditorMask, MaskCommandsWriteTheAlpha) {
    Editor e;
    e.make(4, 1, 1, [](int, int x, int) {
        const uint32_t alpha[] = {127, 128, 255, 0};
        return alpha[x] << 24 | 0xFF0000u;  // pure red
    });
    CBitmapDoc* d = e.w.activeDocument();
    CBitmapView* v = e.w.activeView();
    e.prompts.maskBiasAnswer = 128;
    e.w.maskCommand(CMD_MASK_ONE_BIT);
    EXPECT_EQ(e.prompts.maskBiasDialogs, 1);
    EXPECT_TRUE(v->maskShown());
    EXPECT_EQ(e.pixel(0, 0), 0x00FF0000u);
    EXPECT_EQ(e.pixel(1, 0), 0xFFFF0000u);
    EXPECT_EQ(e.pixel(2, 0), 0xFFFF0000u);
    EXPECT_EQ(d->alphaBias, 128);
    // Cancelling the bias dialog still makes the mask, with the bias kept.
    e.prompts.cancelMaskBias = true;
    e.w.maskCommand(CMD_MASK_ONE_BIT);
    EXPECT_EQ(d->alphaBias, 128);
    EXPECT_EQ(e.pixel(1, 0), 0xFFFF0000u);

    e.w.maskCommand(CMD_MASK_INTENSITY);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(e.pixel(x, 0), 77u << 24 | 0xFF0000u) << x;
    e.w.maskCommand(CMD_MASK_CLEAR);
    EXPECT_EQ(e.pixel(2, 0), 0x00FF0000u);
    e.w.maskCommand(CMD_MASK_INVERT);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(e.pixel(x, 0), 0xFFFF0000u) << x;
    e.w.undo();
    EXPECT_EQ(e.pixel(2, 0), 0x00FF0000u);

    e.w.toggleAlpha();
    EXPECT_FALSE(v->maskShown());
}

TEST(EditorMask, PickedKeyColourIsTransparentInEveryFrame) {
    Editor e;
    e.make(3, 2, 3, [](int k, int x, int y) {
        return x == k && y == 1 ? 0xFF0000FFu : 0xFF00FF00u;  // green with one blue pixel
    });
    CBitmapView* v = e.w.activeView();
    e.w.maskCommand(CMD_MASK_PICK_KEY);
    ASSERT_TRUE(v->pickingKey());
    EXPECT_EQ(e.prompts.statusTexts.back(), "pickup the transparency color with left mouse button");
    v->pickKeyAt(QPoint(2, 0));
    EXPECT_FALSE(v->pickingKey());
    EXPECT_TRUE(v->maskShown());
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(e.pixel(k, 1, k), 0xFF0000FFu) << k;
        EXPECT_EQ(e.pixel((k + 1) % 3, 1, k), 0x0000FF00u) << k;
        EXPECT_EQ(e.pixel(0, 0, k), 0x0000FF00u) << k;
    }
    // One undo step for all frames.
    e.w.undo();
    for (int k = 0; k < 3; ++k) EXPECT_EQ(e.pixel(0, 0, k), 0xFF00FF00u) << k;

    // Not while the animation plays.
    e.w.runCommand(CMD_PLAY);
    EXPECT_FALSE(e.w.commandEnabled(CMD_MASK_PICK_KEY));
    EXPECT_FALSE(e.w.commandEnabled(CMD_MASK_CLEAR));
    EXPECT_TRUE(e.w.commandEnabled(CMD_MASK_INTENSITY));
    e.w.maskCommand(CMD_MASK_CLEAR);
    EXPECT_EQ(e.pixel(0, 0, 0), 0xFF00FF00u);
}

TEST(EditorView, KeysReachTheViewAndItPaintsTheRenderedPicture) {
    Editor e;
    e.make(4, 3, 1, [](int, int x, int y) { return 0x00102030u + uint32_t(x) + uint32_t(y << 8); });
    CBitmapView* v = e.w.activeView();
    auto type = [v](int key, const QString& text, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, key, mods, text);
        QCoreApplication::sendEvent(v, &press);
    };
    type(Qt::Key_2, QStringLiteral("2"));
    EXPECT_EQ(v->state().channels(), CHANNEL_GREEN);
    type(Qt::Key_M, QStringLiteral("m"));
    EXPECT_EQ(v->zoom(), 2);
    type(Qt::Key_G, QStringLiteral("\x07"), Qt::ControlModifier);
    EXPECT_TRUE(v->state().snapToGrid());
    // An unhandled letter goes on to the commands.
    QChar seen;
    QObject::connect(v, &CBitmapView::characterTyped, v, [&seen](QChar c) { seen = c; });
    type(Qt::Key_X, QStringLiteral("x"));
    EXPECT_EQ(seen, QChar('x'));

    // The viewport shows exactly the rendered buffer: green only, 2 x 2 blocks, background after.
    v->resize(40, 30);
    const QImage shot = v->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(v->rendered().empty());
    ASSERT_GE(shot.width(), 9);
    EXPECT_EQ(shot.pixel(0, 0), 0xFF002000u);
    EXPECT_EQ(shot.pixel(1, 3), 0xFF002100u);
    EXPECT_EQ(shot.pixel(8, 0), ViewState::kBackground);
    EXPECT_EQ(v->rendered().at(3, 5), shot.pixel(3, 5));
}

TEST(EditorView, ViewMenuCommandsReachTheActiveView) {
    Editor e;
    e.make(40, 30, 1, coord);
    CBitmapView* v = e.w.activeView();
    ViewState& s = v->state();
    e.w.trigger(CMD_RED);
    EXPECT_EQ(s.channels(), 3);
    e.w.updateCommands();
    EXPECT_FALSE(e.w.action(CMD_RED)->isChecked());
    EXPECT_TRUE(e.w.action(CMD_GREEN)->isChecked());
    e.w.trigger(CMD_ALPHA);
    EXPECT_FALSE(e.w.commandEnabled(CMD_GREEN));  // not while the mask is shown
    e.w.trigger(CMD_ALPHA);
    e.w.trigger(CMD_ZOOM_1 + 2);
    EXPECT_EQ(v->zoom(), 3);
    EXPECT_EQ(e.w.statusPane(3)->text(), QStringLiteral("300%"));
    e.w.trigger(CMD_MAKE_GRID);
    EXPECT_EQ(e.prompts.messages.back(), "Make a selection first");
    v->setSelection(TxRect{10, 20, 26, 28});
    e.w.trigger(CMD_MAKE_GRID);
    EXPECT_TRUE(s.gridVisible());
    EXPECT_EQ(s.gridOptions().xSize, 16);
    EXPECT_EQ(e.w.statusPane(2)->text(), QStringLiteral("Rect=(10:20-26:28) Size=(16x8)"));
    e.w.trigger(CMD_GRID_ISOMETRIC);
    EXPECT_EQ(s.gridMode(), GridMode::Isometric);
    EXPECT_EQ(s.frameWidth(), 64);
    e.w.trigger(CMD_SNAP);
    EXPECT_TRUE(s.snapToGrid());
    // The editing letters reach their commands through the focused view only: no shortcuts.
    for (int id : {CMD_ZOOM_IN, CMD_RED, CMD_ALPHA, CMD_GRID, CMD_SCALE, CMD_FLIP_HORIZONTAL})
        EXPECT_TRUE(e.w.action(id)->shortcut().isEmpty()) << id;
    QKeyEvent x(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QCoreApplication::sendEvent(v, &x);
    EXPECT_EQ(e.pixel(10, 20), coord(0, 25, 20));  // the selection is flipped

    // Grid Options refuses out-of-range numbers with the standard message.
    GridOptionsDialog dlg(s.gridOptions(), e.prompts, e.store);
    EXPECT_EQ(dlg.field(2)->text(), QStringLiteral("16"));
    dlg.field(3)->setText(QStringLiteral("3"));
    dlg.accept();
    EXPECT_EQ(e.prompts.messages.back(), "Please enter an integer between 4 and 1024.");
    EXPECT_NE(dlg.result(), int(QDialog::Accepted));
    dlg.field(3)->setText(QStringLiteral("12"));
    dlg.field(0)->setText(QStringLiteral("1023"));
    dlg.accept();
    EXPECT_EQ(dlg.result(), int(QDialog::Accepted));
    EXPECT_EQ(dlg.options().ySize, 12);
    EXPECT_EQ(dlg.options().xOffset, 1023);
}

TEST(EditorView, InactiveWindowShowsTheGreyedSnapshotAtItsSize) {
    ensureTestApp();
    MemorySettingsStore store;
    store.setInt("Settings", "Gray inactive view", 1);
    ScriptedPrompts prompts;
    CMainFrame w(nullptr, &store);
    w.setPrompts(&prompts);
    w.show();
    prompts.newSizeAnswer = std::make_pair(20, 20);
    w.createDocument(prompts);
    CBitmapView* first = w.activeView();
    prompts.newSizeAnswer = std::make_pair(20, 20);
    w.createDocument(prompts);
    CBitmapView* second = w.activeView();
    QApplication::processEvents();
    ASSERT_FALSE(first->state().active());
    ASSERT_TRUE(second->state().active());
    // Beyond the picture: the background (60, 60, 70), averaged with the light tile in the
    // inactive window, as it is in the active one.
    auto corner = [](CBitmapView* v) {
        const QImage img = v->viewport()->grab().toImage();
        return img.pixel(img.width() - 1, img.height() - 1);
    };
    const QRgb a = corner(first);
    EXPECT_GE(qRed(a), 132);
    EXPECT_LE(qRed(a), 136);
    EXPECT_EQ(qBlue(a) - qRed(a), 5);
    EXPECT_EQ(corner(second), 0xFF3C3C46u);
    // Window > Tile resizes the inactive window: its snapshot is taken anew at the new size,
    // from the window itself (the old snapshot is not part of it).
    QWidget* frame = first->parentWidget();
    while (frame && !qobject_cast<QMdiSubWindow*>(frame)) frame = frame->parentWidget();
    ASSERT_NE(frame, nullptr);
    const QSize before = frame->size();
    w.runCommand(CMD_TILE_VERTICAL);
    QApplication::processEvents();
    QApplication::processEvents();
    ASSERT_NE(frame->size(), before);
    EXPECT_EQ(first->inactiveSnapshot().size(), frame->size());
    const QRgb again = corner(first);
    EXPECT_GE(qRed(again), 132);
    EXPECT_LE(qRed(again), 136);
}

// The daily-work wiring: Undo names the edit, flips are undoable in the editor, the title marks
// a modified document, the zoom steps below 100% and Fit reach the view and its pane.
TEST(EditorHistory, UndoTextsTitleMarkAndZoomSteps) {
    Editor e;
    CBitmapDoc* d = e.make(64, 48, 1, [](int, int x, int y) { return coord(x, y, 0); });
    ASSERT_NE(d, nullptr);
    QAction* undo = e.w.action(CMD_UNDO);
    ASSERT_NE(undo, nullptr);
    e.w.runCommand(CMD_FLIP_HORIZONTAL);
    e.w.runCommand(CMD_FLIP_VERTICAL);
    EXPECT_EQ(undo->text(), QStringLiteral("&Undo Flip Vertical\tCtrl+Z"));
    EXPECT_TRUE(e.w.activeChild()->windowTitle().endsWith(QStringLiteral(" *")));
    e.w.runCommand(CMD_UNDO);
    e.w.runCommand(CMD_UNDO);
    EXPECT_EQ(e.pixel(0, 0), coord(0, 0, 0));
    EXPECT_EQ(undo->text(), QStringLiteral("&Undo\tCtrl+Z"));
    EXPECT_EQ(e.w.action(CMD_REDO)->text(), QStringLiteral("&Redo Flip Horizontal\tCtrl+Y"));

    CBitmapView* v = e.w.activeView();
    e.w.runCommand(CMD_ZOOM_25);
    EXPECT_EQ(v->state().zoomPercent(), 25);
    EXPECT_TRUE(e.w.action(CMD_ZOOM_25)->isChecked());
    e.w.runCommand(CMD_ZOOM_FIT);
    EXPECT_EQ(v->state().zoomPercent(), ViewState::fitPercent(64, 48, e.w.workspaceSize().width(),
                                                              e.w.workspaceSize().height()));

    // Frame Properties starts from the frame's shown duration; Cancel changes nothing.
    d->frames()->addBlankFrames(64, 48, 2);
    e.w.runCommand(CMD_FRAME_PROPERTIES);
    EXPECT_EQ(e.prompts.lastFrameTiming.durationMs, 100);
    EXPECT_EQ(d->frames()->frameAt(1)->durationMs, 0);
    e.prompts.frameTimingAnswer = FrameTiming{30, true};
    e.w.runCommand(CMD_FRAME_PROPERTIES);
    EXPECT_EQ(d->frames()->frameAt(1)->durationMs, 30);
    EXPECT_EQ(undo->text(), QStringLiteral("&Undo Frame Properties\tCtrl+Z"));
    // Timed play is on by default: a 5 ms frame gives way long before the fixed rate's 166 ms.
    EXPECT_TRUE(e.w.action(CMD_TIMED_PLAY)->isChecked());
    d->frames()->setCurrent(0);
    d->frames()->frameAt(0)->durationMs = 5;
    d->frames()->frameAt(1)->durationMs = 60000;
    e.w.runCommand(CMD_PLAY);
    QElapsedTimer waited;
    waited.start();
    while (d->frames()->currentIndex() == 0 && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    EXPECT_EQ(d->frames()->currentIndex(), 1);
    // ... and the minute-long frame stays where the fixed rate would have moved on (one or two
    // of its steps in 300 ms).
    waited.restart();
    while (waited.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(d->frames()->currentIndex(), 1);
    e.w.runCommand(CMD_PLAY);
    // Its toggle is stored at once.
    e.w.runCommand(CMD_TIMED_PLAY);
    EXPECT_FALSE(e.w.action(CMD_TIMED_PLAY)->isChecked());
    EXPECT_EQ(e.store.getInt("Settings", "Timed play", 1), 0);
    // The Preferences' undo memory reaches the open documents.
    EXPECT_EQ(d->undoBudget(), size_t(512) << 20);
    Preferences p = e.w.preferences();
    p.undoMemoryMiB = 0;
    e.w.applyPreferences(p, false);
    EXPECT_EQ(d->undoBudget(), 0u);
}

TEST(EditorHistory, WindowsFitTheirPictureWithoutScrollBars) {
    Editor e;
    e.w.resize(1000, 700);
    e.w.show();
    // A picture that fits opens without scroll bars; at 400% the window grows to show it all.
    for (const QSize size : {QSize(600, 500), QSize(64, 48)}) {
        ASSERT_NE(e.make(size.width(), size.height(), 1, coord), nullptr);
        if (size.width() == 64) e.w.runCommand(CMD_ZOOM_1 + 3);
        for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
        CBitmapView* v = e.w.activeView();
        const QSize shown = size * v->zoom();
        EXPECT_EQ(v->viewport()->size(), shown) << size.width();
        EXPECT_FALSE(v->horizontalScrollBar()->isVisibleTo(v)) << size.width();
        EXPECT_FALSE(v->verticalScrollBar()->isVisibleTo(v)) << size.width();
    }
}
