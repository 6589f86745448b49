// Whole-file templates: the data files engines load (JSON hash/array, Phaser 3, libGDX atlas,
// cocos2d plist, Starling XML, CSS, BMFont XML), written in the format-string language with a
// header, per-item, separator, per-page, per-kerning and footer blocks.
//
// How a caller fills the model (packing, font textures, the code generator):
//  - one TemplatePage per texture page, in page order: index, file name (as the engine should
//    load it, usually without a folder), width and height in pixels;
//  - one TemplateItem per sprite or glyph, in output order. x, y, w, h are the rectangle the
//    item covers on its page. When `rotated` is set the sprite is stored turned by 90 degrees
//    (the turn the output format's rotated flag stands for), so w and h are its height and width
//    as the engine shows it; templates read the unrotated size as rw, rh. sourceW/sourceH are the
//    size before trimming and trimX/trimY the trimmed rectangle's offset inside it (leave
//    sourceW/sourceH at 0 for untrimmed items: the renderer takes the unrotated size and trim 0).
//    `index` and `count` are filled by the renderer (position in `items`, size of `items`) unless
//    the caller set `keepIndex`; `page` is the page index. Names and file names are UTF-8
//    (templateSheetFromPositions converts the position list's Windows-1252 names). duration is the
//    frame time in milliseconds, 0 where unknown.
//  - font textures also fill codePoint, xoffset, yoffset, xadvance per glyph (codePoint -1 for
//    items that are no glyph), TemplateSheet::font (face, size, line height, base, padding,
//    spacing) and the kerning pairs.
//  - scale is the sheet's scale (1 unless packing scaled the sprites); format the pixel format
//    an engine is told ("RGBA8888").
// Then parse a template (parseSheetTemplate, or loadSheetTemplate for a built-in name or a file)
// and call renderSheetTemplate.
#pragma once

#include <string>
#include <vector>

#include "model/position_list.h"

struct TemplatePage {
    int index = 0;
    std::string file;  // UTF-8
    int width = 0;
    int height = 0;
};

struct TemplateItem {
    int x = 0, y = 0, w = 0, h = 0;  // the covered rectangle on the page
    std::string name;                // UTF-8
    int index = 0;                   // filled by the renderer unless TemplateSheet::keepIndex
    int sourceW = 0, sourceH = 0;    // untrimmed size; 0 = not trimmed
    int trimX = 0, trimY = 0;        // trimmed rectangle inside the untrimmed one
    bool rotated = false;            // stored turned by 90 degrees
    int duration = 0;                // milliseconds, 0 where unknown
    int page = 0;
    // Font glyphs.
    int codePoint = -1;
    int xoffset = 0, yoffset = 0, xadvance = 0;
};

struct TemplateKerning {
    int first = 0;  // code points
    int second = 0;
    int amount = 0;
};

struct TemplateFont {
    std::string face;  // UTF-8
    int size = 0;
    bool bold = false;
    bool italic = false;
    int lineHeight = 0;
    int base = 0;
    int padding[4] = {0, 0, 0, 0};  // up, right, down, left (BMFont's order)
    int spacing[2] = {0, 0};        // horizontal, vertical
};

struct TemplateSheet {
    std::vector<TemplatePage> pages;  // at least one for a meaningful output
    std::vector<TemplateItem> items;
    std::vector<TemplateKerning> kernings;
    TemplateFont font;
    double scale = 1.0;
    std::string format = "RGBA8888";
    bool keepIndex = false;  // items carry their own index
};

// One piece of a compiled block: literal text, or one conversion of one argument.
struct TemplatePiece {
    enum Kind : unsigned char { Literal, Integer, Text, Real, Flag } kind = Literal;
    enum Escape : unsigned char { None, Json, Xml, C, Css, CssString } escape = None;
    int arg = 0;         // argument id (internal)
    char conv = 0;       // conversion letter as written
    bool plain = false;  // no flags, width or precision
    std::string text;    // the literal, or the checked conversion for the C library
};

struct TemplateBlock {
    enum Kind : unsigned char {
        Header,
        Text,  // once, where it stands
        Footer,
        Page,
        PageFooter,
        PageSeparator,
        Item,
        Separator,
        Kerning,
        KerningSeparator,
    } kind = Header;
    int line = 0;  // where the block starts, for messages
    std::vector<TemplatePiece> pieces;
};

// A template after parsing: the blocks in file order.
struct SheetTemplate {
    std::vector<TemplateBlock> blocks;
    bool crlf = false;  // "@newline crlf": every \n of the template writes CR LF
    std::string name;   // built-in name or file path, for messages
};

struct TemplateError {
    int line = 0;  // 1-based; 0 when the error has no place (a file that cannot be read)
    int column = 0;
    std::string message;
    // "LINE:COLUMN: message", or the message alone.
    std::string text() const;
};

// Parses template text (UTF-8, LF or CR LF lines). False with `error` set on a syntax error.
bool parseSheetTemplate(const std::string& text, SheetTemplate& out, TemplateError& error);

// Renders the whole file. Items' index and count are set here unless `sheet.keepIndex`.
std::string renderSheetTemplate(const SheetTemplate& tmpl, const TemplateSheet& sheet);

// The built-in templates, by name, with the engines they serve.
struct BuiltinTemplate {
    const char* name;
    const char* engines;    // "PixiJS, Phaser 2 and 3, ..."
    const char* extension;  // usual file extension of the output, with its dot
    const char* text;       // template source
};
const std::vector<BuiltinTemplate>& builtinTemplates();
const BuiltinTemplate* findBuiltinTemplate(const std::string& name);
// "json-hash, json-array, ..."
std::string builtinTemplateNames();

enum TemplateLoadResult : int {
    TEMPLATE_OK = 0,
    TEMPLATE_UNREADABLE = 1,  // the file could not be read (error names it)
    TEMPLATE_UNKNOWN = 2,     // neither a built-in nor a file (error lists the built-ins)
    TEMPLATE_BAD = 3,         // the template does not parse (error gives line and column)
};

// A built-in by name, else a template file. `readPath` receives the file read (empty for a
// built-in), so that callers can list it among their inputs. A name without a slash or dot that
// is no file is taken for a misspelt built-in.
int loadSheetTemplate(const std::string& nameOrFile, SheetTemplate& out, TemplateError& error,
                      std::string* readPath = nullptr);

// The model for a position list on one page of imageWidth x imageHeight named `file`, items in
// `order` (indices into the list; all, in list order, when empty). Names and the file name are
// converted from Windows-1252 to UTF-8 when `cp1252` is set; `file` is taken as it is.
TemplateSheet templateSheetFromPositions(const PositionList& list, const std::vector<int>& order,
                                         int imageWidth, int imageHeight, const std::string& file,
                                         bool cp1252 = true);

// The three preview items of the Position Format dialog on a 256 x 256 page "sheet.png".
TemplateSheet templatePreviewSheet(int sortMode);
// A built-in rendered on those items; empty for an unknown name.
std::string builtinTemplatePreview(const std::string& name, int sortMode);
