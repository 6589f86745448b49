// What the position list window decides, without drawing: the attached list, the entries of its
// list box and the selection, the current rectangle with its four corner and size texts and the
// colour text, and every button's effect. The Qt window only shows these and forwards clicks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/ports.h"
#include "model/position_list.h"
#include "texlib/mip.h"

class PositionListPanel {
public:
    // Attaches to a document's list (a view of it became active, or its list changed): refills
    // the entries and selects the first one.
    void attach(PositionList* list);
    // The attached document's last view is closing: no list, no entries, texts reset.
    void detach();
    PositionList* list() const { return list_; }

    // Called whenever the active view refreshes its status texts: the selection r (empty when
    // nothing is selected), the mouse point and the pixel colour there (0x00RRGGBB).
    void setCurrent(const TxRect& r, int x, int y, uint32_t colour);

    // Appends r unless it is empty, already listed or nothing is attached; selects the new entry.
    bool addItem(const TxRect& r, const std::string& name);
    // "Add": the current rectangle with an empty name.
    bool add() { return addItem(current_, std::string()); }
    // "Update": the selected item takes the current rectangle.
    bool update();
    // Selection change in the list box. Returns the item's rectangle, which the caller sends to
    // the document's views (hint -2) so they select it; nothing for a bad index.
    std::optional<TxRect> selectEntry(int index);
    // "Delete": removes the selected item and selects its successor (or the new last entry),
    // returning that entry's rectangle as selectEntry does.
    std::optional<TxRect> deleteSelected();
    // Rename dialog confirmed for the selected entry (an empty name is accepted).
    bool renameSelected(const std::string& name);
    // Spin arrows: -1 up, +1 down. The selected item swaps with its neighbour, wrapping at either
    // end; the moved item stays selected.
    bool spin(int delta);
    // "Clear": asks "Clear all items?" and empties the list on Yes.
    bool clear(Prompts& prompts);
    // "Save": writes the text file and, when that worked, the map file. Returns the status-bar
    // text ("Positionlist saved") or an empty text; write errors are shown through prompts.
    std::string save(const std::string& imagePath, Prompts& prompts);

    const std::vector<std::string>& entries() const { return entries_; }
    int selection() const { return selection_; }
    const TxRect& current() const { return current_; }
    const std::string& corner1Text() const { return corner1_; }
    const std::string& corner2Text() const { return corner2_; }
    const std::string& widthText() const { return width_; }
    const std::string& heightText() const { return height_; }
    const std::string& colourText() const { return colour_; }

private:
    void refill();
    void select(int index);

    PositionList* list_ = nullptr;
    std::vector<std::string> entries_;
    int selection_ = -1;
    TxRect current_;
    std::string corner1_ = "000/000", corner2_ = "000/000", width_ = "000", height_ = "000";
    std::string colour_;
};
