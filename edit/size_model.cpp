#include "edit/size_model.h"

#include <cmath>
#include <cstdint>

#include "texlib/mip.h"

int sizeDialogRound(double v) {
    // Tested in floating point first: a ratio from a zero side is infinite and must not reach
    // the integer conversion.
    if (!(v >= 0.0)) return SIZE_DIALOG_CAP;
    const double r = std::floor(v + 0.5);
    if (r > SIZE_DIALOG_CAP) return SIZE_DIALOG_CAP;
    const int n = int(r);
    return n == 0 ? 1 : n;
}

bool sizeFieldValid(long value) { return value >= SIZE_FIELD_MIN && value <= SIZE_FIELD_MAX; }

std::string pictureSizeRefusal(long width, long height) {
    const std::string why = txSizeRefusal(width, height);
    return why.empty() ? why : "A picture of " + why + ".";
}

SizeDialogModel::SizeDialogModel(int width, int height, bool preserveAspect)
    : width_(width), height_(height), openWidth_(width), openHeight_(height),
      preserve_(preserveAspect), ratio_(height > 0 ? double(width) / double(height) : HUGE_VAL) {}

void SizeDialogModel::follow() {
    if (!preserve_) return;
    if (last_ == Edited::Height)
        width_ = sizeDialogRound(double(height_) * ratio_);
    else if (last_ == Edited::Width)
        height_ = sizeDialogRound(double(width_) / ratio_);
}

void SizeDialogModel::editWidth(int w) {
    width_ = w;
    last_ = Edited::Width;
    follow();
}

void SizeDialogModel::editHeight(int h) {
    height_ = h;
    last_ = Edited::Height;
    follow();
}

void SizeDialogModel::setPreserveAspect(bool on) {
    preserve_ = on;
    follow();
}

void SizeDialogModel::setPercent(int position) {
    width_ = int(int64_t(position) * openWidth_ / 100);
    height_ = int(int64_t(position) * openHeight_ / 100);
}
