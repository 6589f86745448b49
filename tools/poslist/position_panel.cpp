#include "tools/poslist/position_panel.h"

#include <cstdio>

#include "model/position_files.h"

namespace {

std::string pointText(int x, int y) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d/%d", x, y);
    return buf;
}

}  // namespace

void PositionListPanel::refill() {
    entries_.clear();
    if (list_)
        for (int i = 0; i < list_->count(); ++i) entries_.push_back(list_->at(i).displayText());
    selection_ = -1;
    current_ = TxRect{};
}

void PositionListPanel::select(int index) {
    // Only indices within the list are selected; anything else leaves no selection.
    selection_ = (index >= 0 && index < int(entries_.size())) ? index : -1;
}

void PositionListPanel::attach(PositionList* list) {
    list_ = list;
    refill();
    select(0);
}

void PositionListPanel::detach() {
    list_ = nullptr;
    refill();
    setCurrent(TxRect{}, 0, 0, 0);
}

void PositionListPanel::setCurrent(const TxRect& r, int x, int y, uint32_t colour) {
    if (r.empty()) {
        corner1_ = corner2_ = pointText(x, y);
        width_ = height_ = "0";
        current_ = TxRect{x, y, x, y};
    } else {
        corner1_ = pointText(r.left, r.top);
        corner2_ = pointText(r.right, r.bottom);
        width_ = std::to_string(int64_t(r.right) - r.left);
        height_ = std::to_string(int64_t(r.bottom) - r.top);
        if (!(r == current_) && list_) {
            const int i = list_->find(r);
            if (i >= 0) select(i);
        }
        current_ = r;
    }
    const unsigned red = (colour >> 16) & 0xFF, green = (colour >> 8) & 0xFF, blue = colour & 0xFF;
    char buf[64];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x\r\n%u,%u,%u", red, green, blue, red, green, blue);
    colour_ = buf;
}

bool PositionListPanel::addItem(const TxRect& r, const std::string& name) {
    if (!list_ || !list_->add(r, name)) return false;
    refill();
    select(list_->count() - 1);
    return true;
}

bool PositionListPanel::update() {
    if (!list_ || current_.empty() || selection_ < 0) return false;
    const int index = selection_;
    if (!list_->update(index, current_)) return false;
    refill();
    select(index);
    return true;
}

std::optional<TxRect> PositionListPanel::selectEntry(int index) {
    if (!list_ || !list_->validIndex(index)) return std::nullopt;
    const TxRect r = list_->at(index).rect;
    setCurrent(r, 0, 0, 0);
    // setCurrent picks the first equal item; the clicked entry stays the selected one.
    select(index);
    return r;
}

std::optional<TxRect> PositionListPanel::deleteSelected() {
    if (!list_ || selection_ < 0 || !list_->remove(selection_)) return std::nullopt;
    const int i = selection_;
    entries_.erase(entries_.begin() + i);
    select(i < list_->count() ? i : i - 1);
    if (selection_ < 0) return std::nullopt;
    return selectEntry(selection_);
}

bool PositionListPanel::renameSelected(const std::string& name) {
    if (!list_ || selection_ < 0) return false;
    const int index = selection_;
    if (!list_->rename(index, name)) return false;
    refill();
    select(index);
    return true;
}

bool PositionListPanel::spin(int delta) {
    if (!list_ || list_->count() < 2 || selection_ < 0) return false;
    const int target = list_->move(selection_, delta);
    if (target < 0) return false;
    refill();
    select(target);
    return true;
}

bool PositionListPanel::clear(Prompts& prompts) {
    if (!list_ || entries_.empty()) return false;
    if (prompts.message("Clear all items?", MsgIcon::Question, MsgButtons::YesNo) != MsgResult::Yes)
        return false;
    list_->clear();
    refill();
    return true;
}

std::string PositionListPanel::save(const std::string& imagePath, Prompts& prompts) {
    if (!list_) return {};
    std::string message;
    const int rc = savePositionText(*list_, imagePath, &message);
    if (rc == POS_FILE_WRITE_ERROR) prompts.message(message, MsgIcon::Error, MsgButtons::Ok);
    if (rc != POS_FILE_OK) return {};
    // The map file is a by-product; its failure does not undo the saved list.
    savePositionMap(*list_, imagePath);
    return "Positionlist saved";
}
