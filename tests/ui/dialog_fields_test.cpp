// The editor's dialogs driven as a person would: numbers typed key by key, OK and Enter, the
// refusals they show, and the controls reached through the accessibility interface.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <functional>
#include <string>

#include "model/export_settings.h"
#include "model/int_field.h"
#include "model/settings.h"
#include "tests/scripted_prompts.h"
#include "tests/ui/dialog_driver.h"
#include "tests/ui/qt_app.h"
#include "ui/bitmap_view.h"
#include "ui/int_field.h"
#include "ui/main_window.h"
#include "ui/pack_sprites_dialog.h"
#include "ui/preferences_dialog.h"
#include "ui/qt_ports.h"

namespace {

// Closes every message box that comes up while it lives, keeping their texts.
struct MessageCatcher {
    MessageCatcher() {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click()
                                             : box->reject();
            }
        });
        timer.start();
    }
    // The texts one to a line, as a failure shows them.
    std::string all() const { return texts.join(QLatin1Char('\n')).toStdString(); }
    QStringList texts;
    QTimer timer;
};

void key(QWidget* w, int k, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier, text);
    QCoreApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, k, Qt::NoModifier, text);
    QCoreApplication::sendEvent(w, &release);
}

// Types over the whole field, one key at a time.
void typeInto(IntField* f, const QString& text) {
    f->selectAll();
    key(f, Qt::Key_Backspace);
    for (QChar c : text) key(f, Qt::Key_0 + c.digitValue(), QString(c));
}

void pressOk(QDialog& d) {
    d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
}

}  // namespace

TEST(DialogFields, TheRuleCountsEveryDigit) {
    EXPECT_EQ(intRangeMessage(8, 1024), "Please enter an integer between 8 and 1024.");
    EXPECT_EQ(intFieldValue(" 640 ", 1, 65535), 640);
    EXPECT_EQ(intFieldValue("-3", -5, 5), -3);
    EXPECT_EQ(intFieldValue("70000", 1, 65535), std::nullopt);
    EXPECT_EQ(intFieldValue("0", 1, 65535), std::nullopt);
    EXPECT_EQ(intFieldValue("", 0, 10), std::nullopt);
    EXPECT_EQ(intFieldValue("12a", 0, 100), std::nullopt);
    EXPECT_EQ(intFieldValue("99999999999999999999999", 0, 65535), std::nullopt);
    EXPECT_EQ(intFieldValue("-99999999999999999999999", -10, 65535), std::nullopt);
}

TEST(DialogFields, NewSizeRefusesOutOfRangeAndOversizeAndStaysOpen) {
    ensureTestApp();
    QtPrompts qt(nullptr);
    MessageCatcher messages;
    bool stillOpen = true;
    QString typed;
    whenShown([&](QDialog& d) {
        auto* w = control<IntField>(d, QStringLiteral("Width"));
        auto* h = control<IntField>(d, QStringLiteral("Height"));
        // The fifth digit is kept, and OK refuses the number.
        typeInto(w, QStringLiteral("70000"));
        typed = w->text();
        pressOk(d);
        // Width 0 and Enter.
        typeInto(w, QStringLiteral("0"));
        key(w, Qt::Key_Return);
        stillOpen = d.isVisible();
        // In range, but past the largest picture there can be.
        typeInto(w, QStringLiteral("20000"));
        typeInto(h, QStringLiteral("20000"));
        key(h, Qt::Key_Return);
        stillOpen = stillOpen && d.isVisible();
        typeInto(w, QStringLiteral("640"));
        typeInto(h, QStringLiteral("48"));
        key(h, Qt::Key_Return);
    });
    const auto size = qt.newSize(512, 512);
    EXPECT_EQ(typed, QStringLiteral("70000"));
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(messages.all(), "Please enter an integer between 1 and 65535.\n"
                              "Please enter an integer between 1 and 65535.\n"
                              "A picture of 20000 x 20000 is over the limit of 1 GiB of pixels "
                              "(268435456 pixels, e.g. 16384 x 16384).");
    EXPECT_EQ(size, std::make_pair(640, 48));
}

TEST(DialogFields, EveryOptionDialogRefusesWithItsRange) {
    ensureTestApp();
    QtPrompts qt(nullptr);
    MessageCatcher messages;
    // Types `bad` into the field, presses OK (refused, the dialog stays), then `good`.
    auto refuse = [&](const QString& field, const QString& bad, const QString& good) {
        whenShown([=](QDialog& d) {
            auto* f = control<IntField>(d, field);
            typeInto(f, bad);
            pressOk(d);
            EXPECT_TRUE(d.isVisible()) << field.toStdString();
            EXPECT_TRUE(f->hasFocus() || !QApplication::focusWidget()) << field.toStdString();
            typeInto(f, good);
            pressOk(d);
        });
    };
    refuse(QStringLiteral("Width"), QStringLiteral("0"), QStringLiteral("30"));
    EXPECT_EQ(qt.scaleSize(60, 40), std::make_pair(30, 40));
    refuse(QStringLiteral("Height"), QStringLiteral("65536"), QStringLiteral("20"));
    const auto canvas = qt.resizeCanvas(ResizeChoice{60, 40, false});
    ASSERT_TRUE(canvas);
    EXPECT_EQ(canvas->height, 20);
    refuse(QStringLiteral("Bias 0-255"), QStringLiteral("256"), QStringLiteral("128"));
    EXPECT_EQ(qt.maskBias(255), 128);
    refuse(QStringLiteral("Every Nth Frame"), QStringLiteral("0"), QStringLiteral("3"));
    EXPECT_EQ(qt.sequenceLoadOptions(SequenceLoadOptions{})->every, 3);
    // "Set maximum values": the spin boxes have their names, and 70000 is not 7000.
    refuse(QStringLiteral("Width"), QStringLiteral("70000"), QStringLiteral("300"));
    const auto max = qt.maxSize(MaxSizeOptions{});
    ASSERT_TRUE(max);
    EXPECT_EQ(max->width, 300);
    EXPECT_EQ(messages.all(), "Please enter an integer between 1 and 65535.\n"
                              "Please enter an integer between 1 and 65535.\n"
                              "Please enter an integer between 0 and 255.\n"
                              "Please enter an integer between 1 and 100.\n"
                              "Please enter an integer between 0 and 65535.");
    // A disabled field is not checked: an "automatic" side may hold anything.
    whenShown([](QDialog& d) {
        EXPECT_NE(control<IntField>(d, QStringLiteral("Height")), nullptr);
        control<QCheckBox>(d, QStringLiteral("Height automatic"))->setChecked(true);
        control<IntField>(d, QStringLiteral("Height"))->setText(QStringLiteral("99999"));
        pressOk(d);
    });
    EXPECT_TRUE(qt.maxSize(MaxSizeOptions{}).has_value());
    EXPECT_EQ(messages.texts.size(), 5) << messages.all();
    // The arrows stay inside the range.
    IntField f(4, 1024, 1024, QStringLiteral("X Size"));
    f.stepUp();
    EXPECT_EQ(f.value(), 1024);
    f.setValue(4);
    f.stepDown();
    EXPECT_EQ(f.value(), 4);
    // A locale with its own digits shows them, and the number is still read.
    f.setLocale(QLocale(QLocale::Arabic, QLocale::Egypt));
    f.setValue(640);
    EXPECT_NE(f.text(), QStringLiteral("640"));
    EXPECT_EQ(f.allowedValue(), 640);
}

TEST(DialogFields, PackSpritesRefusesBeforeItPacks) {
    ensureTestApp();
    MessageCatcher messages;
    int runs = 0;
    PackSpritesDialog d(PackRequest{}, [&runs](const PackRequest&) { return ++runs > 0; });
    auto* padding = control<IntField>(d, QStringLiteral("Padding"));
    typeInto(padding, QStringLiteral("300"));
    pressOk(d);
    EXPECT_EQ(runs, 0);
    EXPECT_NE(d.result(), int(QDialog::Accepted));
    EXPECT_EQ(messages.all(), "Please enter an integer between 0 and 256.");
    typeInto(padding, QStringLiteral("2"));
    pressOk(d);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(d.request().options.padding, 2);
}

TEST(DialogFields, PreferencesRefuseAFrameWidthOfSeven) {
    ensureTestApp();
    MessageCatcher messages;
    PreferencesDialog d(Preferences{}, false);
    auto* width = control<IntField>(d, QStringLiteral("Normal Frame width"));
    typeInto(width, QStringLiteral("7"));
    auto* ok = d.findChild<QPushButton*>(QStringLiteral("ok"));
    ok->click();
    EXPECT_NE(d.result(), int(QDialog::Accepted));
    EXPECT_EQ(width->text(), QStringLiteral("7"));
    EXPECT_EQ(messages.all(), "Please enter an integer between 8 and 1024.");
    typeInto(width, QStringLiteral("40"));
    typeInto(control<IntField>(d, QStringLiteral("Undo memory (MiB, 0 = one step)")),
             QStringLiteral("64"));
    ok->click();
    EXPECT_EQ(d.result(), int(QDialog::Accepted));
    EXPECT_EQ(d.preferences().frameWidth, 40);
    EXPECT_EQ(d.preferences().undoMemoryMiB, 64);
}

TEST(DialogFields, FramePropertiesRefusesADurationOutOfRange) {
    ensureTestApp();
    QtPrompts qt(nullptr);
    MessageCatcher messages;
    whenShown([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Frame Properties"));
        auto* f = control<IntField>(d, QStringLiteral("Duration (ms)"));
        EXPECT_EQ(f->text(), QStringLiteral("80"));
        typeInto(f, QStringLiteral("70000"));
        pressOk(d);
        EXPECT_TRUE(d.isVisible());
        typeInto(f, QStringLiteral("250"));
        control<QRadioButton>(d, QStringLiteral("All frames"))->setChecked(true);
        pressOk(d);
    });
    const auto t = qt.frameProperties(FrameTiming{80, false});
    ASSERT_TRUE(t);
    EXPECT_EQ(t->durationMs, 250);
    EXPECT_TRUE(t->allFrames);
    EXPECT_EQ(messages.all(), "Please enter an integer between 1 and 65535.");
}

TEST(DialogFields, ExportRadiosChosenThroughAccessibilityRefreshTheControls) {
    ensureTestApp();
    QtPrompts qt(nullptr);
    MessageCatcher messages;
    ExportTextureSettings s;
    s.format = 6;  // rgb565: a 16-bit format, swappable without a header
    s.resample = 2;
    bool swapBefore = true, swapAfter = false;
    whenShown([&](QDialog& d) {
        auto* swap = control<QCheckBox>(d, QStringLiteral("swap 16-bit byte order"));
        swapBefore = swap->isEnabled();
        for (const char* box : {"Format", "Mipmaps", "Resample", "Mipmap filter"})
            EXPECT_NE(control<QComboBox>(d, QString::fromLatin1(box)), nullptr) << box;
        QAccessibleInterface* radio =
            QAccessible::queryAccessibleInterface(control<QRadioButton>(d, "no header"));
        ASSERT_NE(radio, nullptr);
        ASSERT_TRUE(radio->actionInterface());
        radio->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        swapAfter = swap->isEnabled();
        // Resampling to 32768 x 32768 passes the 1 GiB limit: refused, named.
        typeInto(control<IntField>(d, QStringLiteral("Width")), QStringLiteral("32768"));
        typeInto(control<IntField>(d, QStringLiteral("Height")), QStringLiteral("32768"));
        pressOk(d);
        EXPECT_TRUE(d.isVisible());
        typeInto(control<IntField>(d, QStringLiteral("Height")), QStringLiteral("64"));
        pressOk(d);
    });
    ASSERT_TRUE(qt.exportTextureOptions(s));
    EXPECT_FALSE(swapBefore);
    EXPECT_TRUE(swapAfter);
    EXPECT_EQ(s.header, 2);
    EXPECT_EQ(s.height, 64);
    EXPECT_EQ(messages.all(), "A picture of 32768 x 32768 is over the limit of 1 GiB of pixels "
                              "(268435456 pixels, e.g. 16384 x 16384).");
}

TEST(DialogFields, ContextMenuAndAboutAreReachedWithoutAMouse) {
    ensureTestApp();
    MemorySettingsStore store;
    ScriptedPrompts prompts;
    CMainFrame w(nullptr, &store);
    w.setPrompts(&prompts);
    prompts.newSizeAnswer = std::make_pair(16, 16);
    ASSERT_NE(w.createDocument(prompts), nullptr);
    CBitmapView* view = w.activeView();
    auto* menu = w.findChild<QMenu*>(QStringLiteral("Bitmap"));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->parent(), &w);
    EXPECT_EQ(menu->accessibleName(), QStringLiteral("Bitmap"));
    // The picture offers "ShowMenu" to a screen reader, and the Menu key opens it too.
    QAccessibleInterface* picture = QAccessible::queryAccessibleInterface(view);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->text(QAccessible::Name), QStringLiteral("Picture"));
    // The menu is found below the picture, with its entries, before it is ever shown.
    ASSERT_GT(picture->childCount(), 0);
    QAccessibleInterface* below = picture->child(picture->childCount() - 1);
    ASSERT_NE(below, nullptr);
    EXPECT_EQ(below->object(), menu);
    EXPECT_EQ(below->role(), QAccessible::PopupMenu);
    EXPECT_EQ(below->text(QAccessible::Name), QStringLiteral("Bitmap"));
    EXPECT_EQ(picture->indexOfChild(below), picture->childCount() - 1);
    // Closed, its entries still say what can act now: Copy needs a selection.
    w.updateCommands();
    ASSERT_EQ(menu->actions().at(2)->data().toInt(), int(CMD_COPY));
    EXPECT_FALSE(menu->actions().at(2)->isEnabled());
    EXPECT_TRUE(menu->actions().at(8)->isEnabled());  // Zoom In
    ASSERT_TRUE(picture->actionInterface());
    EXPECT_TRUE(picture->actionInterface()->actionNames().contains(
        QAccessibleActionInterface::showMenuAction()));
    picture->actionInterface()->doAction(QAccessibleActionInterface::showMenuAction());
    EXPECT_TRUE(menu->isVisible());
    QAccessibleInterface* m = QAccessible::queryAccessibleInterface(menu);
    ASSERT_NE(m, nullptr);
    ASSERT_GT(m->childCount(), 0);
    EXPECT_EQ(m->child(0)->text(QAccessible::Name), QStringLiteral("Paste\tCTRL+V"));
    menu->hide();
    QContextMenuEvent keyboard(QContextMenuEvent::Keyboard, QPoint(2, 2),
                               view->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(view, &keyboard);
    EXPECT_TRUE(menu->isVisible());
    menu->hide();

    // Every control of the window, the position list's included, has a name to be read by.
    for (QWidget* c : w.findChildren<QWidget*>()) {
        if (!qobject_cast<QAbstractButton*>(c) && !qobject_cast<QAbstractSpinBox*>(c) &&
            !qobject_cast<QAbstractItemView*>(c))
            continue;
        // A combo box's own list, and Qt's own parts (the menu bar's overflow button).
        if (qobject_cast<QComboBox*>(c->parentWidget()) ||
            c->objectName().startsWith(QLatin1String("qt_")))
            continue;
        const QString name = QAccessible::queryAccessibleInterface(c)->text(QAccessible::Name);
        EXPECT_FALSE(name.isEmpty() && c->toolTip().isEmpty())
            << c->metaObject()->className() << " " << c->objectName().toStdString();
    }

    // Help > About: the dialog has its title and every text its name.
    QString title, version;
    whenShown([&](QDialog& d) {
        title = QAccessible::queryAccessibleInterface(&d)->text(QAccessible::Name);
        version = control<QLabel>(d, QStringLiteral("Tarquil 1.25"))->accessibleName();
        d.accept();
    });
    w.trigger(CMD_ABOUT);
    EXPECT_EQ(title, QStringLiteral("About Tarquil"));
    EXPECT_EQ(version, QStringLiteral("Tarquil 1.25"));
}
