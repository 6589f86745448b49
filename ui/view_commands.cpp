#include "ui/view_commands.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "document/document.h"
#include "model/preferences.h"
#include "ui/bitmap_view.h"
#include "ui/colour_chooser.h"
#include "ui/int_field.h"
#include "ui/main_window.h"

ViewPreferences viewPreferences(const Preferences& p) {
    ViewPreferences v;
    v.frameWidth = p.frameWidth;
    v.frameHeight = p.frameHeight;
    v.isoFrameWidth = p.isoFrameWidth;
    v.isoFrameHeight = p.isoFrameHeight;
    v.startMode = p.startMode;
    v.grayInactive = p.grayInactive;
    v.chequer = p.chequerBoard;
    return v;
}

namespace {

const struct {
    const char* label;
    int min, max;
} kFields[4] = {
    {"X Offset", 0, 1023}, {"Y Offset", 0, 1023}, {"X Size", 4, 1024}, {"Y Size", 4, 1024}};

}  // namespace

GridOptionsDialog::GridOptionsDialog(const GridOptions& options, Prompts& prompts,
                                     SettingsStore& settings, QWidget* parent)
    : QDialog(parent), options_(options), prompts_(prompts), settings_(settings) {
    setWindowTitle(QStringLiteral("Grid Options"));
    setAccessibleName(windowTitle());
    auto* form = new QFormLayout;
    const int values[4] = {options.xOffset, options.yOffset, options.xSize, options.ySize};
    for (int i = 0; i < 4; ++i) {
        fields_[i] = new IntField(kFields[i].min, kFields[i].max, values[i],
                                  QString::fromLatin1(kFields[i].label));
        form->addRow(QString::fromLatin1(kFields[i].label), fields_[i]);
    }
    // Kept and handed back, but the grid is always drawn solid.
    dotted_ = new QCheckBox(QStringLiteral("Dotted &Line"));
    dotted_->setChecked(options.dottedLine);
    dotted_->setEnabled(false);
    dotted_->setAccessibleName(QStringLiteral("Dotted Line"));
    form->addRow(dotted_);
    auto* colour = new QPushButton(QStringLiteral("Grid &Color"));
    colour->setAccessibleName(QStringLiteral("Grid Color"));
    connect(colour, &QPushButton::clicked, this, &GridOptionsDialog::chooseGridColour);
    form->addRow(colour);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("&Cancel"));
    buttons->button(QDialogButtonBox::Ok)->setAccessibleName(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setAccessibleName(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &GridOptionsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void GridOptionsDialog::accept() {
    if (!checkIntFields(*this, prompts_)) return;
    options_.xOffset = *fields_[0]->allowedValue();
    options_.yOffset = *fields_[1]->allowedValue();
    options_.xSize = *fields_[2]->allowedValue();
    options_.ySize = *fields_[3]->allowedValue();
    options_.dottedLine = dotted_->isChecked();
    QDialog::accept();
}

void GridOptionsDialog::chooseGridColour() {
    // No preset colour: the chooser opens on black, as the platform's did.
    if (auto c = chooseColour(this, settings_, 0, QStringLiteral("Grid Color"))) {
        options_.colour = *c;
        settings_.setInt("GridColor", "current", int(*c));
    }
}

void installViewCommands(CMainFrame& main) {
    CMainFrame* m = &main;
    auto view = [m]() -> ViewState* {
        CBitmapView* v = m->activeView();
        return v ? &v->state() : nullptr;
    };
    auto hasView = [view] { return view() != nullptr; };
    auto hasFrame = [view] { return view() && view()->imageWidth() > 0; };

    // The view handles these keys itself while it has the focus; elsewhere (the position list,
    // a dialog) they are ordinary typing, so the actions keep only their menu text.
    for (int id : {CMD_ZOOM_IN, CMD_ZOOM_OUT, CMD_GRID, CMD_MAKE_GRID, CMD_RED, CMD_GREEN, CMD_BLUE,
                   CMD_ALPHA, CMD_SCALE, CMD_RESIZE, CMD_FLIP_HORIZONTAL, CMD_FLIP_VERTICAL})
        if (QAction* a = main.action(id)) a->setShortcut(QKeySequence());

    // The document window grows and shrinks with the zoom, within the work area.
    CMainFrame* mf = &main;
    main.handle(
        CMD_ZOOM_IN,
        [view, mf] {
            view()->zoomIn();
            mf->fitActiveWindowToPicture();
        },
        [view] { return view() && view()->zoom() < 8; });
    main.handle(
        CMD_ZOOM_OUT,
        [view, mf] {
            view()->zoomOut();
            mf->fitActiveWindowToPicture();
        },
        [view] { return view() && view()->zoom() > 1; });
    for (int z = 1; z <= 4; ++z)
        main.handle(
            CMD_ZOOM_1 + z - 1,
            [view, z, mf] {
                view()->setZoom(z);
                mf->fitActiveWindowToPicture();
            },
            hasView, [view, z] { return view() && view()->zoomPercent() == z * 100; });
    for (int p : {25, 50})
        main.handle(
            p == 25 ? CMD_ZOOM_25 : CMD_ZOOM_50,
            [view, p, mf] {
                view()->setZoomPercent(p);
                mf->fitActiveWindowToPicture();
            },
            hasView, [view, p] { return view() && view()->zoomPercent() == p; });
    // Fit: the largest step at which the whole picture shows in the workspace.
    main.handle(
        CMD_ZOOM_FIT,
        [view, mf] {
            const QSize room = mf->workspaceSize();
            ViewState& st = *view();
            st.setZoomPercent(ViewState::fitPercent(st.imageWidth(), st.imageHeight(), room.width(),
                                                    room.height()));
            mf->fitActiveWindowToPicture();
        },
        hasView);

    const struct {
        int id, bit;
    } channels[] = {{CMD_RED, CHANNEL_RED}, {CMD_GREEN, CHANNEL_GREEN}, {CMD_BLUE, CHANNEL_BLUE}};
    for (const auto& c : channels) {
        const int bit = c.bit;
        main.handle(
            c.id, [view, bit] { view()->toggleChannel(bit); },
            [view] { return view() && view()->channelCommandsEnabled(); },
            [view, bit] { return view() && (view()->channels() & bit) != 0; });
    }
    main.handle(
        CMD_ALPHA, [view] { view()->toggleAlpha(); }, hasFrame,
        [view] { return view() && view()->maskShown(); });

    main.handle(
        CMD_GRID, [view] { view()->toggleGrid(); }, hasView,
        [view] { return view() && view()->gridVisible(); });
    main.handle(
        CMD_MAKE_GRID, [view] { view()->makeGrid(); }, hasView);
    main.handle(
        CMD_SNAP, [view] { view()->toggleSnap(); }, hasView,
        [view] { return view() && view()->snapToGrid(); });
    main.handle(
        CMD_GRID_NORMAL, [view] { view()->setGridMode(GridMode::Normal); }, hasView,
        [view] { return view() && view()->gridMode() == GridMode::Normal; });
    main.handle(
        CMD_GRID_ISOMETRIC, [view] { view()->setGridMode(GridMode::Isometric); }, hasView,
        [view] { return view() && view()->gridMode() == GridMode::Isometric; });
    main.handle(
        CMD_GRID_OPTIONS,
        [m, view] {
            ViewState* v = view();
            GridOptionsDialog dlg(v->gridOptions(), m->prompts(), m->settings(), m);
            if (dlg.exec() != QDialog::Accepted) return;
            // The window may have gone while the dialog was open.
            if (ViewState* now = view(); now == v) now->setGridOptions(dlg.options());
        },
        hasView);
}
