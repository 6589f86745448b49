// "Register shell file types": one line per document type, ticked while the desktop opens that
// type with this program; OK makes the ticked ones ours and gives up the unticked ones we held.
#pragma once

#include <QDialog>
#include <QString>

class QListWidget;

class ShellRegistrationDialog : public QDialog {
    Q_OBJECT
public:
    // `configHome` holds mimeapps.list, `dataHome` receives the desktop files (the user's XDG
    // folders by default).
    explicit ShellRegistrationDialog(QWidget* parent = nullptr, QString dataHome = {},
                                     QString configHome = {});
    QListWidget* list() const { return list_; }
    // OK: writes the files and the choices; errors are shown, the other lines go on.
    void apply();

private:
    QListWidget* list_;
    QString dataHome_, configHome_;
};

// Writes the desktop entry, the MIME package and the icon into the user's data folder when they
// are missing (or always with `overwrite`), and tells the desktop's caches. Returns the paths
// that could not be written.
QStringList installDesktopFiles(const QString& dataHome, bool overwrite);
