// Save As and the first save of a new document through the real Qt file dialog: every entry of
// every save dialog writes its own type under its own extension.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "document/document.h"
#include "tests/ui/qt_app.h"
#include "texlib/read.h"
#include "ui/qt_ports.h"

namespace fs = std::filesystem;

namespace {

struct SeenDialogs {
    bool singleTicked = false, singleEnabled = true, incrementEnabled = true, startEnabled = true;
    int others = 0;
};

// Answers the modal dialogs as they come: the file dialog gets filter `filter` picked from its
// type box and `name` typed; the sequence save options are looked at and accepted; any other
// dialog (Palette Options) is accepted as it stands.
void answerDialogs(int filter, const QString& name, SeenDialogs& seen) {
    QTimer::singleShot(0, [filter, name, &seen] {
        QWidget* w = QApplication::activeModalWidget();
        if (auto* fd = qobject_cast<QFileDialog*>(w)) {
            auto* types = fd->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            ASSERT_TRUE(types);
            types->setCurrentIndex(filter - 1);
            emit types->activated(filter - 1);
            fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
            answerDialogs(filter, name, seen);  // whatever follows the file dialog
            QMetaObject::invokeMethod(fd, "accept");
            return;
        }
        auto* d = qobject_cast<QDialog*>(w);
        if (!d) return;
        if (d->windowTitle() == QStringLiteral("Sequence save options")) {
            for (auto* c : d->findChildren<QCheckBox*>()) {
                seen.singleTicked = c->isChecked();
                seen.singleEnabled = c->isEnabled();
            }
            const auto spins = d->findChildren<QSpinBox*>();
            seen.incrementEnabled = spins.size() > 0 && spins[0]->isEnabled();
            seen.startEnabled = spins.size() > 1 && spins[1]->isEnabled();
        } else {
            ++seen.others;
        }
        answerDialogs(filter, name, seen);
        d->accept();
    });
}

int typeOnDisk(const std::string& path) {
    TxMip mip;
    TxReadContext ctx;
    txMipReadFile(mip, path, TX_PREFER_ARGB8888, ctx);
    return ctx.fileType;
}

std::unique_ptr<FrameSequence> frames(int count) {
    auto seq = std::make_unique<FrameSequence>();
    EXPECT_EQ(seq->addBlankFrames(4, 4, count), FE_OK);
    for (int k = 0; k < count; ++k) seq->frameAt(k)->pixels()[0] = 0xFF102030u + uint32_t(k);
    return seq;
}

}  // namespace

TEST(SaveDialogs, EveryEntryWritesItsOwnTypeAndExtension) {
    ensureTestApp();
    const std::string dir = std::string(::testing::TempDir()) + "save_dialogs";
    fs::remove_all(dir);
    fs::create_directories(dir);
    QWidget parent;
    QtPrompts prompts(&parent);

    // Save As: TGA 32Bit, PNG 32Bit, BMP 24Bit, BMP 8Bit, PCX 8Bit, SPR 8Bit.
    const struct {
        const char* name;
        const char* file;
        int type;
    } kSaveAs[6] = {{"s_tga", "s_tga.tga", TX_TYPE_TGA}, {"s_png", "s_png.png", TX_TYPE_PNG},
                    {"s_bmp", "s_bmp.bmp", TX_TYPE_BMP}, {"s_bmp8", "s_bmp8.bmp", TX_TYPE_BMP},
                    {"s_pcx", "s_pcx.pcx", TX_TYPE_PCX}, {"s_spr", "s_spr.spr", TX_TYPE_SPR}};
    for (int i = 0; i < 6; ++i) {
        CBitmapDoc doc;
        doc.setFrames(frames(1));
        doc.setPathName(dir + "/start.tga");
        SeenDialogs seen;
        answerDialogs(i + 1, QString::fromStdString(dir + "/" + kSaveAs[i].name), seen);
        ASSERT_TRUE(doc.saveAs(prompts)) << kSaveAs[i].name;
        QApplication::processEvents();  // the answer waiting for a dialog that did not come
        EXPECT_EQ(typeOnDisk(dir + "/" + kSaveAs[i].file), kSaveAs[i].type) << kSaveAs[i].file;
        EXPECT_EQ(seen.others, i == 3 ? 1 : 0) << "Palette Options only for BMP 8Bit";
    }

    // Ten frames as SPR: one sprite file, the dialog's single file ticked and locked.
    {
        CBitmapDoc doc;
        doc.setFrames(frames(10));
        doc.setPathName(dir + "/anim.tga");
        SeenDialogs seen;
        answerDialogs(6, QString::fromStdString(dir + "/spr"), seen);
        ASSERT_TRUE(doc.saveAs(prompts));
        QApplication::processEvents();
        EXPECT_EQ(typeOnDisk(dir + "/spr.spr"), TX_TYPE_SPR);
        EXPECT_FALSE(fs::exists(dir + "/spr000.tga"));
        EXPECT_TRUE(seen.singleTicked);
        EXPECT_FALSE(seen.singleEnabled);
        EXPECT_FALSE(seen.incrementEnabled);
        EXPECT_FALSE(seen.startEnabled);
    }

    // The first save of a new document: TGA 24/32Bit, Windows Bitmap, PCX, PNG, Promotion Sprite.
    const struct {
        const char* name;
        const char* file;
        int type;
    } kSave[5] = {{"sprite", "sprite.tga", TX_TYPE_TGA},
                  {"n_bmp", "n_bmp.bmp", TX_TYPE_BMP},
                  {"n_pcx", "n_pcx.pcx", TX_TYPE_PCX},
                  {"sprite2.png", "sprite2.png", TX_TYPE_PNG},
                  {"n_spr", "n_spr.spr", TX_TYPE_SPR}};
    for (int i = 0; i < 5; ++i) {
        CBitmapDoc doc;
        doc.setFrames(frames(1));
        doc.setTitle("untitled");
        SeenDialogs seen;
        answerDialogs(i + 1, QString::fromStdString(dir + "/" + kSave[i].name), seen);
        ASSERT_TRUE(doc.save(prompts)) << kSave[i].name;
        QApplication::processEvents();
        EXPECT_EQ(typeOnDisk(dir + "/" + kSave[i].file), kSave[i].type) << kSave[i].file;
        EXPECT_EQ(doc.pathName(), dir + "/" + kSave[i].file);
    }
    EXPECT_FALSE(fs::exists(dir + "/sprite")) << "a file without its extension";
}
