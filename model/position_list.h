// The position list: a document's ordered, owned list of named rectangles (sprites, glyphs, tiles)
// in image pixel coordinates.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "texlib/mip.h"

// One named rectangle. Right and bottom are exclusive; `source` is the rectangle the item had
// before the last sheet arrangement (zero until an arrangement sets it).
class PositionItem {
public:
    PositionItem() = default;
    PositionItem(const TxRect& r, std::string n) : rect(r), name(std::move(n)) {}
    PositionItem(const PositionItem&) = default;
    PositionItem& operator=(const PositionItem&) = default;
    virtual ~PositionItem() = default;

    int32_t x1() const { return rect.left; }
    int32_t y1() const { return rect.top; }
    int32_t x2() const { return rect.right; }
    int32_t y2() const { return rect.bottom; }
    int32_t width() const { return rect.right - rect.left; }
    int32_t height() const { return rect.bottom - rect.top; }
    bool empty() const { return rect.empty(); }
    // Items are equal when their four edges are; names are not compared.
    bool equals(const TxRect& r) const { return rect == r; }
    bool operator==(const PositionItem& other) const { return rect == other.rect; }

    // "name: x1:y1-x2:y2  wxh", the line shown in the position list window.
    std::string displayText() const;

    TxRect rect;
    TxRect source;
    std::string name;
    // The frame's duration where the item stands for an animation frame (a strip's cells), in
    // milliseconds; 0 where unknown. Not kept in the position files, which have no room for it.
    int durationMs = 0;
};

class PositionList {
public:
    PositionList() = default;
    // Copies are deep: every item is duplicated.
    PositionList(const PositionList& other);
    PositionList& operator=(const PositionList& other);
    PositionList(PositionList&&) noexcept = default;
    PositionList& operator=(PositionList&&) noexcept = default;

    size_t size() const { return items_.size(); }
    int count() const { return int(items_.size()); }
    bool empty() const { return items_.empty(); }
    bool validIndex(int i) const { return i >= 0 && i < count(); }
    PositionItem& at(int i) { return *items_.at(size_t(i)); }
    const PositionItem& at(int i) const { return *items_.at(size_t(i)); }

    // Appends without any check; used by crop, the font generator and the file readers.
    PositionItem& append(const TxRect& r, const std::string& name);
    void append(std::unique_ptr<PositionItem> item);
    // Appends unless r is empty or an equal item exists; true when one was added.
    bool add(const TxRect& r, const std::string& name);
    // The item's rectangle becomes r; false (nothing changed) for an empty r or a bad index.
    bool update(int index, const TxRect& r);
    bool rename(int index, const std::string& name);
    // Destroys the item at index; false for a bad index.
    bool remove(int index);
    // Swaps the item at index with its neighbour index + delta, wrapping past either end (so the
    // first item moved up trades places with the last). Returns the target index, or -1 when the
    // list has fewer than two items or the index is bad.
    int move(int index, int delta);
    void clear() { items_.clear(); }
    // Index of the first item whose rectangle equals r, or -1.
    int find(const TxRect& r) const;
    // Scales every item's edges after an image scale; left and top round down by a half pixel,
    // right and bottom up, so edges at 0 stay 0. Source rectangles and names stay.
    void scale(double sx, double sy);

    // Same items in the same order with the same rectangles, sources and names.
    bool sameAs(const PositionList& other) const;

private:
    std::vector<std::unique_ptr<PositionItem>> items_;
};
