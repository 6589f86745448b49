// The texture export's settings (section "ExportTexture"): the dialog's choices as the editor
// stores them, and the export options they stand for.
#pragma once

#include <string>

#include "model/ports.h"
#include "texlib/tex3df.h"

extern const char* const kExportTextureSection;

// Values as the export dialog keeps them: combo and radio indices plus the edit boxes.
struct ExportTextureSettings {
    int save = 0;      // "bSave": the dialog's "Save settings" box
    int swap = 0;      // "bSwap"
    int comment = 0;   // "bComment"
    int header = 0;    // "bHdr": 0 "3df v1.0", 1 "binary txInfo", 2 "no header", 3 "DDS", 4 "KTX2"
    int format = 0;    // "Format" combo index (see exportFormatChoices)
    int mipmap = 0;    // "Mipmap" combo index: 0 off, 1 all, 2..10 1..9 levels, 11 size mode
    int resample = 0;  // "Resample" combo index: 0 off, 1 automatic, 2 explicit, 3..9 aspects
    int dither = 0;    // "Dither": 0 disabled, 1 error diffusion, 2 ordered 4x4
    int ncc = 0;       // "Ncc": 0 statistic, 1 heuristic
    int mipmapSize = 32;                                   // "MMsz"
    int width = 256;                                       // "Width"
    int height = 256;                                      // "Height"
    std::string commentText = "insert your comment here";  // "Comment"
    int srgb = 0;         // "bSrgb": sRGB image, linear-light mipmaps (DDS and KTX2 only)
    int premultiply = 0;  // "bPremul"
    int alphaBleed = 0;   // "bBleed"
    int mipFilter = 0;    // "MipFilter": 0 box, 1 triangle, 2 kaiser
};

// Header choices; 3 and 4 are the DDS and KTX2 containers.
constexpr int kExportHeaderCount = 5;
extern const char* const kExportHeaderChoices[kExportHeaderCount];
// Mipmap filter combo texts, index = TxMipFilter.
extern const char* const kExportMipFilterChoices[3];

struct ExportFormatChoice {
    const char* text;  // the combo's text
    int code;          // target pixel format
};
// The Format combo, indices 0 to 12.
constexpr int kExportFormatCount = 13;
extern const ExportFormatChoice kExportFormatChoices[kExportFormatCount];
// Target format of a combo index; 10 (rgb565) for any other index.
int exportFormatCode(int index);
// Combo index of a target format, or -1 when the combo does not offer it.
int exportFormatIndex(int code);

// Mipmap and resample combo texts, index by index.
extern const char* const kExportMipmapChoices[12];
extern const char* const kExportResampleChoices[10];
// Forced aspect (width, height) of resample indices 3 to 9.
extern const int kExportAspects[7][2];

ExportTextureSettings loadExportTextureSettings(const SettingsStore& store);
void saveExportTextureSettings(SettingsStore& store, const ExportTextureSettings& s);

// The export options the settings stand for.
TxExportOptions exportOptionsFromSettings(const ExportTextureSettings& s);
