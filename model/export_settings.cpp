#include "model/export_settings.h"

#include "model/settings_fields.h"
#include "texlib/mip_filter.h"
#include "texlib/quantize.h"

const char* const kExportTextureSection = "ExportTexture";

const ExportFormatChoice kExportFormatChoices[kExportFormatCount] = {
    {"i8 8-bit itensity", TX_FMT_I8},
    {"a8 8-bit alpha", TX_FMT_A8},
    {"p8 8-bit pal indexed", TX_FMT_P8},
    {"ai44 - 4-bit alpha/4-bit itensity", TX_FMT_AI44},
    {"yiq - 8 bit narrow channel compression", TX_FMT_YIQ},
    {"rgb332 - 3-bit red, 3-bit green, 2-bit blue", TX_FMT_RGB332},
    {"rgb565 - 5-bit red, 6-bit green, 5-bit blue", TX_FMT_RGB565},
    {"argb8332 8-bit alpha, 3-bit red, 3-bit green, 2-bit blue", TX_FMT_ARGB8332},
    {"argb1555 - 1-bit alpha, 5-bit red, 5-bit green, 5-bit blue", TX_FMT_ARGB1555},
    {"ayiq - 8-bit alpha + narrow-channel compressed color", TX_FMT_AYIQ8422},
    {"argb4444 - 4-bit alpha, 4-bit red, 4-bit green, 4-bit blue", TX_FMT_ARGB4444},
    {"ai88 - 8-bit alpha, 8-bit intensity", TX_FMT_AI88},
    {"argb8888 - 24-bit color + 8 bit alpha", TX_FMT_ARGB8888},
};

const char* const kExportMipmapChoices[12] = {
    "Do not generate MIPmaps", "Automatically  generate all MIPmap levels",
    "1 mipmap level",          "2 mipmap level",
    "3 mipmap level",          "4 mipmap level",
    "5 mipmap level",          "6 mipmap level",
    "7 mipmap level",          "8 mipmap level",
    "9 mipmap level",          "Generate mipmaps till the dimension is less than size",
};

const char* const kExportResampleChoices[10] = {
    "Do not resample",
    "Resample automatically to the next smaller power of 2",
    "Resample input image to match width and height",
    "Resample and force aspect_ratio 8x1",
    "Resample and force aspect_ratio 4x1",
    "Resample and force aspect_ratio 2x1",
    "Resample and force aspect_ratio 1x1",
    "Resample and force aspect_ratio 1x2",
    "Resample and force aspect_ratio 1x4",
    "Resample and force aspect_ratio 1x8",
};

const char* const kExportHeaderChoices[kExportHeaderCount] = {
    "3df v1.0", "binary txInfo", "no header", "DDS", "KTX2",
};

const char* const kExportMipFilterChoices[3] = {"box", "triangle", "kaiser"};

const int kExportAspects[7][2] = {{8, 1}, {4, 1}, {2, 1}, {1, 1}, {1, 2}, {1, 4}, {1, 8}};

int exportFormatCode(int index) {
    return (index >= 0 && index < kExportFormatCount) ? kExportFormatChoices[index].code
                                                      : TX_FMT_RGB565;
}

int exportFormatIndex(int code) {
    for (int k = 0; k < kExportFormatCount; ++k)
        if (kExportFormatChoices[k].code == code) return k;
    return -1;
}

namespace {

using Field = SettingsField<ExportTextureSettings>;
const Field kFields[] = {
    {"bSave", &ExportTextureSettings::save},
    {"bSwap", &ExportTextureSettings::swap},
    {"bComment", &ExportTextureSettings::comment},
    {"bHdr", &ExportTextureSettings::header},
    {"Format", &ExportTextureSettings::format},
    {"Mipmap", &ExportTextureSettings::mipmap},
    {"Resample", &ExportTextureSettings::resample},
    {"Dither", &ExportTextureSettings::dither},
    {"Ncc", &ExportTextureSettings::ncc},
    {"MMsz", &ExportTextureSettings::mipmapSize},
    {"Width", &ExportTextureSettings::width},
    {"Height", &ExportTextureSettings::height},
    {"Comment", nullptr, &ExportTextureSettings::commentText},
    {"bSrgb", &ExportTextureSettings::srgb},
    {"bPremul", &ExportTextureSettings::premultiply},
    {"bBleed", &ExportTextureSettings::alphaBleed},
    {"MipFilter", &ExportTextureSettings::mipFilter},
};

}  // namespace

ExportTextureSettings loadExportTextureSettings(const SettingsStore& store) {
    ExportTextureSettings s;
    loadSettingsFields(store, kExportTextureSection, kFields, s);
    return s;
}

void saveExportTextureSettings(SettingsStore& store, const ExportTextureSettings& s) {
    saveSettingsFields(store, kExportTextureSection, kFields, s);
}

TxExportOptions exportOptionsFromSettings(const ExportTextureSettings& s) {
    TxExportOptions o;
    o.output = s.header == 1   ? TX_OUTPUT_TEX
               : s.header == 2 ? TX_OUTPUT_RAW
               : s.header == 3 ? TX_OUTPUT_DDS
               : s.header == 4 ? TX_OUTPUT_KTX2
                               : TX_OUTPUT_3DF;
    o.format = exportFormatCode(s.format);

    o.resample = 0;
    o.automatic = 1;
    o.width = -1;
    o.height = -1;
    if (s.resample == 1) {
        o.resample = 1;
    } else if (s.resample == 2) {
        o.resample = 1;
        o.automatic = 0;
        o.width = s.width;
        o.height = s.height;
    } else if (s.resample >= 3 && s.resample <= 9) {
        o.resample = 1;
        o.width = kExportAspects[s.resample - 3][0];
        o.height = kExportAspects[s.resample - 3][1];
    }

    o.mipmap = 0;
    o.allLevels = 1;
    o.levelLimit = -1;
    if (s.mipmap == 1) {
        o.mipmap = 1;
    } else if (s.mipmap >= 2 && s.mipmap <= 10) {
        o.mipmap = 1;
        o.levelLimit = s.mipmap - 1;
    } else if (s.mipmap == 11) {
        o.mipmap = 1;
        o.allLevels = 0;
        // A size below 1 would never be reached by halving.
        o.levelLimit = s.mipmapSize < 1 ? 1 : s.mipmapSize;
    }

    o.dither = s.dither == 1   ? TX_DITHER_ERR_DIFFUSION
               : s.dither == 2 ? TX_DITHER_ORDERED
                               : TX_DITHER_NONE;
    o.ncc = s.ncc == 1 ? TX_NCC_HEURISTIC : TX_NCC_STATISTIC;
    o.comment = s.comment ? 1 : 0;
    if (o.output == TX_OUTPUT_3DF && o.format != TX_FMT_ARGB8888) o.comment = 0;
    o.commentText = s.commentText;
    o.swap = (s.format >= 6 && s.format <= 11) ? (s.swap ? 1 : 0) : 0;
    if (o.output == TX_OUTPUT_TEX) o.swap = 1;
    // The containers fix their own byte order and have no comment lines.
    if (txExportIsContainer(o.output)) o.swap = 0, o.comment = 0;
    // sRGB is a property of the container's format, which 3DF, TEX and raw data cannot carry.
    o.srgb = s.srgb && txExportIsContainer(o.output) ? 1 : 0;
    o.premultiply = s.premultiply ? 1 : 0;
    o.alphaBleed = s.alphaBleed ? 1 : 0;
    o.mipFilter = txMipFilterName(s.mipFilter) ? s.mipFilter : TX_MIP_FILTER_BOX;
    return o;
}
