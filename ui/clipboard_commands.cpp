#include "ui/clipboard_commands.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>

#include "document/document.h"
#include "model/preferences.h"
#include "ui/bitmap_view.h"
#include "ui/main_window.h"
#include "ui/position_list_window.h"
#include "ui/qt_clipboard.h"
#include "view/clipboard.h"

namespace {

// Lives as a child of the view whose paste placement it receives, so that a placement never
// outlives its document.
class ViewPasteTarget : public QObject, public PasteTarget {
public:
    ViewPasteTarget(CBitmapView* view, CMainFrame& main)
        : QObject(view), view_(view), main_(main) {}
    void pasteDrop(const TxRect& rect) override;
    void pasteCancelled() override { main_.updateCommands(); }

private:
    CBitmapView* view_;
    CMainFrame& main_;
};

// The "add on copy" / "add on paste" preferences and the position list window, when it is open
// on doc.
PositionAutoAdd autoAdd(CMainFrame& main, CBitmapDoc* doc) {
    PositionAutoAdd a;
    a.onCopy = main.preferences().addOnCopy;
    a.onPaste = main.preferences().addOnPaste;
    PositionListWindow* w = main.positionWindow();
    if (w && w->isVisible() && w->document() == doc) a.panel = &w->panel();
    return a;
}

void ViewPasteTarget::pasteDrop(const TxRect& rect) {
    if (CBitmapDoc* doc = view_->document())
        pasteAt(main_.copyBuffer(), *doc, rect, autoAdd(main_, doc));
    main_.updateCommands();
}

// The clipboard and whether it offers a picture, asked once per change of its content rather
// than on every command update.
struct ClipboardWatch {
    QtClipboardPort port;
    bool hasPicture = false;
};

void startPaste(CMainFrame& main) {
    CBitmapView* view = main.activeView();
    if (!view) return;
    ViewPasteTarget* target = nullptr;
    for (QObject* child : view->children())
        if ((target = dynamic_cast<ViewPasteTarget*>(child))) break;
    if (!target) target = new ViewPasteTarget(view, main);
    view->setFocus();
    beginPaste(main.copyBuffer(), view->state(), target);
    main.updateCommands();
}

bool hasSelection(CMainFrame& main) {
    CBitmapView* v = main.activeView();
    return v && v->document() && !v->selection().empty() && !v->state().placingPaste();
}

}  // namespace

void installClipboardCommands(CMainFrame& main) {
    auto watch = std::make_shared<ClipboardWatch>();
    QClipboard* clipboard = QGuiApplication::clipboard();
    watch->hasPicture = watch->port.hasDib();
    QObject::connect(clipboard, &QClipboard::dataChanged, &main, [watch, &main] {
        watch->hasPicture = watch->port.hasDib();
        main.updateCommands();
    });

    main.handle(
        CMD_COPY,
        [&main, watch] {
            CBitmapView* v = main.activeView();
            if (!hasSelection(main)) return;
            CBitmapDoc* doc = v->document();
            clipboardCopy(main.copyBuffer(), *doc, v->selection(), main.prompts(), &watch->port,
                          autoAdd(main, doc));
            main.updateCommands();
        },
        [&main] { return hasSelection(main); });
    main.handle(
        CMD_CUT,
        [&main, watch] {
            CBitmapView* v = main.activeView();
            if (!hasSelection(main)) return;
            CBitmapDoc* doc = v->document();
            clipboardCut(main.copyBuffer(), *doc, v->selection(), main.prompts(), &watch->port,
                         autoAdd(main, doc));
            main.updateCommands();
        },
        [&main] { return hasSelection(main); });
    main.handle(
        CMD_PASTE, [&main] { startPaste(main); },
        [&main] { return main.activeView() && main.copyBuffer().exists(); });
    main.handle(
        CMD_PASTE_CLIPBOARD,
        [&main, watch] {
            if (!main.activeView()) return;
            // An unacceptable picture leaves an older copy to paste.
            readSystemClipboard(main.copyBuffer(), watch->port);
            startPaste(main);
        },
        [&main, watch] { return main.activeView() && watch->hasPicture; });
    main.handle(
        CMD_PASTE_NEW,
        [&main, watch] {
            pasteAsNewDocument(main.copyBuffer(), watch->port, main.prompts(),
                               main.documentContext(),
                               [&main](Prompts& p) { return main.createDocument(p); });
            main.fitActiveWindowToPicture();
            main.updateCommands();
        },
        [&main, watch] { return !main.activeView() && watch->hasPicture; });

    // The second keys; Ctrl+B goes to whichever of the two Ctrl+B commands is enabled.
    main.action(CMD_COPY)->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    main.action(CMD_CUT)->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)});
    main.action(CMD_PASTE)->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)});
    QAction* pasteNew = main.action(CMD_PASTE_NEW);
    pasteNew->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    main.addAction(pasteNew);
    main.updateCommands();
}
