// The main window's frame: the menu tree with its rules, the tool bars and status panes, document
// windows, and closing with the save prompts.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <cstdio>

#include "document/document.h"
#include "model/preferences.h"
#include "model/settings.h"
#include "tests/scripted_prompts.h"
#include "tests/ui/qt_app.h"
#include "texlib/tga.h"
#include "ui/bitmap_view.h"
#include "ui/main_window.h"
#include "ui/preferences_dialog.h"
#include "ui/qt_ports.h"
#include "ui/shell_registration_dialog.h"

namespace {

struct Window {
    Window() : w((ensureTestApp(), nullptr), &store) { w.setPrompts(&prompts); }
    CBitmapDoc* make(int width, int height) {
        prompts.newSizeAnswer = std::make_pair(width, height);
        return w.createDocument(prompts);
    }
    MemorySettingsStore store;
    ScriptedPrompts prompts;
    CMainFrame w;
};

// Texts of a menu's entries, separators as "-", sub-menus as "name>".
QStringList entries(QMenu* m) {
    QStringList out;
    for (QAction* a : m->actions())
        out << (a->isSeparator() ? QStringLiteral("-")
                : a->menu()      ? a->text() + QLatin1Char('>')
                                 : a->text());
    return out;
}

QMenu* topMenu(CMainFrame& w, int index) { return w.menuBar()->actions().at(index)->menu(); }

}  // namespace

TEST(MainFrame, MenuTreeTextsKeysAndRules) {
    Window f;
    QStringList titles;
    for (QAction* a : f.w.menuBar()->actions()) titles << a->text();
    EXPECT_EQ(titles, (QStringList{"&File  ", "&Edit  ", "&Selection  ", "&Mask  ", "&View  ",
                                   "F&rame  ", "&Tools", "&Window ", "&Help"}));
    EXPECT_EQ(
        entries(topMenu(f.w, 0)),
        (QStringList{"&New\tCtrl+N", "&Open...\tCtrl+O", "&Close", "&Save\tCtrl+S", "Save &As...",
                     "-", "&Export>", "&Preferences", "-", "Recent File", "-", "E&xit"}));
    EXPECT_EQ(entries(topMenu(f.w, 1)),
              (QStringList{"&Undo\tCtrl+Z", "&Redo\tCtrl+Y", "-", "Cu&t\tCtrl+X", "&Copy\tCtrl+C",
                           "&Paste\tCtrl+V", "&Paste from ClipBoard\tCtrl+B", "Clear all", "-",
                           "&Scale\t       s", "&Resize\t       r", "-", "Flip &Vertical\t       y",
                           "Flip &Horizontal\t       x", "Flip &Isometric\t", "-", "&Auto Crop"}));
    EXPECT_EQ(entries(topMenu(f.w, 2)),
              (QStringList{"&Frame select mode", "&Crop", "Make &Grid\tG", "&Select all\tCTRL+A"}));
    EXPECT_EQ(entries(topMenu(f.w, 4)),
              (QStringList{"&Toolbar", "&Status Bar", "-", "Zoom in\t    m", "Zoom out\t    n",
                           "&Zoom>", "-", "&Grid\t    g", "Grid &Options\t ",
                           "S&nap to Grid\t    CRTL+g", "Grid Modus>", "-", "&Red\t    1",
                           "&Green\t    2", "&Blue\t    3", "&Alpha\t    4"}));
    EXPECT_EQ(entries(topMenu(f.w, 5)),
              (QStringList{"Frame &Properties...", "Play at frame &durations"}));
    EXPECT_EQ(entries(topMenu(f.w, 7)), (QStringList{"&New Window", "&Cascade", "Tile &Vertical",
                                                     "Tile &Horizontal", "Close &All"}));
    EXPECT_EQ(entries(topMenu(f.w, 8)), QStringList{"&About Tarquil..."});

    // Paths find the entries; keys are the accelerators of the table.
    EXPECT_EQ(f.w.action("Edit/Copy"), f.w.action(CMD_COPY));
    EXPECT_EQ(f.w.action("view/zoom/3x"), f.w.action(CMD_ZOOM_1 + 2));
    EXPECT_EQ(f.w.action("Mask/Create mask/Pick key color"), f.w.action(CMD_MASK_PICK_KEY));
    EXPECT_EQ(f.w.action("File/Export/Texturemap"), f.w.action(CMD_EXPORT));
    EXPECT_EQ(f.w.action("Animation/Play"), f.w.action(CMD_PLAY));
    EXPECT_EQ(f.w.action("Edit/Nothing"), nullptr);
    EXPECT_EQ(f.w.action(CMD_SNAP)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_G));
    // "G" is a key of the document view, which handles it only while it has the focus.
    EXPECT_TRUE(f.w.action(CMD_MAKE_GRID)->shortcut().isEmpty());
    EXPECT_EQ(f.w.action(CMD_LAST_FRAME)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_5));

    // Without a document only the application commands run; nothing-handled ones never do.
    // Save As and Export are always enabled and say why they do nothing.
    f.w.updateCommands();
    for (int id : {int(CMD_NEW), int(CMD_OPEN), int(CMD_EXIT), int(CMD_ABOUT), int(CMD_TOOLBAR),
                   int(CMD_SAVE_AS), int(CMD_EXPORT)})
        EXPECT_TRUE(f.w.action(id)->isEnabled()) << id;
    f.w.trigger(CMD_SAVE_AS);
    f.w.trigger(CMD_EXPORT);
    ASSERT_GE(f.prompts.messages.size(), 2u);
    EXPECT_EQ(f.prompts.messages[f.prompts.messages.size() - 2],
              "No document is open: there is nothing to save.");
    EXPECT_EQ(f.prompts.messages.back(), "No document is open: there is nothing to export.");
    EXPECT_EQ(f.prompts.saveFileDialogs, 0);
    for (int id : {int(CMD_CLOSE), int(CMD_SAVE), int(CMD_CLOSE_ALL), int(CMD_NEW_WINDOW),
                   int(CMD_CLEAR_ALL), int(CMD_FRAME_SELECT), int(CMD_COPY), int(CMD_ZOOM_IN),
                   int(CMD_SCALE)})
        EXPECT_FALSE(f.w.action(id)->isEnabled()) << id;

    f.make(8, 8);
    f.w.updateCommands();
    for (int id : {int(CMD_CLOSE), int(CMD_SAVE), int(CMD_SAVE_AS), int(CMD_CLOSE_ALL),
                   int(CMD_NEW_WINDOW), int(CMD_ZOOM_IN), int(CMD_SCALE), int(CMD_EXPORT)})
        EXPECT_TRUE(f.w.action(id)->isEnabled()) << id;
    EXPECT_FALSE(f.w.action(CMD_CLEAR_ALL)->isEnabled());
    EXPECT_FALSE(f.w.action(CMD_FRAME_SELECT)->isEnabled());
    EXPECT_FALSE(f.w.action(CMD_ZOOM_OUT)->isEnabled());  // at 1x
    EXPECT_TRUE(f.w.action(CMD_ZOOM_1)->isChecked());
    // Zoom in stops at 8x.
    for (int i = 0; i < 9; ++i) f.w.trigger(CMD_ZOOM_IN);
    EXPECT_EQ(f.w.activeView()->zoom(), 8);
    EXPECT_FALSE(f.w.action(CMD_ZOOM_IN)->isEnabled());
    EXPECT_EQ(f.w.statusPane(3)->text(), QStringLiteral("800%"));

    // A handler added from elsewhere enables its command and receives its triggers.
    int copies = 0;
    f.w.handle(
        "Edit/Copy", [&] { ++copies; }, [] { return true; });
    EXPECT_TRUE(f.w.action(CMD_COPY)->isEnabled());
    f.w.action(CMD_COPY)->trigger();
    EXPECT_EQ(copies, 1);
    // The context menu's entry runs the same command.
    QMenu* ctx = f.w.bitmapContextMenu();
    EXPECT_EQ(ctx->title(), QStringLiteral("Bitmap"));
    EXPECT_EQ(entries(ctx), (QStringList{"Paste\tCTRL+V", "Paste Clipboard\tCTRL+B", "Copy\tCTRL+C",
                                         "-", "Grid\tg", "Snap to grid \tCTRL+g", "Make Grid\tG",
                                         "-", "Zoom In\tm", "Zoom Out\tn", "-", "Export 3df"}));
    ctx->actions().at(2)->trigger();
    EXPECT_EQ(copies, 2);
}

TEST(MainFrame, ToolBarsStatusPanesAndIcons) {
    Window f;
    QToolBar* main = f.w.mainToolBar();
    QToolBar* palette = f.w.paletteToolBar();
    EXPECT_EQ(palette->windowTitle(), QStringLiteral("Bitmap Palette"));
    auto ids = [&](QToolBar* bar) {
        std::vector<int> out;
        for (QAction* a : bar->actions()) {
            if (a->isSeparator()) {
                out.push_back(0);
                continue;
            }
            for (int id = 0; id < 65536; ++id)
                if (f.w.action(id) == a) {
                    out.push_back(id);
                    break;
                }
            // Every button: a sharp icon at 1x and 2x, the menu text as tool tip and name.
            EXPECT_FALSE(a->icon().isNull());
            EXPECT_EQ(a->icon().pixmap(QSize(16, 16), 2.0).deviceIndependentSize(), QSizeF(16, 16));
            EXPECT_EQ(a->icon().pixmap(QSize(16, 16), 2.0).width(), 32);
            QWidget* button = bar->widgetForAction(a);
            EXPECT_EQ(button->accessibleName(), button->toolTip());
            EXPECT_FALSE(button->toolTip().contains(QLatin1Char('&')));
        }
        return out;
    };
    EXPECT_EQ(ids(main),
              (std::vector<int>{CMD_NEW, CMD_OPEN, CMD_SAVE, 0, CMD_COPY, CMD_PASTE, 0, CMD_UNDO,
                                CMD_REDO, 0, CMD_FIRST_FRAME, CMD_PREVIOUS_FRAME, CMD_PLAY,
                                CMD_NEXT_FRAME, CMD_LAST_FRAME}));
    EXPECT_EQ(ids(palette),
              (std::vector<int>{CMD_ZOOM_IN, CMD_ZOOM_OUT, CMD_CROP, CMD_GRID, CMD_SNAP,
                                CMD_FRAME_SELECT, 0, CMD_RED, CMD_GREEN, CMD_BLUE, CMD_ALPHA}));
    EXPECT_EQ(main->widgetForAction(f.w.action(CMD_SAVE))->toolTip(), QStringLiteral("Save"));

    // View > Toolbar hides and shows both bars at once.
    f.w.trigger(CMD_TOOLBAR);
    EXPECT_TRUE(main->isHidden());
    EXPECT_TRUE(palette->isHidden());
    EXPECT_FALSE(f.w.action(CMD_TOOLBAR)->isChecked());
    f.w.trigger(CMD_TOOLBAR);
    EXPECT_FALSE(main->isHidden());
    EXPECT_FALSE(palette->isHidden());
    EXPECT_TRUE(f.w.action(CMD_TOOLBAR)->isChecked());
    f.w.trigger(CMD_STATUS_BAR);
    EXPECT_TRUE(f.w.statusBar()->isHidden());
    f.w.trigger(CMD_STATUS_BAR);
    EXPECT_FALSE(f.w.statusBar()->isHidden());

    // Five panes with names; a document fills size, zoom and cursor.
    QStringList names;
    for (int i = 0; i < 5; ++i) names << f.w.statusPane(i)->accessibleName();
    EXPECT_EQ(names,
              (QStringList{"Messages", "Image size", "Selection", "Zoom", "Cursor position"}));
    f.make(12, 7);
    EXPECT_EQ(f.w.statusPane(1)->text(), QStringLiteral("Size=(12x7)"));
    EXPECT_EQ(f.w.statusPane(3)->text(), QStringLiteral("100%"));
    f.w.updateCommands();
    EXPECT_EQ(f.w.statusPane(1)->accessibleDescription(), QStringLiteral("Size=(12x7)"));
    QtPrompts qt(&f.w, f.w.statusBar());
    qt.status("Texture export OK");
    EXPECT_EQ(f.w.statusPane(0)->text(), QStringLiteral("Texture export OK"));
    // A fly-by text shows in pane 0 while the mouse is on its entry, then the message returns.
    QStatusTipEvent tip(QStringLiteral("Set global settings"));
    QApplication::sendEvent(&f.w, &tip);
    EXPECT_EQ(f.w.statusPane(0)->text(), QStringLiteral("Set global settings"));
    QStatusTipEvent none{QString()};
    QApplication::sendEvent(&f.w, &none);
    EXPECT_EQ(f.w.statusPane(0)->text(), QStringLiteral("Texture export OK"));
}

TEST(MainFrame, NewWindowShowsTheSameDocument) {
    Window f;
    CBitmapDoc* d = f.make(40, 30);
    ASSERT_NE(d, nullptr);
    f.w.trigger(CMD_NEW_WINDOW);
    ASSERT_EQ(f.w.childFrames().size(), 2u);
    EXPECT_EQ(f.w.documentCount(), 1);
    CChildFrame* a = f.w.childFrames()[0];
    CChildFrame* b = f.w.childFrames()[1];
    EXPECT_EQ(b->doc(), d);
    // The number follows the document's name, not its frame position.
    EXPECT_TRUE(a->windowTitle().startsWith(QStringLiteral("untitled:1 ")))
        << a->windowTitle().toStdString();
    EXPECT_TRUE(b->windowTitle().startsWith(QStringLiteral("untitled:2 ")));
    EXPECT_TRUE(b->windowTitle().endsWith(QStringLiteral(" Frame 1:1")));
    // An edit through one window shows in both.
    d->crop(TxRect{0, 0, 10, 5});
    EXPECT_EQ(a->view()->imageSize(), QSize(10, 5));
    EXPECT_EQ(b->view()->imageSize(), QSize(10, 5));
    // The Window menu lists both windows, the active one checked; choosing one activates it.
    QMenu* windowMenu = nullptr;
    for (QAction* m : f.w.menuBar()->actions())
        if (m->text().startsWith(QStringLiteral("&Window"))) windowMenu = m->menu();
    ASSERT_NE(windowMenu, nullptr);
    emit windowMenu->aboutToShow();
    emit windowMenu->aboutToShow();  // refilled, not appended
    QList<QAction*> listed;
    for (QAction* m : windowMenu->actions())
        if (m->property("windowList").toBool() && !m->isSeparator()) listed << m;
    ASSERT_EQ(listed.size(), 2);
    EXPECT_EQ(listed[0]->text(), QStringLiteral("&1 ") + a->windowTitle());
    EXPECT_EQ(listed[1]->text(), QStringLiteral("&2 ") + b->windowTitle());
    EXPECT_NE(listed[0]->isChecked(), listed[1]->isChecked());
    listed[0]->trigger();
    emit windowMenu->aboutToShow();
    listed.clear();
    for (QAction* m : windowMenu->actions())
        if (m->property("windowList").toBool() && !m->isSeparator()) listed << m;
    ASSERT_EQ(listed.size(), 2);
    EXPECT_TRUE(listed[0]->isChecked());
    EXPECT_FALSE(listed[1]->isChecked());
    // Closing one of two windows asks nothing, even when modified; the last one asks.
    ASSERT_TRUE(d->isModified());
    f.prompts.answers = {MsgResult::Cancel};
    EXPECT_TRUE(b->close());
    EXPECT_TRUE(f.prompts.messages.empty());
    EXPECT_FALSE(a->close());
    ASSERT_EQ(f.prompts.messages.size(), 1u);
    EXPECT_EQ(f.prompts.messages[0].rfind("Save changes to untitled", 0), 0u)
        << f.prompts.messages[0];
    EXPECT_EQ(f.w.documentCount(), 1);
}

TEST(MainFrame, CloseAllAndExitStopAtCancelAndEndInOneStep) {
    Window f;
    f.w.show();
    CBitmapDoc* a = f.make(4, 4);
    f.make(4, 4);
    CBitmapDoc* c = f.make(4, 4);
    a->crop(TxRect{0, 0, 2, 2});
    c->crop(TxRect{0, 0, 2, 2});
    // "No" for the first modified document, Cancel for the second: nothing closes.
    f.prompts.answers = {MsgResult::No, MsgResult::Cancel};
    f.w.trigger(CMD_CLOSE_ALL);
    EXPECT_EQ(f.prompts.messages.size(), 2u);
    EXPECT_EQ(f.w.documentCount(), 3);
    EXPECT_EQ(f.w.childFrames().size(), 3u);
    // Exit with Cancel keeps the program running.
    f.prompts.answers = {MsgResult::Cancel};
    EXPECT_FALSE(f.w.close());
    EXPECT_TRUE(f.w.isVisible());
    EXPECT_EQ(f.w.documentCount(), 3);
    // Exit answered No twice ends in one step with every window gone.
    f.prompts.messages.clear();
    f.prompts.answers = {MsgResult::No, MsgResult::No};
    f.w.trigger(CMD_EXIT);
    EXPECT_EQ(f.prompts.messages.size(), 2u);
    EXPECT_FALSE(f.w.isVisible());
    EXPECT_EQ(f.w.documentCount(), 0);
    EXPECT_TRUE(f.w.childFrames().empty());
    EXPECT_EQ(f.w.activeDocument(), nullptr);
}

TEST(MainFrame, ClosingWithOpenDocumentsFreesThemSafely) {
    // The window goes while documents are open: its children must not reach freed documents
    // (AddressSanitizer watches this in make check-asan).
    ensureTestApp();
    MemorySettingsStore store;
    ScriptedPrompts prompts;
    auto w = std::make_unique<CMainFrame>(nullptr, &store);
    w->setPrompts(&prompts);
    prompts.newSizeAnswer = std::make_pair(6, 6);
    CBitmapDoc* d = w->createDocument(prompts);
    ASSERT_NE(d, nullptr);
    w->trigger(CMD_NEW_WINDOW);
    w->createDocument(prompts);
    w->trigger(CMD_CLOSE);
    EXPECT_EQ(w->documentCount(), 1);
    w.reset();
}

TEST(MainFrame, PreferencesDialogFillsTheRecordAndTakesEffect) {
    Window f;
    Preferences start;
    start.frameWidth = 40;
    start.workDirs[0] = "/tmp";
    start.workDir = "/tmp";
    std::string palAsked;
    PreferencesDialog dlg(start, false, &f.w, [&](std::string& file) {
        palAsked = file;
        file = "/tmp/x.pal";
        return true;
    });
    auto spin = [&](const char* name) {
        for (QSpinBox* s : dlg.findChildren<QSpinBox*>())
            if (s->accessibleName() == QLatin1String(name)) return s;
        return static_cast<QSpinBox*>(nullptr);
    };
    ASSERT_NE(spin("Normal Frame width"), nullptr);
    EXPECT_EQ(spin("Normal Frame width")->value(), 40);
    EXPECT_FALSE(spin("Isometric Frame width")->isEnabled());
    // (Values outside 8..1024 are refused on OK: tests/ui/dialog_fields_test.cpp.)
    spin("Normal Frame height")->setValue(1024);
    for (QCheckBox* c : dlg.findChildren<QCheckBox*>()) {
        if (c->text() == QLatin1String("on copy")) c->setChecked(true);
        if (c->text() == QLatin1String("Show transparency as a chequer board")) c->setChecked(true);
    }
    for (QRadioButton* r : dlg.findChildren<QRadioButton*>())
        if (r->text() == QLatin1String("scanline")) r->setChecked(true);
    dlg.findChild<QPushButton*>("paletteOptions")->click();
    EXPECT_EQ(palAsked, "");
    EXPECT_EQ(dlg.findChild<QLineEdit*>("palFile")->text(), QStringLiteral("/tmp/x.pal"));
    EXPECT_FALSE(dlg.findChild<QPushButton*>("registerShell")->isEnabled());
    // Every control has a name a screen reader can read.
    for (QAbstractButton* b : dlg.findChildren<QAbstractButton*>())
        EXPECT_FALSE(b->accessibleName().isEmpty() && b->text().isEmpty());
    for (QAbstractSpinBox* b : dlg.findChildren<QAbstractSpinBox*>())
        EXPECT_FALSE(b->accessibleName().isEmpty());
    for (QComboBox* b : dlg.findChildren<QComboBox*>()) EXPECT_FALSE(b->accessibleName().isEmpty());
    dlg.takeValues();
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    const Preferences& p = dlg.preferences();
    EXPECT_EQ(p.frameHeight, 1024);
    EXPECT_TRUE(p.addOnCopy);
    EXPECT_TRUE(p.chequerBoard);
    EXPECT_EQ(p.compressTga, 2);
    EXPECT_EQ(p.workDir, "/tmp");
    EXPECT_EQ(p.palFile, "/tmp/x.pal");

    // Unticked "Save settings": the run changes, the settings only say bSave=0.
    CBitmapDoc* d = f.make(4, 4);
    ASSERT_NE(d, nullptr);
    Preferences q = p;
    q.palFile.clear();
    f.w.applyPreferences(q, false);
    EXPECT_EQ(f.w.documentContext().write.tgaCompression, 2);
    EXPECT_TRUE(f.w.activeView()->state().preferences().chequer);
    EXPECT_EQ(f.w.activeView()->state().preferences().frameHeight, 1024);
    EXPECT_EQ(f.store.getInt("Settings", "bSave", -1), 0);
    EXPECT_FALSE(f.store.contains("Settings", "CompressTGA"));
    f.w.applyPreferences(q, true);
    EXPECT_EQ(f.store.getInt("Settings", "CompressTGA", -1), 2);
    EXPECT_EQ(f.store.getInt("Settings", "bSave", -1), 1);
    q.compressTga = 1;
    f.w.applyPreferences(q, false);
    EXPECT_EQ(f.w.documentContext().write.tgaCompression, 1);
}

TEST(MainFrame, ANameThatIsNotUtf8Opens) {
    // Latin-1 e-acute: Qt hands the name over with U+FFFD, from a dialog, a drop or the command
    // line alike; the file is found all the same, by its own bytes, and stays on the recent list
    // under them.
    const std::string path = ::testing::TempDir() + "latin1_\xe9.tga";
    std::vector<uint32_t> px(16, 0xFF00FF00u);
    ASSERT_EQ(txWriteTGA(path, 4, 4, px.data()), TX_TGA_OK);
    MemorySettingsStore store;
    ensureTestApp();
    CMainFrame w(nullptr, &store);
    ScriptedPrompts prompts;
    w.setPrompts(&prompts);
    const QString lossy = QFile::decodeName(QByteArray::fromStdString(path));
    ASSERT_TRUE(lossy.contains(QChar::ReplacementCharacter));
    ASSERT_TRUE(w.openFile(lossy));
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(w.activeDocument()->pathName(), path);
    w.closeDocument();
    w.openDropped({QUrl::fromLocalFile(lossy)});
    EXPECT_EQ(w.documentCount(), 1);
    w.closeDocument();
    ASSERT_FALSE(w.recentFiles().files().empty());
    EXPECT_EQ(w.recentFiles().files()[0], path);
    w.openRecentFile(0);
    EXPECT_EQ(w.documentCount(), 1);
    EXPECT_TRUE(prompts.messages.empty());
    w.closeDocument();
    std::remove(path.c_str());
}

TEST(MainFrame, RecentFilesAutoloadDropsAndWhatExitWrites) {
    const std::string dir = ::testing::TempDir();
    auto write = [&](const char* name) {
        const std::string p = dir + name;
        std::vector<uint32_t> px(16, 0xFF00FF00u);
        EXPECT_EQ(txWriteTGA(p, 4, 4, px.data()), TX_TGA_OK);
        return p;
    };
    const std::string a = write("recent_a.tga"), b = write("recent_b.tga");
    MemorySettingsStore store;
    int lastNewWidth = 0;
    {
        ensureTestApp();
        CMainFrame w(nullptr, &store);
        ScriptedPrompts prompts;
        w.setPrompts(&prompts);
        // Nothing on the command line and no autoload: no document at all.
        w.startUp({});
        EXPECT_EQ(w.documentCount(), 0);
        ASSERT_TRUE(w.openFile(QString::fromStdString(a)));
        // A drop opens as Open does.
        w.openDropped({QUrl::fromLocalFile(QString::fromStdString(b))});
        // A dropped folder says that it is one, and opens nothing.
        w.openDropped({QUrl::fromLocalFile(QString::fromStdString(dir))});
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_NE(prompts.messages[0].find(": is a directory"), std::string::npos)
            << prompts.messages[0];
        EXPECT_EQ(prompts.messages[0].rfind("Unrecogniced file format\n", 0), 0u);
        EXPECT_EQ(w.documentCount(), 2);
        EXPECT_EQ(w.documentCount(), 2);
        ASSERT_EQ(w.recentFiles().files().size(), 2u);
        EXPECT_EQ(w.recentFiles().files()[0], b);
        // The menu lists them under File, newest first.
        QStringList texts;
        for (QAction* act : topMenu(w, 0)->actions()) texts << act->text();
        EXPECT_TRUE(texts.contains(QStringLiteral("&1 ") + QString::fromStdString(b)));
        EXPECT_FALSE(w.action(CMD_RECENT_FILE)->isVisible());
        lastNewWidth = w.documentContext().settings.lastNewWidth;
        w.close();
        EXPECT_EQ(w.documentCount(), 0);
    }
    // Exit wrote the placement and the last new size.
    for (const char* k : {"Status", "Top", "Left", "Bottom", "Right"})
        EXPECT_TRUE(store.contains("MWnd", k)) << k;
    EXPECT_EQ(store.getInt("Settings", "last_new_sizex", 0), lastNewWidth);
    EXPECT_EQ(store.getString("Recent File List", "File1", ""), b);

    // Autoload opens the newest entry; a vanished entry is reported and leaves the list.
    store.setInt("Settings", "Autoload recent 0", 1);
    std::remove(b.c_str());
    ensureTestApp();
    CMainFrame w(nullptr, &store);
    ScriptedPrompts prompts;
    w.setPrompts(&prompts);
    w.startUp({});
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], "File " + b + " not found");
    EXPECT_EQ(w.recentFiles().files(), std::vector<std::string>{a});
    EXPECT_EQ(w.documentCount(), 0);
    w.startUp({});
    EXPECT_EQ(w.documentCount(), 1);
    // Files named at start open, and autoload stays out of it.
    w.trigger(CMD_CLOSE_ALL);
    w.startUp({QString::fromStdString(a)});
    EXPECT_EQ(w.documentCount(), 1);
}

TEST(MainFrame, RegistrationDialogAndNewSizeButton) {
    ensureTestApp();
    const QString root = QString::fromStdString(::testing::TempDir()) + QStringLiteral("reg");
    QDir(root).removeRecursively();
    QDir().mkpath(root + QStringLiteral("/config"));
    QFile apps(root + QStringLiteral("/config/mimeapps.list"));
    ASSERT_TRUE(apps.open(QIODevice::WriteOnly));
    apps.write("[Default Applications]\nimage/x-tga=tarquil.desktop;\nimage/png=gimp.desktop;\n");
    apps.close();
    ShellRegistrationDialog dlg(nullptr, root + QStringLiteral("/data"),
                                root + QStringLiteral("/config"));
    QListWidget* list = dlg.list();
    ASSERT_EQ(list->count(), 14);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral(" 3df Textures (*.3df)"));
    EXPECT_EQ(list->item(0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(list->item(1)->text(), QStringLiteral(" TGA 24/32Bit (*.tga)\t- tarquil.desktop"));
    EXPECT_EQ(list->item(1)->checkState(), Qt::Checked);
    EXPECT_EQ(list->item(9)->text(), QStringLiteral(" PNG Bitmap Files (*.png)\t- gimp.desktop"));
    EXPECT_EQ(list->item(9)->checkState(), Qt::Unchecked);
    list->item(0)->setCheckState(Qt::Checked);
    list->item(1)->setCheckState(Qt::Unchecked);
    dlg.apply();
    ASSERT_TRUE(apps.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(apps.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("image/x-tarquil-3df=tarquil.desktop;")));
    EXPECT_FALSE(text.contains(QStringLiteral("image/x-tga")));
    EXPECT_TRUE(text.contains(QStringLiteral("image/png=gimp.desktop;")));
    EXPECT_TRUE(QFile::exists(root + QStringLiteral("/data/applications/tarquil.desktop")));
    EXPECT_TRUE(QFile::exists(root + QStringLiteral("/data/mime/packages/tarquil.xml")));
    EXPECT_TRUE(
        QFile::exists(root + QStringLiteral("/data/icons/hicolor/scalable/apps/tarquil.svg")));

    // "New size" carries its Clipboardsize button.
    QWidget parent;
    QtPrompts qt(&parent);
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* d = static_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        auto* b = d->findChild<QPushButton*>(QStringLiteral("clipboardSize"));
        ASSERT_NE(b, nullptr);
        seen = b->accessibleName() == QStringLiteral("Clipboardsize");
        d->reject();
    });
    EXPECT_FALSE(qt.newSize(10, 20).has_value());
    EXPECT_TRUE(seen);
}
