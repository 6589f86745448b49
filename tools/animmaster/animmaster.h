// AnimMaster: prepares animation frames for engines that draw each frame over the previous ones.
// In every frame but the first, pixels that did not change against a reference frame become a
// colour key, so only the changing pixels remain to be drawn; optional passes key out pixels that
// are the same in all frames and pixels with zero alpha.
#pragma once

#include <cstdint>
#include <string>

#include "model/frame_sequence.h"
#include "model/ports.h"

// Which frame each frame is compared with ("Buffertype").
enum AnimMasterBuffer : int {
    AM_BUFFER_SINGLE = 0,  // "Single buffer": the previous frame
    AM_BUFFER_DOUBLE = 1,  // "Double buffer": the frame two before (frame 1: frame 0)
    AM_BUFFER_UNI = 2,     // "Uni Buffer": always frame 0
    AM_BUFFER_NONE = 3,    // "-do nothing-": no difference pass
};

// Flags handed to the optimiser.
enum AnimMasterFlag : int {
    AM_CUTOUT_ALPHA = 1,   // "Set zero alpha pixel to colorkey"
    AM_CUTOUT_UNIQUE = 2,  // "Set unique pixels to colorkey"
    AM_KEEP_ALPHA = 4,     // "Do not affect the alpha channel"
};

enum AnimMasterResult : int {
    AM_OK = 0,
    AM_NO_FRAMES = 265,      // the sequence is empty
    AM_NO_DIFFERENCE = 489,  // buffer type other than 0, 1 or 2: no difference pass was made
};

inline constexpr const char* kAnimMasterSection = "AnimMaster";
inline constexpr const char* kAnimMasterNoFramesText = "Load a Bitmapsequence first";

// The dialog's settings, kept in section "AnimMaster".
struct AnimMasterOptions {
    uint32_t colorKey = 0;              // "colorkey": a pixel word 0xAARRGGBB
    int bufferType = AM_BUFFER_SINGLE;  // "type"
    bool cutoutUnique = false;          // "cutout_u"
    bool cutoutAlpha = false;           // "cutout_a"
    bool keepAlpha = true;              // "keep_a"

    int flags() const;
    void load(const SettingsStore& store);
    void save(SettingsStore& store) const;
};

// The key as the dialog shows it: "0x%08.8x".
std::string animMasterKeyText(uint32_t key);
// The key text read as "%x" reads it: leading blanks, an optional sign, an optional 0x, then hex
// digits up to the first other character; 0 when nothing parses.
uint32_t animMasterParseKey(const std::string& text);
// Strict form for command lines: optional 0x and one to eight hex digits, nothing else.
bool animMasterParseKeyStrict(const std::string& text, uint32_t& key);
// A colour chosen in the colour dialog (0x00BBGGRR, red in the low byte) as a key 0x00RRGGBB.
uint32_t animMasterKeyFromColour(uint32_t colourRef);

// Optimises the frames in place: pass 1 (unique pixels, with AM_CUTOUT_UNIQUE), pass 2 (zero
// alpha, with AM_CUTOUT_ALPHA), pass 3 (difference against the reference frame of the buffer
// type). Frames may differ in size: pixels are compared only where both frames have one, a pixel
// without a counterpart counts as changed, and nothing outside a frame is read or written.
// Progress gets one step per row in pass 1 and per frame in passes 2 and 3.
int animMasterOptimize(FrameSequence& seq, int bufferType, uint32_t key, int flags,
                       Progress* progress = nullptr);
