// The arithmetic of the "Scale" and "Resize" dialogs, kept apart from the widgets so that the
// dialogs only forward their edits here and show the numbers that come back.
#pragma once

#include <string>

// The two check boxes the dialogs share, kept by the main window; off at program start, kept for
// the run, never saved.
struct ImageDialogFlags {
    bool preserveAspect = false;  // "Scale" and "Resize"
    bool centreImage = false;     // "Resize"
};

// Largest value the aspect ratio rule computes.
constexpr int SIZE_DIALOG_CAP = 8192;
// Field range of Width and Height.
constexpr int SIZE_FIELD_MIN = 1;
constexpr int SIZE_FIELD_MAX = 65535;

// A computed side: integer part of v + 0.5; above 8192, negative or not a number gives 8192 and
// 0 gives 1.
int sizeDialogRound(double v);

// True when a typed Width or Height is acceptable (1 to 65535).
bool sizeFieldValid(long value);
// Empty when a picture of width x height can be made, else which limit it passes ("A picture
// of 20000 x 20000 is over the limit of 1 GiB of pixels ..."): the fields allow more than that.
std::string pictureSizeRefusal(long width, long height);

// Width and Height of one dialog with the preserve-aspect-ratio rule. The ratio is fixed when the
// dialog opens (width / height of the current frame).
class SizeDialogModel {
public:
    SizeDialogModel(int width, int height, bool preserveAspect);

    // The person typed a value into Width / Height; with the rule on the other field follows.
    void editWidth(int w);
    void editHeight(int h);
    // Ticking the box applies the rule for the field edited last (nothing when none was).
    void setPreserveAspect(bool on);
    // The Resize dialog's hidden percentage slider (25 to 200): both sides from the opening size.
    void setPercent(int position);

    int width() const { return width_; }
    int height() const { return height_; }
    bool preserveAspect() const { return preserve_; }
    double ratio() const { return ratio_; }
    // Both fields in range, so OK may close the dialog.
    bool valid() const { return sizeFieldValid(width_) && sizeFieldValid(height_); }

private:
    enum class Edited { None, Width, Height };
    void follow();

    int width_, height_;
    const int openWidth_, openHeight_;
    bool preserve_;
    double ratio_;
    Edited last_ = Edited::None;
};
