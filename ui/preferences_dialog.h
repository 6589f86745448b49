// The "Preferences" dialog: fills a copy of the preferences record; OK hands it back.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "model/preferences.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    // `paletteOptions` runs the Palette Options dialog for the "pal" button (with the palette
    // file, which it may change; false when cancelled); `registerTypes` opens the shell
    // registration for ">". Either may be empty: its button is then disabled.
    PreferencesDialog(const Preferences& prefs, bool saveSettings, QWidget* parent = nullptr,
                      std::function<bool(std::string&)> paletteOptions = {},
                      std::function<void()> registerTypes = {});

    // The values after OK.
    const Preferences& preferences() const { return prefs_; }
    bool saveSettings() const;
    // The OK button (32802): takes the values and closes; an inaccessible typed folder keeps
    // the dialog open.
    void takeValues();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    struct DirControls {
        QComboBox* box = nullptr;
        DirectoryBox* model = nullptr;
    };
    QComboBox* directoryBox(DirectoryBox& model, const QString& name);
    void fillBox(QComboBox* box, const DirectoryBox& model);
    bool commitBox(QComboBox* box, DirectoryBox& model);

    Preferences prefs_;
    DirectoryBox saveDirs_, workDirs_;
    QSpinBox *frameW_, *frameH_, *isoW_, *isoH_, *undoMemory_;
    QCheckBox *isometric_, *autoload_, *onCopy_, *onPaste_, *chequer_, *save_;
    QButtonGroup* compress_;
    QComboBox *saveBox_, *workBox_;
    QLineEdit* palFile_;
    QPushButton* ok_;
    std::function<bool(std::string&)> paletteOptions_;
};
