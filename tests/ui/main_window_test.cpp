#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include "document/document.h"
#include "model/settings.h"
#include "tests/scripted_prompts.h"
#include "tests/ui/qt_app.h"
#include "texlib/tga.h"
#include "ui/main_window.h"
#include "ui/qt_ports.h"

namespace {

std::string writeTga(const std::string& name, int w, int h) {
    const std::string path = std::string(::testing::TempDir()) + name;
    std::vector<uint32_t> px(size_t(w) * size_t(h), 0xFF336699u);
    EXPECT_EQ(txWriteTGA(path, w, h, px.data()), TX_TGA_OK);
    return path;
}

}  // namespace

TEST(MainWindow, OpensFileAndShowsItAtOneToOne) {
    ensureTestApp();
    const std::string path = writeTga("walk.tga", 7, 5);
    CMainFrame w;
    ScriptedPrompts prompts;
    w.setPrompts(&prompts);
    ASSERT_TRUE(w.openFile(QString::fromStdString(path)));
    EXPECT_EQ(w.shownImageSize(), QSize(7, 5));
    EXPECT_TRUE(w.windowTitle().startsWith(QStringLiteral("walk.tga                 Frame 1:1")))
        << w.windowTitle().toStdString();
    ASSERT_NE(w.activeDocument(), nullptr);
    EXPECT_EQ(w.activeDocument()->frames()->count(), 1);
    // Opening the same path again activates the open window.
    ASSERT_TRUE(w.openFile(QString::fromStdString(path)));
    EXPECT_EQ(w.documentCount(), 1);
}

TEST(MainWindow, MissingAndUnreadableFilesOpenNothing) {
    ensureTestApp();
    CMainFrame w;
    ScriptedPrompts prompts;
    w.setPrompts(&prompts);
    EXPECT_FALSE(w.openFile(QStringLiteral("/nonexistent/file.tga")));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], "File /nonexistent/file.tga not found");
    const std::string junk = std::string(::testing::TempDir()) + "junk.bin";
    FILE* f = std::fopen(junk.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("not an image at all", f);
    std::fclose(f);
    EXPECT_FALSE(w.openFile(QString::fromStdString(junk)));
    EXPECT_EQ(w.documentCount(), 0);
    EXPECT_TRUE(w.shownImageSize().isEmpty());
}

TEST(MainWindow, FrameCommandsStepThroughASeries) {
    ensureTestApp();
    const std::string a = writeTga("run001.tga", 3, 3);
    writeTga("run002.tga", 3, 3);
    CMainFrame w;
    ScriptedPrompts prompts;
    w.setPrompts(&prompts);
    ASSERT_TRUE(w.openFile(QString::fromStdString(a)));
    EXPECT_EQ(prompts.loadDialogs, 1);
    EXPECT_EQ(w.activeDocument()->frames()->count(), 2);
    w.runCommand(CMD_NEXT_FRAME);
    EXPECT_EQ(w.activeDocument()->frames()->currentIndex(), 1);
    EXPECT_TRUE(w.windowTitle().contains(QStringLiteral("Frame 2:2")));
}

TEST(QtPorts, FilterListsAndSharedSettingsFile) {
    ensureTestApp();
    const QStringList f = qtFilterList("TGA 32Bit (*.tga)|*.tga|PNG 32Bit (*.png)|*.png||");
    ASSERT_EQ(f.size(), 2);
    EXPECT_EQ(f[1], QStringLiteral("PNG 32Bit (*.png)"));
    EXPECT_EQ(qtFilterList("Raw|*.raw||")[0], QStringLiteral("Raw (*.raw)"));

    // The editor (QSettings) and tarquil-cli (our INI reader) read each other's values.
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("t.conf"));
    {
        QtSettingsStore qt(ini);
        qt.setInt("Settings", "CompressTGA", 2);
        qt.setString("Recent File List", "File1", "/tmp/a b, c.tga");
        qt.setString("FontWizard\\Preset1", "name", "Big \"quoted\"");
        qt.sync();
    }
    IniSettingsStore ours(ini.toStdString());
    EXPECT_EQ(ours.getInt("Settings", "CompressTGA", 0), 2);
    EXPECT_EQ(ours.getString("Recent File List", "File1", ""), "/tmp/a b, c.tga");
    EXPECT_EQ(ours.getString("FontWizard\\Preset1", "name", ""), "Big \"quoted\"");
    ours.setString("ExportTexture", "comment", "x=1; y\\2");
    ours.setInt("ExportTexture", "format", 10);
    ASSERT_TRUE(ours.flush());
    QtSettingsStore back(ini);
    EXPECT_EQ(back.getString("ExportTexture", "comment", ""), "x=1; y\\2");
    EXPECT_EQ(back.getInt("ExportTexture", "format", 0), 10);
    EXPECT_EQ(back.getInt("Settings", "CompressTGA", 0), 2);
    // The editor's own file is the one tarquil-cli reads.
    EXPECT_EQ(QtSettingsStore().fileName().toStdString(), IniSettingsStore::defaultPath());
}
