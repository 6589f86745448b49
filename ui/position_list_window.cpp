#include "ui/position_list_window.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "document/document.h"
#include "ui/main_window.h"
#include "ui/qt_ports.h"

namespace {

// Enter on the list box renames the selected entry, as a double click does.
class PositionListBox : public QListWidget {
public:
    explicit PositionListBox(PositionListWindow* w) : window_(w) {}

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && currentRow() >= 0) {
            window_->renameSelected();
            return;
        }
        QListWidget::keyPressEvent(e);
    }

private:
    PositionListWindow* window_;
};

}  // namespace

PositionListWindow::PositionListWindow(CMainFrame* main)
    : QDockWidget(QStringLiteral("Position List Popup"), main), main_(main) {
    setObjectName(QStringLiteral("PositionList"));
    auto* body = new QWidget(this);
    list_ = new PositionListBox(this);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setAccessibleName(QStringLiteral("Position items"));
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0) selectRow(row);
    });
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { renameSelected(); });

    auto button = [&](const QString& text, auto slot) {
        auto* b = new QPushButton(text, body);
        connect(b, &QPushButton::clicked, this, slot);
        docButtons_ << b;
        return b;
    };
    auto* addB = button(QStringLiteral("Add"), [this] { add(); });
    auto* updateB = button(QStringLiteral("Update"), [this] { updateItem(); });
    auto* deleteB = button(QStringLiteral("Delete"), [this] { deleteItem(); });
    addB->setIcon(QIcon(QStringLiteral(":/icons/item_add.svg")));
    updateB->setIcon(QIcon(QStringLiteral(":/icons/item_update.svg")));
    deleteB->setIcon(QIcon(QStringLiteral(":/icons/item_delete.svg")));
    auto* clearB = button(QStringLiteral("Clear"), [this] { clear(); });
    auto* saveB = button(QStringLiteral("Save"), [this] { save(); });
    auto* arrangeB = button(QStringLiteral("Arrange"), [this] { emit arrangeRequested(); });
    auto* copyB = button(QStringLiteral("Copy to Clipboard"), [this] { emit copyRequested(); });
    auto* up = new QToolButton(body);
    up->setArrowType(Qt::UpArrow);
    up->setToolTip(QStringLiteral("Move up"));
    up->setAccessibleName(up->toolTip());
    connect(up, &QToolButton::clicked, this, [this] { moveItem(-1); });
    auto* down = new QToolButton(body);
    down->setArrowType(Qt::DownArrow);
    down->setToolTip(QStringLiteral("Move down"));
    down->setAccessibleName(down->toolTip());
    connect(down, &QToolButton::clicked, this, [this] { moveItem(+1); });
    docButtons_ << up << down;
    auto* close = new QPushButton(QStringLiteral("Close"), body);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);

    corner1_ = new QLabel(body);
    corner2_ = new QLabel(body);
    width_ = new QLabel(body);
    height_ = new QLabel(body);
    colour_ = new QLabel(body);
    colour_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The numbers alone do not say what they are: the tool tips do, for the eye and the ear.
    const std::pair<QLabel*, const char*> meanings[] = {{corner1_, "Top left corner"},
                                                        {corner2_, "Bottom right corner"},
                                                        {width_, "Width"},
                                                        {height_, "Height"},
                                                        {colour_, "Colour under the cursor"}};
    for (const auto& [label, meaning] : meanings) {
        label->setToolTip(QString::fromLatin1(meaning));
        label->setAccessibleDescription(label->toolTip());
    }
    // The four texts around a small frame: corner 1 top left, width on top, height at the
    // side, corner 2 bottom right.
    auto* box = new QFrame(body);
    box->setFrameShape(QFrame::Box);
    box->setMinimumSize(32, 20);
    auto* geo = new QGridLayout;
    geo->addWidget(corner1_, 0, 0);
    geo->addWidget(width_, 0, 1, Qt::AlignHCenter);
    geo->addWidget(height_, 1, 0, Qt::AlignRight);
    geo->addWidget(box, 1, 1);
    geo->addWidget(corner2_, 2, 1, 1, 2, Qt::AlignRight);

    auto* buttons = new QGridLayout;
    buttons->addWidget(addB, 0, 0);
    buttons->addWidget(updateB, 0, 1);
    buttons->addWidget(deleteB, 0, 2);
    auto* spin = new QHBoxLayout;
    spin->addWidget(up);
    spin->addWidget(down);
    buttons->addLayout(spin, 0, 3);
    buttons->addWidget(clearB, 1, 0);
    buttons->addWidget(saveB, 1, 1);
    buttons->addWidget(arrangeB, 1, 2);
    buttons->addWidget(copyB, 2, 0, 1, 3);
    buttons->addWidget(close, 2, 3);

    auto* bottom = new QHBoxLayout;
    bottom->addLayout(geo);
    bottom->addWidget(colour_);
    auto* layout = new QVBoxLayout(body);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    layout->addLayout(bottom);
    setWidget(body);
    refresh();
}

void PositionListWindow::attach(CBitmapDoc* doc) {
    doc_ = doc;
    if (doc)
        panel_.attach(&doc->positions());
    else
        panel_.detach();
    refresh();
}

void PositionListWindow::listChanged(CBitmapDoc* doc) {
    if (doc && doc == doc_) {
        panel_.attach(&doc->positions());
        refresh();
    }
}

void PositionListWindow::documentClosing(CBitmapDoc* doc) {
    if (doc && doc == doc_) attach(nullptr);
}

void PositionListWindow::setCurrent(const TxRect& r, int x, int y, uint32_t colour) {
    panel_.setCurrent(r, x, y, colour);
    refresh();
}

void PositionListWindow::sendSelection(const std::optional<TxRect>& r) {
    if (!r || !doc_) return;
    const TxRect rect = *r;
    const int keep = panel_.selection();
    // The views make the item's rectangle their selection and report it back through setCurrent,
    // which picks the first equal item; the chosen entry stays the selected one.
    doc_->updateAllViews(HINT_SELECT, &rect);
    if (keep >= 0) panel_.selectEntry(keep);
    refresh();
}

void PositionListWindow::add() {
    panel_.add();
    refresh();
}

void PositionListWindow::updateItem() {
    panel_.update();
    refresh();
}

void PositionListWindow::deleteItem() {
    sendSelection(panel_.deleteSelected());
    refresh();
}

void PositionListWindow::clear() {
    if (panel_.clear(main_->prompts())) refresh();
}

void PositionListWindow::save() {
    if (!doc_) return;
    const std::string text = panel_.save(doc_->pathName(), main_->prompts());
    if (!text.empty()) main_->prompts().status(text);
}

void PositionListWindow::moveItem(int delta) {
    panel_.spin(delta);
    refresh();
}

void PositionListWindow::selectRow(int row) { sendSelection(panel_.selectEntry(row)); }

void PositionListWindow::renameSelected() {
    const int i = panel_.selection();
    if (!panel_.list() || i < 0 || i >= panel_.list()->count()) return;
    const auto name = main_->prompts().renameItem(panel_.list()->at(i).name);
    if (!name) return;
    panel_.renameSelected(*name);
    refresh();
}

void PositionListWindow::refresh() {
    const QSignalBlocker block(list_);
    const auto& entries = panel_.entries();
    bool same = list_->count() == int(entries.size());
    for (int i = 0; same && i < list_->count(); ++i)
        same = list_->item(i)->text() == qtEightBitText(entries[size_t(i)]);
    if (!same) {
        list_->clear();
        for (const std::string& e : entries) list_->addItem(qtEightBitText(e));
    }
    list_->setCurrentRow(panel_.selection());
    corner1_->setText(QString::fromStdString(panel_.corner1Text()));
    corner2_->setText(QString::fromStdString(panel_.corner2Text()));
    width_->setText(QString::fromStdString(panel_.widthText()));
    height_->setText(QString::fromStdString(panel_.heightText()));
    colour_->setText(QString::fromStdString(panel_.colourText()).remove(QLatin1Char('\r')));
    for (QWidget* b : docButtons_) b->setEnabled(doc_ != nullptr);
}
