#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>

#include "texlib/tga.h"
#include "ui/main_window.h"

namespace {

QApplication* app() {
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* a = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return a;
}

} // namespace

TEST(MainWindow, OpensFileAndShowsItAtOneToOne) {
    app();
    const std::string path = std::string(::testing::TempDir()) + "walk.tga";
    std::vector<uint32_t> px(size_t(7) * 5, 0xFF336699u);
    ASSERT_EQ(txWriteTGA(path, 7, 5, px.data()), TX_TGA_OK);
    CMainFrame w;
    ASSERT_TRUE(w.openFile(QString::fromStdString(path), true));
    EXPECT_EQ(w.shownImageSize(), QSize(7, 5));
    EXPECT_TRUE(w.windowTitle().startsWith(QStringLiteral("walk.tga                 Frame 1:1")))
        << w.windowTitle().toStdString();
    ASSERT_NE(w.sequence(), nullptr);
    EXPECT_EQ(w.sequence()->count(), 1);
}

TEST(MainWindow, MissingAndUnreadableFilesOpenNothing) {
    app();
    CMainFrame w;
    EXPECT_FALSE(w.openFile(QStringLiteral("/nonexistent/file.tga"), true));
    const std::string junk = std::string(::testing::TempDir()) + "junk.bin";
    FILE* f = std::fopen(junk.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("not an image at all", f);
    std::fclose(f);
    EXPECT_FALSE(w.openFile(QString::fromStdString(junk), true));
    EXPECT_EQ(w.sequence(), nullptr);
    EXPECT_TRUE(w.shownImageSize().isEmpty());
}
