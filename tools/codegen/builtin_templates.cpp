// The built-in templates, written in the template language itself so that each one doubles as an
// example of it.
#include "tools/codegen/sheet_template.h"

#include <string>

namespace {

// The lines both of TexturePacker's JSON layouts write for a frame (from "frame" on, to the
// footer's start) and for the meta block.
const char* const kTpJsonFrame = R"('\t\t"frame": {"x":%d,"y":%d,"w":%d,"h":%d},\n', x1, y1, rw, rh
'\t\t"rotated": %s,\n', rotated
'\t\t"trimmed": %s,\n', trimmed
'\t\t"spriteSourceSize": {"x":%d,"y":%d,"w":%d,"h":%d},\n', trimx, trimy, rw, rh
'\t\t"sourceSize": {"w":%d,"h":%d}\n', srcw, srch
'\t}'
@separator
',\n'
@footer
)";
const char* const kTpJsonMeta = R"('"meta": {\n'
'\t"app": "%s",\n', app:json
'\t"version": "1.0",\n'
'\t"image": "%s",\n', file:json
'\t"format": "%s",\n', format:json
'\t"size": {"w":%d,"h":%d},\n', sheetw, sheeth
'\t"scale": "%g"\n', scale
'}\n'
'}\n'
)";

const std::string& jsonHash() {
    static const std::string text =
        std::string(R"(# TexturePacker's JSON (hash): PixiJS, Phaser, and most engines that read it.
@header
'{"frames": {\n'
@item
'\t"%s": {\n', name:json
)") + kTpJsonFrame +
        R"('\n},\n'
)" + kTpJsonMeta;
    return text;
}

const std::string& jsonArray() {
    static const std::string text =
        std::string(
            R"(# TexturePacker's JSON (array): PixiJS, Phaser, and most engines that read it.
@header
'{"frames": [\n'
@item
'\t{\n'
'\t\t"filename": "%s",\n', name:json
)") + kTpJsonFrame +
        R"('\n],\n'
)" + kTpJsonMeta;
    return text;
}

const char* const kPhaser3 = R"(# Phaser 3 multi-atlas JSON: one texture per page.
@header
'{"textures": [\n'
@page
'\t{\n'
'\t\t"image": "%s",\n', file:json
'\t\t"format": "%s",\n', format:json
'\t\t"size": {"w":%d,"h":%d},\n', sheetw, sheeth
'\t\t"scale": %g,\n', scale
'\t\t"frames": [\n'
@item
'\t\t\t{\n'
'\t\t\t\t"filename": "%s",\n', name:json
'\t\t\t\t"rotated": %s,\n', rotated
'\t\t\t\t"trimmed": %s,\n', trimmed
'\t\t\t\t"sourceSize": {"w":%d,"h":%d},\n', srcw, srch
'\t\t\t\t"spriteSourceSize": {"x":%d,"y":%d,"w":%d,"h":%d},\n', trimx, trimy, rw, rh
'\t\t\t\t"frame": {"x":%d,"y":%d,"w":%d,"h":%d}\n', x1, y1, rw, rh
'\t\t\t}'
@separator
',\n'
@page-footer
'\n\t\t]\n'
'\t}'
@page-separator
',\n'
@footer
'\n],\n'
'"meta": {\n'
'\t"app": "%s",\n', app:json
'\t"version": "3.0"\n'
'}\n'
'}\n'
)";

const char* const kLibgdx = R"(# libGDX / Spine texture atlas (.atlas): one page block per page.
# The format has no escapes: a name must not hold a colon or a line break.
@page
'\n%s\n', file
'size: %d, %d\n', sheetw, sheeth
'format: %s\n', format
'filter: Linear,Linear\n'
'repeat: none\n'
@item
'%s\n', name
'  rotate: %s\n', rotated
'  xy: %d, %d\n', x1, y1
'  size: %d, %d\n', rw, rh
'  orig: %d, %d\n', srcw, srch
'  offset: %d, %d\n', trimx, trimb
'  index: -1\n'
@page-footer
)";

const char* const kCocos2d = R"(# cocos2d-x sprite frames (plist, format 3).
@header
'<?xml version="1.0" encoding="UTF-8"?>\n'
'<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">\n'
'<plist version="1.0">\n'
'\t<dict>\n'
'\t\t<key>frames</key>\n'
'\t\t<dict>\n'
@item
'\t\t\t<key>%s</key>\n', name:xml
'\t\t\t<dict>\n'
'\t\t\t\t<key>aliases</key>\n'
'\t\t\t\t<array/>\n'
'\t\t\t\t<key>spriteOffset</key>\n'
'\t\t\t\t<string>{%g,%g}</string>\n', offx, offy
'\t\t\t\t<key>spriteSize</key>\n'
'\t\t\t\t<string>{%d,%d}</string>\n', rw, rh
'\t\t\t\t<key>spriteSourceSize</key>\n'
'\t\t\t\t<string>{%d,%d}</string>\n', srcw, srch
'\t\t\t\t<key>textureRect</key>\n'
'\t\t\t\t<string>{{%d,%d},{%d,%d}}</string>\n', x1, y1, rw, rh
'\t\t\t\t<key>textureRotated</key>\n'
'\t\t\t\t<%s/>\n', rotated
'\t\t\t</dict>\n'
@footer
'\t\t</dict>\n'
'\t\t<key>metadata</key>\n'
'\t\t<dict>\n'
'\t\t\t<key>format</key>\n'
'\t\t\t<integer>3</integer>\n'
'\t\t\t<key>pixelFormat</key>\n'
'\t\t\t<string>%s</string>\n', format:xml
'\t\t\t<key>premultiplyAlpha</key>\n'
'\t\t\t<false/>\n'
'\t\t\t<key>realTextureFileName</key>\n'
'\t\t\t<string>%s</string>\n', file:xml
'\t\t\t<key>size</key>\n'
'\t\t\t<string>{%d,%d}</string>\n', sheetw, sheeth
'\t\t\t<key>textureFileName</key>\n'
'\t\t\t<string>%s</string>\n', file:xml
'\t\t</dict>\n'
'\t</dict>\n'
'</plist>\n'
)";

const char* const kStarling = R"(# Starling and Sparrow texture atlas XML.
@header
'<?xml version="1.0" encoding="UTF-8"?>\n'
'<TextureAtlas imagePath="%s">\n', file:xml
@item
'\t<SubTexture name="%s" x="%d" y="%d" width="%d" height="%d"', name:xml, x1, y1, w, h
' frameX="-%d" frameY="-%d" frameWidth="%d" frameHeight="%d"', trimx, trimy, srcw, srch
' rotated="%s"/>\n', rotated
@footer
'</TextureAtlas>\n'
)";

const char* const kCss = R"(# CSS sprites: one class per sprite.
@header
'/* %s: sprites of %s */\n', app, file
@item
'.%s {\n', name:css
'\tbackground: url("%s") no-repeat -%dpx -%dpx;\n', file:cssstr, x1, y1
'\twidth: %dpx;\n', w
'\theight: %dpx;\n', h
'}\n'
)";

const char* const kBmfontXml = R"(# AngelCode BMFont, XML flavour: font textures.
@header
'<?xml version="1.0" encoding="UTF-8"?>\n'
'<font>\n'
'  <info face="%s" size="%d" bold="%d" italic="%d"', face:xml, size, bold, italic
' charset="" unicode="1" stretchH="100" smooth="1" aa="1"'
' padding="%d,%d,%d,%d" spacing="%d,%d" outline="0"/>\n', padt, padr, padb, padl, spacex, spacey
'  <common lineHeight="%d" base="%d" scaleW="%d" scaleH="%d" pages="%d"', lineh, base, sheetw, sheeth, pages
' packed="0" alphaChnl="0" redChnl="0" greenChnl="0" blueChnl="0"/>\n'
'  <pages>\n'
@page
'    <page id="%d" file="%s"/>\n', page, file:xml
@text
'  </pages>\n'
'  <chars count="%d">\n', count
@item
'    <char id="%d" x="%d" y="%d" width="%d" height="%d"', char, x1, y1, w, h
' xoffset="%d" yoffset="%d" xadvance="%d" page="%d" chnl="15"/>\n', xoffset, yoffset, xadvance, page
@text
'  </chars>\n'
'  <kernings count="%d">\n', kcount
@kerning
'    <kerning first="%d" second="%d" amount="%d"/>\n', first, second, amount
@footer
'  </kernings>\n'
'</font>\n'
)";

}  // namespace

const std::vector<BuiltinTemplate>& builtinTemplates() {
    static const std::vector<BuiltinTemplate> kBuiltins = {
        {"json-hash", "PixiJS, Phaser 2 and 3, Godot importers (TexturePacker JSON hash)", ".json",
         jsonHash().c_str()},
        {"json-array", "PixiJS, Phaser 2 and 3 (TexturePacker JSON array)", ".json",
         jsonArray().c_str()},
        {"phaser3", "Phaser 3 multi-atlas", ".json", kPhaser3},
        {"libgdx", "libGDX TextureAtlas, Spine runtimes", ".atlas", kLibgdx},
        {"cocos2d", "cocos2d-x, Cocos Creator (plist format 3)", ".plist", kCocos2d},
        {"starling", "Starling, Sparrow (TextureAtlas XML)", ".xml", kStarling},
        {"css", "web pages (CSS sprite classes)", ".css", kCss},
        {"bmfont-xml", "BMFont readers: libGDX, PixiJS, Phaser, Unity importers", ".fnt",
         kBmfontXml},
    };
    return kBuiltins;
}
