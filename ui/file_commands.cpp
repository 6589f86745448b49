#include "ui/file_commands.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <memory>

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

#include "document/document.h"
#include "model/app_palette.h"
#include "model/document_types.h"
#include "model/preferences.h"
#include "tools/palette/palette_load.h"
#include "ui/main_window.h"
#include "ui/preferences_dialog.h"
#include "ui/qt_ports.h"

namespace {

QString collapsedReplacements(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (QChar c : s)
        if (c != QChar::ReplacementCharacter || !out.endsWith(QChar::ReplacementCharacter))
            out += c;
    return out;
}

// The bytes of a local path. Qt reads file names as UTF-8, so a name that is not (on the command
// line, dropped, chosen in a dialog, kept in the settings) arrives with U+FFFD for its stray
// bytes and would not be found: each such part of the path is looked up among its folder's
// entries that read as the same text, and taken when exactly one does.
std::string localPath(const QString& path) {
    const QString abs = QFileInfo(path).absoluteFilePath();
    const std::string bytes = QFile::encodeName(abs).toStdString();
    struct stat st;
    if (!abs.contains(QChar::ReplacementCharacter) || ::lstat(bytes.c_str(), &st) == 0)
        return bytes;
    std::string out;
    for (const QString& part : abs.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        std::string name = QFile::encodeName(part).toStdString();
        if (part.contains(QChar::ReplacementCharacter)) {
            if (DIR* d = ::opendir(out.empty() ? "/" : out.c_str())) {
                const QString want = collapsedReplacements(part);
                std::string found;
                int matches = 0;
                while (const dirent* e = ::readdir(d))
                    if (collapsedReplacements(QFile::decodeName(e->d_name)) == want) {
                        found = e->d_name;
                        ++matches;
                    }
                ::closedir(d);
                if (matches == 1) name = found;
            }
        }
        out += "/" + name;
    }
    return out.empty() ? bytes : out;
}

// File > Open; `filterIndex` is the filter chosen last, for as long as the program runs (0: not
// yet read).
void openWithDialog(CMainFrame& main, int& filterIndex) {
    if (filterIndex <= 0) filterIndex = main.settings().getInt("Settings", "FilterIndex", 1);
    QStringList filters;
    for (const auto& [name, patterns] : openFilters()) {
        QString n = QString::fromStdString(name);
        const QString p =
            QString::fromStdString(patterns).replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt takes the patterns from the last parentheses of the entry.
        filters << (n.endsWith(QStringLiteral("(") + p + QLatin1Char(')'))
                        ? n
                        : n + QStringLiteral(" (") + p + QLatin1Char(')'));
    }
    QFileDialog dlg(&main, QStringLiteral("Open"),
                    QString::fromStdString(main.preferences().workDir));
    dlg.setFileMode(QFileDialog::ExistingFiles);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setNameFilters(filters);
    if (filterIndex >= 1 && filterIndex <= filters.size())
        dlg.selectNameFilter(filters[filterIndex - 1]);
    if (dlg.exec() != QDialog::Accepted) return;
    const int chosen = qtFilterIndex(filters, dlg.selectedNameFilter());
    if (chosen >= 1 && chosen != filterIndex) {
        filterIndex = chosen;
        main.settings().setInt("Settings", "FilterIndex", chosen);
    }
    for (const QString& p : dlg.selectedFiles()) main.openFile(p);
}

}  // namespace

void installFileCommands(CMainFrame& main) {
    CMainFrame* m = &main;
    auto hasDoc = [m] { return m->activeDocument() != nullptr; };
    auto saveWith = [m](bool (CBitmapDoc::*save)(Prompts&, Progress*)) {
        return [m, save] {
            if (CBitmapDoc* d = m->activeDocument())
                if ((d->*save)(m->prompts(), &m->progress())) m->addRecentFile(d->pathName());
            m->refreshTitles();
        };
    };
    main.handle(CMD_NEW, [m] { m->createDocument(m->prompts()); });
    main.handle(CMD_OPEN,
                [m, filterIndex = std::make_shared<int>(0)] { openWithDialog(*m, *filterIndex); });
    main.handle(
        CMD_CLOSE, [m] { m->closeDocument(); }, hasDoc);
    main.handle(CMD_SAVE, saveWith(&CBitmapDoc::save), [m] {
        CBitmapDoc* d = m->activeDocument();
        return d && d->isEnabled(CMD_SAVE);
    });
    // Save As and Export stay enabled; without a document they say so rather than being grey.
    main.handle(CMD_SAVE_AS, [m, saveAs = saveWith(&CBitmapDoc::saveAs)] {
        if (!m->activeDocument()) {
            m->prompts().message(kNoDocumentToSave, MsgIcon::Information, MsgButtons::Ok);
            return;
        }
        saveAs();
    });
    main.handle(CMD_EXPORT, [m] {
        CBitmapDoc* d = m->activeDocument();
        if (!d) {
            m->prompts().message(kNoDocumentToExport, MsgIcon::Information, MsgButtons::Ok);
            return;
        }
        d->exportTexture(m->prompts(), m->settings());
    });
    main.handle(CMD_EXIT, [m] { m->close(); });
    main.handle(CMD_PREFERENCES, [m] { m->editPreferences(); });
}

void CMainFrame::newDocument() { trigger(CMD_NEW); }
void CMainFrame::openDialog() { trigger(CMD_OPEN); }
void CMainFrame::saveDocument() { trigger(CMD_SAVE); }
void CMainFrame::saveDocumentAs() { trigger(CMD_SAVE_AS); }
void CMainFrame::exportTexture() { trigger(CMD_EXPORT); }

void CMainFrame::applyPreferences(const Preferences& prefs, bool save) {
    Preferences& p = prefs_;
    const std::string oldPalette = p.palFile;
    // The last new size belongs to the New command, not to the dialog.
    const int newW = docContext_.settings.lastNewWidth, newH = docContext_.settings.lastNewHeight;
    p = prefs;
    p.lastNewWidth = newW;
    p.lastNewHeight = newH;
    if (save) p.save(settings());
    Preferences::setSaveFlag(settings(), save);
    putPreferencesInEffect();
    if (p.palFile != oldPalette && !p.palFile.empty())
        readPaletteFile(p.palFile, documentContext().palette, prompts());
}

void CMainFrame::editPreferences() {
    Preferences current = prefs_;
    current.lastNewWidth = docContext_.settings.lastNewWidth;
    current.lastNewHeight = docContext_.settings.lastNewHeight;
    std::function<bool(std::string&)> pal;
    if (paletteOptionsHook)
        pal = [this](std::string& file) { return paletteOptionsHook(this, file); };
    PreferencesDialog dlg(current, Preferences::saveFlag(settings()), this, pal,
                          registerTypesHook_);
    if (dlg.exec() != QDialog::Accepted) return;
    applyPreferences(dlg.preferences(), dlg.saveSettings());
}

void CMainFrame::startUp(const QStringList& files) {
    if (files.isEmpty()) {
        if (prefs_.autoloadLast && !recent_.files().empty()) openRecentFile(0);
        return;
    }
    for (const QString& f : files) openFile(f);
}

void CMainFrame::addRecentFile(const std::string& path) {
    if (path.empty()) return;
    recent_.add(path);
    recent_.save(settings());
    rebuildRecentMenu();
}

void CMainFrame::openRecentFile(int index) {
    if (index < 0 || index >= int(recent_.files().size())) return;
    const std::string path = recent_.files()[size_t(index)];
    std::string found = path;
    struct stat st;
    if (::stat(found.c_str(), &st) != 0) found = localPath(QString::fromStdString(path));
    if (::stat(found.c_str(), &st) != 0 && errno == ENOENT) {
        prompts().message("File " + path + " not found", MsgIcon::Warning, MsgButtons::Ok);
        recent_.remove(path);
        recent_.save(settings());
        rebuildRecentMenu();
        return;
    }
    openPath(found);
}

void CMainFrame::rebuildRecentMenu() {
    for (QAction* a : recentActions_) {
        fileMenu_->removeAction(a);
        delete a;
    }
    recentActions_.clear();
    QAction* placeholder = action(CMD_RECENT_FILE);
    placeholder->setVisible(recent_.files().empty());
    for (int i = 0; i < int(recent_.files().size()); ++i) {
        const std::string& f = recent_.files()[size_t(i)];
        auto* a = new QAction(QString::fromStdString(RecentFileList::menuText(i, f)), this);
        a->setToolTip(QString::fromStdString(f));
        a->setStatusTip(QString::fromStdString(f));
        connect(a, &QAction::triggered, this, [this, i] { openRecentFile(i); });
        fileMenu_->insertAction(placeholder, a);
        recentActions_.push_back(a);
    }
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* e) {
    const QList<QUrl> urls = e->mimeData()->urls();
    e->acceptProposedAction();
    openDropped(urls);
}

void CMainFrame::openDropped(const QList<QUrl>& urls) {
    for (const QUrl& u : urls)
        if (u.isLocalFile()) openFile(u.toLocalFile());
}

bool CMainFrame::openFile(const QString& path) { return openPath(localPath(path)); }

bool CMainFrame::openPath(const std::string& p) {
    for (CChildFrame* c : children_)
        if (c->doc()->pathName() == p) {
            mdi_->setActiveSubWindow(c);
            return true;
        }
    auto doc = std::make_unique<CBitmapDoc>(docContext_);
    if (!doc->onOpenDocument(p, prompts())) return false;
    addRecentFile(doc->pathName().empty() ? p : doc->pathName());
    addDocument(std::move(doc));
    return true;
}

CBitmapDoc* CMainFrame::createDocument(Prompts& p) {
    auto doc = std::make_unique<CBitmapDoc>(docContext_);
    if (!doc->onNewDocument(p)) return nullptr;
    doc->setTitle("untitled");
    doc->rebuildTitle();
    CBitmapDoc* raw = doc.get();
    addDocument(std::move(doc));
    return raw;
}

bool CMainFrame::askToSave(CBitmapDoc* doc) {
    if (!doc->isModified()) return true;
    for (CChildFrame* c : children_)
        if (c->doc() == doc) {
            mdi_->setActiveSubWindow(c);
            break;
        }
    const QString name = QString::fromStdString(doc->title()).left(24).trimmed();
    const MsgResult r =
        prompts().message(QStringLiteral("Save changes to %1?").arg(name).toStdString(),
                          MsgIcon::Warning, MsgButtons::YesNoCancel);
    if (r == MsgResult::Cancel) return false;
    if (r == MsgResult::No) return true;
    const bool saved = doc->save(prompts(), progress_.get());
    if (saved) addRecentFile(doc->pathName());
    refreshTitles();
    // A save that failed or was cancelled keeps the document open.
    return saved && !doc->isModified();
}

void CMainFrame::closeDocument() {
    CChildFrame* active = activeChild();
    if (!active) return;
    CBitmapDoc* doc = active->doc();
    if (doc->isModified()) {
        // The document's last window asks; the others go without a question.
        for (CChildFrame* c : std::vector<CChildFrame*>(children_))
            if (c->doc() == doc && c != active) c->closeWithoutPrompt();
        active->close();
        return;
    }
    for (CChildFrame* c : std::vector<CChildFrame*>(children_))
        if (c->doc() == doc) c->closeWithoutPrompt();
}
