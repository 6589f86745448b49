#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSessionManager>
#include <QStringList>

#include "model/shell_registration.h"
#include "ui/main_window.h"
#include "ui/shell_registration_dialog.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Few colours make the editor's pictures unreadable: ask before going on.
    while (QScreen* screen = QGuiApplication::primaryScreen()) {
        if (screen->depth() > 8) break;
        const auto answer = QMessageBox::warning(
            nullptr, QStringLiteral("Tarquil 1.25"),
            QStringLiteral(
                "Warning: 8-Bit color resolution is not well supported,\nChange Settings and retry\n"),
            QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
        if (answer == QMessageBox::Ignore) break;
        if (answer != QMessageBox::Retry) return 1;
    }
    QApplication::setOrganizationName(QStringLiteral("BrightvaleWorks"));
    QApplication::setApplicationName(QStringLiteral("Tarquil Studio 1.0"));
    // A session that ends with the editor running starts it again at the next login.
    QObject::connect(&app, &QGuiApplication::saveStateRequest, &app, [](QSessionManager& sm) {
        sm.setRestartCommand({QApplication::applicationFilePath()});
        sm.setRestartHint(QSessionManager::RestartIfRunning);
    });
    CMainFrame window;
    // The desktop learns of the program and its file types once, on the first start.
    const QString dataHome = QString::fromStdString(shell::userDataHome());
    if (!shell::registered(dataHome.toStdString())) installDesktopFiles(dataHome, false);
    Qt::WindowStates state = Qt::WindowNoState;
    window.restorePlacement(state);
    window.setWindowState(state);
    window.show();
    QStringList files = QApplication::arguments();
    files.removeFirst();
    window.startUp(files);
    return app.exec();
}
