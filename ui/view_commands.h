// The View menu's commands on the active document view (zoom, channels, grid, Grid Options, Make
// Grid, Grid Modus, Snap to Grid) and the "Grid Options" dialog.
#pragma once

#include <QDialog>

#include "model/ports.h"
#include "view/view_state.h"

class CMainFrame;
class QCheckBox;
class IntField;

void installViewCommands(CMainFrame& main);

struct Preferences;

// The view settings of the preferences: frame sizes by grid mode, the start mode, gray inactive
// view and the chequer board.
ViewPreferences viewPreferences(const Preferences& prefs);

// "Grid Options": the offsets, the cell size and the grid colour of a view. Out-of-range numbers
// are refused on OK with "Please enter an integer between %1 and %2.".
class GridOptionsDialog : public QDialog {
    Q_OBJECT
public:
    GridOptionsDialog(const GridOptions& options, Prompts& prompts, SettingsStore& settings,
                      QWidget* parent = nullptr);
    GridOptions options() const { return options_; }
    // X Offset, Y Offset, X Size, Y Size.
    IntField* field(int index) const { return fields_[index]; }
    void setColour(uint32_t colourRef) { options_.colour = colourRef; }

public slots:
    void accept() override;
    void chooseGridColour();

private:
    GridOptions options_;
    Prompts& prompts_;
    SettingsStore& settings_;
    IntField* fields_[4];
    QCheckBox* dotted_;
};
