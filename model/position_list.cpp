#include "model/position_list.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

std::string PositionItem::displayText() const {
    char buf[128];
    std::snprintf(buf, sizeof buf, ": %d:%d-%d:%d  %dx%d", rect.left, rect.top, rect.right,
                  rect.bottom, width(), height());
    return name + buf;
}

PositionList::PositionList(const PositionList& other) { *this = other; }

PositionList& PositionList::operator=(const PositionList& other) {
    if (this == &other) return *this;
    std::vector<std::unique_ptr<PositionItem>> copy;
    copy.reserve(other.items_.size());
    for (const auto& it : other.items_) copy.push_back(std::make_unique<PositionItem>(*it));
    items_ = std::move(copy);
    return *this;
}

PositionItem& PositionList::append(const TxRect& r, const std::string& name) {
    items_.push_back(std::make_unique<PositionItem>(r, name));
    return *items_.back();
}

void PositionList::append(std::unique_ptr<PositionItem> item) {
    if (item) items_.push_back(std::move(item));
}

bool PositionList::add(const TxRect& r, const std::string& name) {
    if (r.empty() || find(r) >= 0) return false;
    append(r, name);
    return true;
}

bool PositionList::update(int index, const TxRect& r) {
    if (r.empty() || !validIndex(index)) return false;
    items_[size_t(index)]->rect = r;
    return true;
}

bool PositionList::rename(int index, const std::string& name) {
    if (!validIndex(index)) return false;
    items_[size_t(index)]->name = name;
    return true;
}

bool PositionList::remove(int index) {
    if (!validIndex(index)) return false;
    items_.erase(items_.begin() + index);
    return true;
}

int PositionList::move(int index, int delta) {
    if (count() < 2 || !validIndex(index)) return -1;
    // 64 bits so a wild delta cannot overflow; the result wraps by one step as the spin does.
    int64_t target = int64_t(index) + delta;
    if (target < 0)
        target = count() - 1;
    else if (target >= count())
        target = 0;
    std::swap(items_[size_t(index)], items_[size_t(target)]);
    return int(target);
}

int PositionList::find(const TxRect& r) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i]->rect == r) return int(i);
    return -1;
}

namespace {

// trunc toward zero, saturated to the 32-bit range so huge factors cannot overflow the cast.
int32_t truncEdge(double v) {
    if (std::isnan(v)) return 0;
    constexpr double lo = double(std::numeric_limits<int32_t>::min());
    constexpr double hi = double(std::numeric_limits<int32_t>::max());
    if (v <= lo) return std::numeric_limits<int32_t>::min();
    if (v >= hi) return std::numeric_limits<int32_t>::max();
    return int32_t(std::trunc(v));
}

}  // namespace

void PositionList::scale(double sx, double sy) {
    for (auto& it : items_) {
        TxRect& r = it->rect;
        r.left = truncEdge(sx * r.left - 0.5);
        r.right = truncEdge(sx * r.right + 0.5);
        r.top = truncEdge(sy * r.top - 0.5);
        r.bottom = truncEdge(sy * r.bottom + 0.5);
    }
}

bool PositionList::sameAs(const PositionList& other) const {
    if (items_.size() != other.items_.size()) return false;
    for (size_t i = 0; i < items_.size(); ++i) {
        const PositionItem& a = *items_[i];
        const PositionItem& b = *other.items_[i];
        if (!(a.rect == b.rect) || !(a.source == b.source) || a.name != b.name) return false;
    }
    return true;
}
