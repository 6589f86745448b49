#include "ui/shell_registration_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <cerrno>
#include <cstring>

#include "model/document_types.h"
#include "model/shell_registration.h"
#include "texlib/stream.h"

namespace {

QString mimeappsPath(const QString& configHome) {
    return configHome + QStringLiteral("/mimeapps.list");
}

QString readText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// The desktop's caches learn of new files from these tools, when they are installed.
void refreshCaches(const QString& dataHome) {
    if (!QStandardPaths::findExecutable(QStringLiteral("update-mime-database")).isEmpty())
        QProcess::execute(QStringLiteral("update-mime-database"),
                          {dataHome + QStringLiteral("/mime")});
    if (!QStandardPaths::findExecutable(QStringLiteral("update-desktop-database")).isEmpty())
        QProcess::execute(QStringLiteral("update-desktop-database"),
                          {dataHome + QStringLiteral("/applications")});
}

}  // namespace

QStringList installDesktopFiles(const QString& dataHome, bool overwrite) {
    QFile icon(QStringLiteral(":/icons/tarquil.svg"));
    const QByteArray svg = icon.open(QIODevice::ReadOnly) ? icon.readAll() : QByteArray();
    const std::vector<std::string> failed =
        shell::install(dataHome.toStdString(), QApplication::applicationFilePath().toStdString(),
                       svg.toStdString(), overwrite);
    refreshCaches(dataHome);
    QStringList out;
    for (const std::string& f : failed) out << QString::fromStdString(f);
    return out;
}

ShellRegistrationDialog::ShellRegistrationDialog(QWidget* parent, QString dataHome,
                                                 QString configHome)
    : QDialog(parent),
      dataHome_(dataHome.isEmpty() ? QString::fromStdString(shell::userDataHome()) : dataHome),
      configHome_(configHome.isEmpty() ? QString::fromStdString(shell::userConfigHome())
                                       : configHome) {
    setWindowTitle(QStringLiteral("Register shell file types"));
    list_ = new QListWidget;
    list_->setAccessibleName(QStringLiteral("File types"));
    const std::string apps = readText(mimeappsPath(configHome_)).toStdString();
    for (const DocumentType& t : documentTypes()) {
        const std::string owner = shell::defaultApplication(apps, t.mimeType);
        QString text = QStringLiteral(" ") + QLatin1String(t.filterName);
        if (!owner.empty()) text += QStringLiteral("\t- ") + QString::fromStdString(owner);
        auto* item = new QListWidgetItem(text, list_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(owner == shell::kDesktopId ? Qt::Checked : Qt::Unchecked);
    }
    auto* buttons = new QDialogButtonBox;
    QPushButton* ok = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    ok->setAccessibleName(QStringLiteral("OK"));
    cancel->setAccessibleName(QStringLiteral("Cancel"));
    connect(ok, &QPushButton::clicked, this, [this] {
        apply();
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(buttons);
    resize(460, 360);
}

void ShellRegistrationDialog::apply() {
    for (const QString& f : installDesktopFiles(dataHome_, true))
        QMessageBox::critical(
            this, windowTitle(),
            QStringLiteral("Cannot update registry.\nKey=%1, code=%2").arg(f).arg(EACCES));
    const QString path = mimeappsPath(configHome_);
    std::string apps = readText(path).toStdString();
    const std::string before = apps;
    for (int i = 0; i < list_->count() && i < int(documentTypes().size()); ++i) {
        const DocumentType& t = documentTypes()[size_t(i)];
        apps = shell::setDefaultApplication(apps, t.mimeType, shell::kDesktopId,
                                            list_->item(i)->checkState() == Qt::Checked);
    }
    if (apps == before) return;
    QDir().mkpath(configHome_);
    TxFileWriter out;
    if (!(out.open(path.toStdString()) && out.write(apps.data(), apps.size()) && out.commit()))
        QMessageBox::critical(
            this, windowTitle(),
            QStringLiteral("Cannot update registry.\nKey=%1, code=%2").arg(path).arg(errno));
}
