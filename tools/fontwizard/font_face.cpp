#include "tools/fontwizard/font_face.h"

#include <algorithm>
#include <cctype>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

namespace {

// One FreeType library for the process; faces are opened per run.
struct FreeTypeLibrary {
    FT_Library lib = nullptr;
    FreeTypeLibrary() {
        if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
    }
    ~FreeTypeLibrary() {
        if (lib) FT_Done_FreeType(lib);
    }
};

FT_Library freetype() {
    static FreeTypeLibrary holder;
    return holder.lib;
}

// A fontconfig configuration of our own, released at exit, so that the editor's toolkit keeps the
// default one to itself.
struct FontconfigConfig {
    FcConfig* config = FcInitLoadConfigAndFonts();
    ~FontconfigConfig() {
        if (config) FcConfigDestroy(config);
    }
};

FcConfig* fontconfig() {
    static FontconfigConfig holder;
    return holder.config;
}

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string patternString(FcPattern* p, const char* object, int n = 0) {
    FcChar8* v = nullptr;
    if (FcPatternGetString(p, object, n, &v) != FcResultMatch || !v) return {};
    return reinterpret_cast<const char*>(v);
}

int64_t ceilScaled(int64_t units, int ppem, int upem) {
    if (upem <= 0) return 0;
    return (units * ppem + upem - 1) / upem;
}

}  // namespace

bool fontFindFace(const std::string& requested, int style, FontFaceMatch& out, std::string* error) {
    FcConfig* config = fontconfig();
    if (!config) {
        if (error) *error = "fontconfig could not be initialised";
        return false;
    }
    // The face name is limited the way the font services limited it.
    const std::string name = requested.substr(0, 31);
    const bool bold = style == 1 || style == 3;
    const bool italic = style == 2 || style == 3;
    FcPattern* pat = FcPatternCreate();
    if (!pat) {
        if (error) *error = "out of memory";
        return false;
    }
    if (!name.empty())
        FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pat, FC_OUTLINE, FcTrue);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result = FcResultNoMatch;
    FcFontSet* set = FcFontSort(config, pat, FcTrue, nullptr, &result);
    bool found = false;
    for (int i = 0; set && i < set->nfont && !found; ++i) {
        FcPattern* font = set->fonts[i];
        FcBool outline = FcFalse;
        if (FcPatternGetBool(font, FC_OUTLINE, 0, &outline) != FcResultMatch || !outline) continue;
        const std::string file = patternString(font, FC_FILE);
        if (file.empty()) continue;
        int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
        FcPatternGetInteger(font, FC_INDEX, 0, &index);
        FcPatternGetInteger(font, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(font, FC_SLANT, 0, &slant);
        out = FontFaceMatch{};
        out.file = file;
        out.index = index;
        out.family = patternString(font, FC_FAMILY);
        out.style = patternString(font, FC_STYLE);
        const std::string want = lower(name);
        for (int n = 0;; ++n) {
            const std::string fam = patternString(font, FC_FAMILY, n);
            if (fam.empty()) break;
            if (!want.empty() && lower(fam) == want) out.exact = true;
        }
        out.synthBold = bold && weight < FC_WEIGHT_DEMIBOLD;
        out.synthItalic = italic && slant == FC_SLANT_ROMAN;
        found = true;
    }
    if (set) FcFontSetDestroy(set);
    FcPatternDestroy(pat);
    if (!found && error) *error = "no outline font is installed";
    return found;
}

std::vector<std::string> fontListFaces() {
    std::vector<std::string> names;
    FcConfig* config = fontconfig();
    if (!config) return names;
    FcPattern* pat = FcPatternCreate();
    FcPatternAddBool(pat, FC_OUTLINE, FcTrue);
    FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, FC_OUTLINE, nullptr);
    FcFontSet* set = FcFontList(config, pat, os);
    for (int i = 0; set && i < set->nfont; ++i)
        for (int n = 0;; ++n) {
            std::string fam = patternString(set->fonts[i], FC_FAMILY, n);
            if (fam.empty()) break;
            names.push_back(std::move(fam));
        }
    if (set) FcFontSetDestroy(set);
    FcObjectSetDestroy(os);
    FcPatternDestroy(pat);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string la = lower(a), lb = lower(b);
        return la != lb ? la < lb : a < b;
    });
    names.erase(std::unique(names.begin(), names.end(),
                            [](const std::string& a, const std::string& b) {
                                return lower(a) == lower(b);
                            }),
                names.end());
    return names;
}

struct FontFace::Impl {
    FT_Face face = nullptr;
    bool synthBold = false, synthItalic = false;
    bool unicode = true;  // false: a symbol font, looked up by 8-bit code

    ~Impl() {
        if (face) FT_Done_Face(face);
    }

    FT_UInt glyphIndex(uint32_t cp) const {
        if (unicode) return FT_Get_Char_Index(face, cp);
        // Symbol fonts put their characters at 0xF000 + code.
        FT_UInt g = FT_Get_Char_Index(face, 0xF000 | (cp & 0xFF));
        return g ? g : FT_Get_Char_Index(face, cp & 0xFF);
    }

    bool load(uint32_t cp) {
        if (FT_Load_Glyph(face, glyphIndex(cp), FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0)
            return false;
        if (face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
            if (synthItalic) FT_GlyphSlot_Oblique(face->glyph);
            if (synthBold) FT_GlyphSlot_Embolden(face->glyph);
        }
        return true;
    }
};

FontFace::FontFace() : impl_(std::make_unique<Impl>()) {}
FontFace::~FontFace() = default;

bool FontFace::open(const FontFaceMatch& match, int pixelHeight, std::string* error) {
    FT_Library lib = freetype();
    if (!lib) {
        if (error) *error = "FreeType could not be initialised";
        return false;
    }
    impl_ = std::make_unique<Impl>();
    if (FT_New_Face(lib, match.file.c_str(), match.index, &impl_->face) != 0) {
        impl_->face = nullptr;
        if (error) *error = "cannot open the font file " + match.file;
        return false;
    }
    FT_Face f = impl_->face;
    if (!FT_IS_SCALABLE(f)) {
        if (error) *error = match.file + " is not an outline font";
        return false;
    }
    if (FT_Select_Charmap(f, FT_ENCODING_UNICODE) != 0) {
        impl_->unicode = false;
        if (FT_Select_Charmap(f, FT_ENCODING_MS_SYMBOL) != 0 && f->num_charmaps > 0)
            FT_Set_Charmap(f, f->charmaps[0]);
    }
    if (pixelHeight < 1 || pixelHeight > 0xFFFF ||
        FT_Set_Pixel_Sizes(f, 0, FT_UInt(pixelHeight)) != 0) {
        if (error) *error = "the font cannot be set to " + std::to_string(pixelHeight) + " pixels";
        return false;
    }
    impl_->synthBold = match.synthBold;
    impl_->synthItalic = match.synthItalic;
    pixelHeight_ = pixelHeight;
    // The line box is the one the Windows metrics of the face describe, as the font services
    // laid text out; faces without them use their general ascender and descender.
    int64_t asc = f->ascender, desc = -int64_t(f->descender);
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
        os2 && os2->version != 0xFFFF && (os2->usWinAscent || os2->usWinDescent)) {
        asc = os2->usWinAscent;
        desc = os2->usWinDescent;
    }
    ascent_ = int(std::max<int64_t>(0, ceilScaled(asc, pixelHeight, f->units_per_EM)));
    descent_ = int(std::max<int64_t>(0, ceilScaled(desc, pixelHeight, f->units_per_EM)));
    return true;
}

int FontFace::unitsPerEm() const { return impl_->face ? impl_->face->units_per_EM : 0; }

int FontFace::advance(uint32_t cp) {
    if (!impl_->face || !impl_->load(cp)) return 0;
    return int((impl_->face->glyph->advance.x + 32) >> 6);
}

bool FontFace::render(uint32_t cp, FontGlyphImage& image) {
    image = FontGlyphImage{};
    if (!impl_->face || !impl_->load(cp)) return false;
    FT_GlyphSlot slot = impl_->face->glyph;
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return false;
    const FT_Bitmap& bm = slot->bitmap;
    if (bm.pixel_mode != FT_PIXEL_MODE_GRAY) return false;
    image.width = int(bm.width);
    image.height = int(bm.rows);
    image.left = slot->bitmap_left;
    image.top = slot->bitmap_top;
    // A negative pitch means the rows are stored bottom row first.
    image.pitch = bm.pitch;
    image.rows =
        bm.pitch >= 0 ? bm.buffer : bm.buffer + size_t(-bm.pitch) * (bm.rows ? bm.rows - 1 : 0);
    return true;
}

bool FontFace::hasKerning() const { return impl_->face && FT_HAS_KERNING(impl_->face); }

int FontFace::kerningUnits(uint32_t left, uint32_t right) {
    if (!hasKerning()) return 0;
    FT_Vector v{0, 0};
    if (FT_Get_Kerning(impl_->face, impl_->glyphIndex(left), impl_->glyphIndex(right),
                       FT_KERNING_UNSCALED, &v) != 0)
        return 0;
    return int(v.x);
}

void fontBlitGlyph(const FontGlyphImage& image, int penX, int baseline, const TxRect& clip,
                   uint8_t* surface, int stride) {
    const int x0 = penX + image.left, y0 = baseline - image.top;
    const int left = std::max(clip.left, x0), right = std::min(clip.right, x0 + image.width);
    const int top = std::max(clip.top, y0), bottom = std::min(clip.bottom, y0 + image.height);
    for (int y = top; y < bottom; ++y) {
        const uint8_t* src = image.rows + ptrdiff_t(y - y0) * image.pitch;
        uint8_t* dst = surface + size_t(y) * size_t(stride);
        for (int x = left; x < right; ++x) dst[x] = std::max(dst[x], src[x - x0]);
    }
}
