#include "tools/fontwizard/font_face.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_MODULE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_TAGS_H

#include "tools/fontwizard/char_select.h"

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

bool fontFaceFromFile(const std::string& path, int index, int style, FontFaceMatch& out,
                      std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = path + ": " + why;
        return false;
    };
    FT_Library lib = freetype();
    if (!lib) return fail("FreeType could not be initialised");
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return fail("no such file");
    if (std::filesystem::is_directory(path, ec)) return fail("is a folder, not a font file");
    FT_Face face = nullptr;
    // Index -1 only counts the faces of the file.
    if (FT_New_Face(lib, path.c_str(), -1, &face) != 0 || !face)
        return fail("cannot be read as a font (TrueType, OpenType or a collection)");
    const long faces = face->num_faces;
    FT_Done_Face(face);
    if (index < 0 || index >= faces)
        return fail("has " + std::to_string(faces) + (faces == 1 ? " face" : " faces") +
                    ", so there is no face index " + std::to_string(index));
    face = nullptr;
    if (FT_New_Face(lib, path.c_str(), index, &face) != 0 || !face)
        return fail("face " + std::to_string(index) + " cannot be read");
    const bool outline = FT_IS_SCALABLE(face);
    out = FontFaceMatch{};
    out.file = path;
    out.index = index;
    out.family = face->family_name ? face->family_name : "";
    out.style = face->style_name ? face->style_name : "";
    out.exact = true;
    const bool bold = style == 1 || style == 3, italic = style == 2 || style == 3;
    out.synthBold = bold && !(face->style_flags & FT_STYLE_FLAG_BOLD);
    out.synthItalic = italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC);
    FT_Done_Face(face);
    if (!outline) return fail("is a bitmap font; only outline fonts can be scaled");
    return true;
}

int fontFileFaceCount(const std::string& path) {
    FT_Library lib = freetype();
    FT_Face face = nullptr;
    if (!lib || FT_New_Face(lib, path.c_str(), -1, &face) != 0 || !face) return 0;
    const long n = face->num_faces;
    FT_Done_Face(face);
    return int(std::clamp<long>(n, 0, 0xFFFF));
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
        // Symbol fonts put their characters at 0xF000 + the 8-bit code; the rest of Unicode is
        // not in them.
        const auto code = fontUnicodeToCp1252(cp);
        if (!code) return 0;
        FT_UInt g = FT_Get_Char_Index(face, 0xF000 | FT_ULong(*code));
        return g ? g : FT_Get_Char_Index(face, FT_ULong(*code));
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

bool FontFace::hasGlyph(uint32_t cp) const { return impl_->face && impl_->glyphIndex(cp) != 0; }

bool FontFace::render(uint32_t cp, FontGlyphImage& image, int sdfSpread) {
    image = FontGlyphImage{};
    if (!impl_->face || !impl_->load(cp)) return false;
    FT_GlyphSlot slot = impl_->face->glyph;
    if (sdfSpread > 0) {
        // An empty outline (a blank) has no distances to measure.
        if (slot->format == FT_GLYPH_FORMAT_OUTLINE && slot->outline.n_contours == 0) return true;
        FT_Int spread = sdfSpread;
        if (FT_Property_Set(freetype(), "sdf", "spread", &spread) != 0) return false;
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_SDF) != 0) return false;
    } else if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) {
        return false;
    }
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

bool FontFace::kerningPairs(const std::vector<uint32_t>& cps,
                            std::vector<std::pair<uint32_t, uint32_t>>& pairs) {
    pairs.clear();
    FT_Face f = impl_->face;
    if (!f || !FT_IS_SFNT(f)) return false;
    FT_ULong len = 0;
    if (FT_Load_Sfnt_Table(f, TTAG_kern, 0, nullptr, &len) != 0 || len < 4) return false;
    std::vector<uint8_t> t(len);
    if (FT_Load_Sfnt_Table(f, TTAG_kern, 0, t.data(), &len) != 0) return false;
    auto u16 = [&](size_t at) {
        return at + 2 <= t.size() ? uint32_t(t[at] << 8 | t[at + 1]) : 0u;
    };
    // The Windows form (version 0); Apple's version 1 tables are left to FreeType.
    if (u16(0) != 0) return false;
    std::multimap<uint32_t, uint32_t> byGlyph;  // glyph index -> index into cps
    for (size_t i = 0; i < cps.size(); ++i)
        if (const FT_UInt g = impl_->glyphIndex(cps[i])) byGlyph.emplace(g, uint32_t(i));
    const uint32_t tables = u16(2);
    size_t at = 4;
    for (uint32_t k = 0; k < tables && at + 6 <= t.size(); ++k) {
        size_t length = u16(at + 2);
        const uint32_t coverage = u16(at + 4);
        // Format 0, horizontal, kerning values (not minimums), not across the line.
        if ((coverage >> 8) == 0 && (coverage & 0x7) == 0x1 && at + 14 <= t.size()) {
            const uint32_t n = u16(at + 6);
            // Large subtables overflow their 16-bit length; the pair count tells the truth.
            length = std::max(length, 14 + size_t(n) * 6);
            for (uint32_t e = 0; e < n; ++e) {
                const size_t p = at + 14 + size_t(e) * 6;
                if (p + 6 > t.size()) break;
                auto [l0, l1] = byGlyph.equal_range(u16(p));
                if (l0 == l1) continue;
                auto [r0, r1] = byGlyph.equal_range(u16(p + 2));
                for (auto a = l0; a != l1; ++a)
                    for (auto b = r0; b != r1; ++b) pairs.emplace_back(a->second, b->second);
            }
        }
        if (length < 6) break;
        at += length;
    }
    std::sort(pairs.begin(), pairs.end());
    pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
    return true;
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
