// What a document view decides without drawing: zoom, channel set, grid, selection, snapping,
// the mouse and key rules, status texts and the coordinate maths. The Qt widget forwards its
// events here and paints the ImageBuffer that render() fills; tests drive it directly.
#pragma once

#include <cstdint>
#include <string>

#include "model/image_buffer.h"
#include "texlib/mip.h"

class CBitmapDoc;
enum DocHint : int;
class Progress;

struct ViewPoint {
    int x = 0;
    int y = 0;
    bool operator==(const ViewPoint&) const = default;
};

// The preference values a view starts from and follows.
struct ViewPreferences {
    int frameWidth = 32;
    int frameHeight = 32;
    int isoFrameWidth = 64;
    int isoFrameHeight = 32;
    int startMode = 0;          // non-zero: new views start in isometric grid mode
    bool grayInactive = false;  // inactive document windows show a dimmed snapshot
    bool chequer = false;       // transparent pixels over a chequer board
};

enum class ViewMode : int { Idle = 0, KeyPick = 1, RubberBand = 2, PastePlacement = 4 };
enum class GridMode : int { Normal = 0, Isometric = 1 };
enum class ViewCursor { Arrow, Image, KeyPick };
enum class ViewKey { Left, Up, Right, Down, Escape, Other };

// Bits of the channel set.
enum ChannelBits : int { CHANNEL_BLUE = 1, CHANNEL_GREEN = 2, CHANNEL_RED = 4, CHANNEL_MASK = 8 };

// The values the "Grid Options" dialog edits; colour is 0x00BBGGRR like the colour chooser's.
struct GridOptions {
    int xOffset = 0;
    int yOffset = 0;
    int xSize = 32;
    int ySize = 32;
    bool dottedLine = false;
    uint32_t colour = 0x008080FFu;
};

// What the view asks of the window around it. The widget implements it; tests record the calls.
class ViewHost {
public:
    virtual ~ViewHost() = default;
    virtual void invalidate(bool /*erase*/) {}
    virtual void statusChanged() {}
    // The scrolled size (picture x zoom) changed.
    virtual void scrollSizesChanged() {}
    // Scroll so that device (0, 0) shows logical (x, y); the view has already stored it.
    virtual void scrollTo(int /*x*/, int /*y*/) {}
    // Mouse capture and cursor confinement, held exactly while a drag or a paste placement runs.
    virtual void captureMouse(bool /*on*/) {}
    // The 50 ms auto-scroll timer.
    virtual void autoScrollTimer(bool /*run*/) {}
    // A press outside the picture moves the document window as its caption would.
    virtual void captionDrag() {}
    virtual void message(const std::string& /*text*/) {}
    // A key colour was applied to the document (commands' enabled state may change).
    virtual void keyColourApplied() {}
    virtual Progress* progress() { return nullptr; }
};

// Receives the end of a paste placement. The clipboard logic starts one with
// ViewState::beginPastePlacement(); while it runs the mouse moves the rectangle (with snapping
// and kept inside the picture), a left click drops it and Escape cancels it.
class PasteTarget {
public:
    virtual ~PasteTarget() = default;
    // Paste at rect's top-left corner. Afterwards the view clears the selection, ends the
    // placement and refreshes its surfaces from the document.
    virtual void pasteDrop(const TxRect& rect) = 0;
    virtual void pasteCancelled() {}
};

class ViewState {
public:
    static constexpr int kAutoScrollMs = 50;
    static constexpr int kAutoScrollStep = 12;
    static constexpr uint32_t kBackground = 0xFF3C3C46u;  // red 60, green 60, blue 70

    ViewState(CBitmapDoc* doc, const ViewPreferences& prefs, ViewHost* host = nullptr);
    ViewState(const ViewState&) = delete;
    ViewState& operator=(const ViewState&) = delete;

    CBitmapDoc* document() const { return doc_; }
    void setHost(ViewHost* host) { host_ = host; }
    // New preference values: the frame size of the current grid mode and the display flags.
    void setPreferences(const ViewPreferences& prefs);
    const ViewPreferences& preferences() const { return prefs_; }
    // The values a new view takes from the preferences: grid mode, frame and grid cell size.
    void startFrom(const ViewPreferences& prefs);

    // ---- Document and surfaces ----
    // Width and height of the current frame, 0 x 0 without one.
    int imageWidth() const;
    int imageHeight() const;
    TxRect imageBounds() const { return TxRect{0, 0, imageWidth(), imageHeight()}; }
    // A document change: -1 full refresh, -2 select *rect, -3 position list only, else refill.
    void documentUpdate(DocHint hint, const TxRect* rect = nullptr);
    // Reloads the colour surface through the channel mask and the mask surface from the alpha.
    void refreshSurfaces();
    void reloadColour();
    ImageBuffer& colourSurface() { return colour_; }
    const ImageBuffer& colourSurface() const { return colour_; }
    ImageBuffer& mask() { return mask_; }
    const ImageBuffer& mask() const { return mask_; }
    // The surface shown now: the mask when bit 3 of the channel set is set, else the colours.
    const ImageBuffer& shownSurface() const { return maskShown() ? mask_ : colour_; }

    // ---- Zoom and scrolling ----
    // The magnification: zoom() times, or 1 / shrink() below 100% (25% is zoom 1, shrink 4).
    int zoom() const { return zoom_; }
    int shrink() const { return shrink_; }
    int zoomPercent() const { return zoom_ * 100 / shrink_; }
    // The zoom steps: 25, 50, 100, 200, ... 800 percent.
    static bool isZoomStep(int percent);
    // Commands 1x to 4x (and any 1..8); other values are ignored.
    void setZoom(int zoom);
    // Any zoom step in percent; other values are ignored.
    void setZoomPercent(int percent);
    // Zoom in and out go one step in 1..8 as before; from below 100% zoom in climbs back.
    void zoomIn();
    void zoomOut();
    bool canZoomIn() const { return zoom_ < 8; }
    bool canZoomOut() const { return zoom_ > 1; }
    // The largest step at which a w x h picture fits in availW x availH (25% at the least).
    static int fitPercent(int w, int h, int availW, int availH);
    // Ctrl+wheel: one step per notch (120 units) up or down, keeping the image point under the
    // device point (mx, my) where it is. Returns whether the zoom changed.
    bool wheelZoom(int delta, int mx, int my);
    // Plain wheel scrolls vertically, Shift+wheel (or a sideways wheel) horizontally.
    static constexpr int kWheelStep = 48;  // device pixels a notch
    void wheelScroll(int deltaX, int deltaY, bool shift);
    // Keys m and n: the zoom step, then centre on the cursor (at the limit only centre).
    void zoomKey(bool in);
    void centreOnCursor();
    // The visible part: scroll position (logical point at device (0, 0)) and client size.
    void setViewport(int scrollX, int scrollY, int clientWidth, int clientHeight);
    int scrollX() const { return scrollX_; }
    int scrollY() const { return scrollY_; }
    int clientWidth() const { return clientW_; }
    int clientHeight() const { return clientH_; }
    // Image pixels to logical (device + scroll) pixels and back, at the current zoom.
    int toLogical(int image) const;
    int toImageFloor(int logical) const;
    // Scroll sizes in device units: total picture x zoom, page a twelfth of it, line the zoom.
    int totalWidth() const { return toLogicalCeil(imageWidth()); }
    int totalHeight() const { return toLogicalCeil(imageHeight()); }
    int pageWidth() const { return totalWidth() / 12; }
    int pageHeight() const { return totalHeight() / 12; }
    int lineSize() const { return zoom_; }
    // Device to image pixels: logical / zoom rounded to nearest (halves up).
    ViewPoint toImage(int logicalX, int logicalY) const;

    // ---- Channels ----
    int channels() const { return channels_; }
    bool maskShown() const { return (channels_ & CHANNEL_MASK) != 0; }
    // Red, Green, Blue commands: toggle one bit; nothing left gives the other two colours.
    void toggleChannel(int bit);
    // Keys 1, 2, 3, 5: exactly this set (mask off).
    void setChannels(int set);
    // Alpha command and key 4.
    void toggleAlpha();
    void setMaskShown(bool on);
    // Red, Green and Blue are disabled while the mask is shown.
    bool channelCommandsEnabled() const { return !maskShown(); }
    uint32_t channelMask() const;

    // ---- Grid ----
    bool gridVisible() const { return gridVisible_; }
    void toggleGrid();
    GridMode gridMode() const { return gridMode_; }
    void setGridMode(GridMode mode);
    const GridOptions& gridOptions() const { return grid_; }
    // The Grid Options dialog's OK; values outside the dialog's ranges are clamped.
    void setGridOptions(const GridOptions& options);
    // "Make Grid": the grid from the selection; false (with "Make a selection first") without one.
    bool makeGrid();
    bool snapToGrid() const { return snap_; }
    void toggleSnap();
    // The snapping formulas of button down and move.
    ViewPoint snapDown(ViewPoint p) const;
    ViewPoint snapMove(ViewPoint p) const;
    ViewPoint snapNormal(ViewPoint p) const;
    int frameWidth() const { return frameW_; }
    int frameHeight() const { return frameH_; }
    void setFrameSize(int width, int height);

    // ---- Selection ----
    const TxRect& selection() const { return selection_; }
    // Normalised and clipped to the picture; an empty result clears it.
    void setSelection(const TxRect& r);
    void clearSelection() { setSelection(TxRect{}); }
    void selectAll();
    ViewMode mode() const { return mode_; }
    bool dragging() const { return mode_ == ViewMode::RubberBand; }
    ViewPoint cursorPos() const { return cursor_; }
    // The rubber band in image pixels: the start pixel stays inside whichever way the mouse
    // goes; with `frames` (Shift, or isometric mode) the size is whole frames, at least one.
    void beginDrag(ViewPoint p);
    void dragTo(ViewPoint p, bool frames);
    void endDrag();
    // Arrow keys: move by a pixel, Shift grows towards the arrow, Ctrl shrinks from the far side.
    // False when there is no selection to act on (the key then scrolls).
    bool nudgeSelection(ViewKey key, bool shift, bool ctrl);
    // Double click at an image point: a listed item, a grid cell or the sprite around the point.
    bool selectAt(ViewPoint p);

    // ---- Mouse, keys and timers (points in logical pixels: device + scroll) ----
    void leftDown(int x, int y, bool shift);
    void mouseMove(int x, int y, bool leftButton, bool shift);
    void leftUp(int x, int y);
    void doubleClick(int x, int y);
    bool keyDown(ViewKey key, bool shift, bool ctrl);
    // Character keys of the view (case as typed); false for characters it does not handle.
    bool character(char32_t c, bool autoRepeat);
    static bool handlesCharacter(char32_t c);
    void autoScrollTick();
    bool autoScrollRunning() const { return autoScroll_; }
    ViewPoint autoScrollStep() const { return step_; }
    ViewCursor cursorShape() const { return cursorShape_; }
    // Activation of the document window; deactivation ends any drag.
    void activate(bool on);
    bool active() const { return active_; }

    // ---- Key colour pick ----
    void beginKeyPick();
    bool pickingKey() const { return mode_ == ViewMode::KeyPick; }
    // The click of a key pick at an image point: the colour there becomes transparent.
    void pickKeyAt(ViewPoint p);

    // ---- Paste placement (clipboard) ----
    // Starts placing a width x height rectangle centred on the cursor; target receives the drop.
    void beginPastePlacement(int width, int height, PasteTarget* target);
    bool placingPaste() const { return mode_ == ViewMode::PastePlacement; }

    // ---- Status texts ----
    std::string statusSize() const;
    std::string statusRect() const;
    std::string statusZoom() const;
    std::string statusCursor() const;
    // The colour surface's pixel under the cursor without alpha, 0 outside.
    uint32_t colourUnderCursor() const;
    // The frame's pixel under the cursor as "#RRGGBB A=255"; empty outside the picture.
    std::string statusColour() const;

private:
    void changed(bool erase = false);
    void status();
    void endDragInternal();
    void moveTo(ViewPoint p, bool frames);
    void autoScrollCheck(ViewPoint device, ViewPoint p);
    void scrollToClamped(int x, int y);
    int toLogicalCeil(int image) const;
    void applyZoom(int zoom, int shrink);
    TxRect clipped(TxRect r) const;

    CBitmapDoc* doc_;
    ViewHost* host_;
    ViewPreferences prefs_;
    PasteTarget* paste_ = nullptr;

    ImageBuffer colour_, mask_;
    int zoom_ = 1;
    int shrink_ = 1;
    int channels_ = 7;
    bool gridVisible_ = false;
    GridMode gridMode_ = GridMode::Normal;
    GridOptions grid_;
    int frameW_ = 32, frameH_ = 32;
    bool snap_ = false;
    TxRect selection_;
    ViewPoint cursor_, dragStart_;
    ViewMode mode_ = ViewMode::Idle;
    bool captured_ = false;
    bool autoScroll_ = false;
    ViewPoint step_;
    int scrollX_ = 0, scrollY_ = 0, clientW_ = 0, clientH_ = 0;
    ViewCursor cursorShape_ = ViewCursor::Arrow;
    bool active_ = false;
};
