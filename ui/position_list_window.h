// The position list window ("Position List Popup"): a dock beside the documents that shows the
// list of the active document through PositionListPanel and forwards every button to it.
#pragma once

#include <QDockWidget>

#include "tools/poslist/position_panel.h"

class CBitmapDoc;
class CMainFrame;
class QLabel;
class QListWidget;
class QPushButton;
class QToolButton;

class PositionListWindow : public QDockWidget {
    Q_OBJECT
public:
    explicit PositionListWindow(CMainFrame* main);

    // A view of doc became active: show its list (null detaches).
    void attach(CBitmapDoc* doc);
    // doc's list changed: refill when it is the attached one.
    void listChanged(CBitmapDoc* doc);
    // doc's last window is closing.
    void documentClosing(CBitmapDoc* doc);
    CBitmapDoc* document() const { return doc_; }
    PositionListPanel& panel() { return panel_; }
    // The active view's selection, mouse point and colour there (0x00RRGGBB).
    void setCurrent(const TxRect& r, int x, int y, uint32_t colour);

    // The buttons, callable without clicks.
    void add();
    void updateItem();
    void deleteItem();
    void clear();
    void save();
    void moveItem(int delta);
    void selectRow(int row);
    void renameSelected();

signals:
    void arrangeRequested();
    void copyRequested();

private:
    void refresh();
    void sendSelection(const std::optional<TxRect>& r);

    CMainFrame* main_;
    CBitmapDoc* doc_ = nullptr;
    PositionListPanel panel_;
    QListWidget* list_;
    QLabel *corner1_, *corner2_, *width_, *height_, *colour_;
    QList<QWidget*> docButtons_;
};
