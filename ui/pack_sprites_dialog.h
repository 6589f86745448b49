// Tools > "Pack Sprites...": the files and folders to pack, the pack options of tarquil-cli
// pack, the pages' file name and the data file. The dialog only fills a PackRequest; OK hands it
// to `run`, and the dialog stays open when that fails, so that a setting can be corrected.
#pragma once

#include <QDialog>
#include <functional>

#include "tools/pack/pack_request.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

class PackSpritesDialog : public QDialog {
    Q_OBJECT
public:
    PackSpritesDialog(const PackRequest& start, std::function<bool(const PackRequest&)> run,
                      QWidget* parent = nullptr);

    // The request as the controls show it.
    PackRequest request() const;
    // Appends files or folders to the list (each once).
    void addInputs(const QStringList& paths);

private:
    void addFiles();
    void addFolder();
    void removeSelected();
    void browseSheet();
    void browseData();
    void browseTemplate();
    void updateControls();
    void accept() override;

    std::function<bool(const PackRequest&)> run_;
    QListWidget* inputs_;
    QPushButton* remove_;
    QComboBox* trim_;
    QSpinBox* threshold_;
    QSpinBox* extrude_;
    QSpinBox* border_;
    QSpinBox* padding_;
    QCheckBox* rotate_;
    QComboBox* size_;
    QSpinBox* maxWidth_;
    QSpinBox* maxHeight_;
    QCheckBox* alias_;
    QLineEdit* sheet_;
    QCheckBox* writeData_;
    QLineEdit* data_;
    QPushButton* dataBrowse_;
    QComboBox* template_;
    QPushButton* templateBrowse_;
};
