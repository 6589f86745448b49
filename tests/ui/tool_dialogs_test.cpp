// The tool dialogs driven as a person would: each test answers the modal dialog from a timer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColorDialog>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "model/custom_colours.h"
#include "model/settings.h"
#include "tools/animmaster/animmaster.h"
#include "ui/colour_chooser.h"
#include "ui/qt_ports.h"

namespace {

QApplication* app() {
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* a = [] {
        if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance()))
            return existing;
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return a;
}

// Runs `answer` on the next modal dialog of type T once it is shown.
template <class T>
void whenShown(std::function<void(T&)> answer) {
    QTimer::singleShot(0, [answer] {
        auto* d = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!d) {
            ADD_FAILURE() << "no modal dialog of the expected type";
            if (auto* w = QApplication::activeModalWidget()) w->close();
            return;
        }
        answer(*d);
    });
}

} // namespace

TEST(ColourChooser, CustomColoursComeFromAndReturnToGridColor) {
    app();
    MemorySettingsStore st;
    // Absent values give 15000, 14000, ..., 0; a stored one is shown instead.
    st.setInt("GridColor", "c2", 0x00112233);
    whenShown<QColorDialog>([](QColorDialog& d) {
        EXPECT_EQ(qColorToColourRef(QColorDialog::customColor(0)), 15000u);
        EXPECT_EQ(qColorToColourRef(QColorDialog::customColor(1)), 0x00112233u);
        EXPECT_EQ(qColorToColourRef(QColorDialog::customColor(15)), 0u);
        EXPECT_EQ(qColorToColourRef(d.currentColor()), 0x000000FFu);  // pure red as given
        QColorDialog::setCustomColor(4, QColor(1, 2, 3));
        d.setCurrentColor(QColor(0x10, 0x20, 0x30));
        d.accept();
    });
    const auto chosen = chooseColour(nullptr, st, 0x000000FF);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(*chosen, 0x00302010u);  // red in the low byte
    EXPECT_EQ(st.getInt("GridColor", "c5", -1), 0x00030201);
    EXPECT_EQ(st.getInt("GridColor", "c1", -1), 15000);
    EXPECT_EQ(st.getInt("GridColor", "c16", -1), 0);

    // Cancel changes neither the answer nor the stored colours.
    MemorySettingsStore untouched;
    whenShown<QColorDialog>([](QColorDialog& d) {
        QColorDialog::setCustomColor(0, QColor(9, 9, 9));
        d.reject();
    });
    EXPECT_FALSE(chooseColour(nullptr, untouched, 0));
    EXPECT_TRUE(untouched.values().empty());
    EXPECT_EQ(colourRefToRgb(0x00302010u), 0x00102030u);
}

TEST(ColourChooser, AnimMasterColorButtonWritesTheKeyAsPixelWord) {
    app();
    MemorySettingsStore st;
    QtPrompts prompts(nullptr);
    prompts.setSettingsSource([&st]() -> SettingsStore& { return st; });
    AnimMasterOptions o;
    o.colorKey = 0x00FF0000;  // red as a pixel word
    whenShown<QDialog>([](QDialog& d) {
        whenShown<QColorDialog>([](QColorDialog& c) {
            EXPECT_EQ(c.currentColor(), QColor(255, 0, 0));
            QColorDialog::setCustomColor(15, QColor(0, 0, 255));
            c.setCurrentColor(QColor(0x12, 0x34, 0x56));
            c.accept();
        });
        for (auto* b : d.findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("Color")) b->click();
        d.accept();
    });
    ASSERT_TRUE(prompts.animMasterOptions(o));
    EXPECT_EQ(o.colorKey, 0x00123456u);
    EXPECT_EQ(st.getInt("GridColor", "c16", -1), 0x00FF0000);
}
