#include <QApplication>
#include <QStringList>

#include "ui/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("BrightvaleWorks"));
    QApplication::setApplicationName(QStringLiteral("Tarquil Studio 1.0"));
    CMainFrame window;
    window.show();
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) window.openFile(args[i]);
    return app.exec();
}
