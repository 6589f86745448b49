// Whole-file templates: parse errors with their place, escapes byte for byte, and every built-in's
// output read back by the engine-side parser it is meant for (Python's json, plistlib and
// xml.etree; node's spine-core and parse-bmfont-xml), with names that need escaping.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/run_command.h"
#include "tools/codegen/sheet_template.h"

namespace {

std::string render(const std::string& text, const TemplateSheet& sheet) {
    SheetTemplate t;
    TemplateError e;
    EXPECT_TRUE(parseSheetTemplate(text, t, e)) << e.text();
    return renderSheetTemplate(t, sheet);
}

std::string parseError(const std::string& text) {
    SheetTemplate t;
    TemplateError e;
    EXPECT_FALSE(parseSheetTemplate(text, t, e)) << text;
    return e.text();
}

// The names every consumer must give back unchanged.
const std::vector<std::string> kNames = {"say \"hi\"", "back\\slash", "<a&b>'", "Größe ö", "plain"};

// Two pages: the first three names on page 0, the rest on page 1, one rotated and one trimmed.
TemplateSheet trickySheet(int pages) {
    TemplateSheet s;
    s.pages.push_back({0, "sheet \"0\" & <ö>.png", 128, 64});
    if (pages > 1) s.pages.push_back({1, "sheet1.png", 32, 32});
    for (size_t k = 0; k < kNames.size(); ++k) {
        TemplateItem it;
        it.name = kNames[k];
        it.x = int(k) * 10;
        it.y = 2;
        it.w = 8;
        it.h = 6;
        it.page = pages > 1 && k >= 3 ? 1 : 0;
        it.codePoint = 65 + int(k);
        it.xadvance = 9;
        s.items.push_back(it);
    }
    s.items[1].rotated = true;  // 6 wide and 8 high as shown
    s.items[2].sourceW = 12;    // trimmed: 2 left, 1 top
    s.items[2].sourceH = 9;
    s.items[2].trimX = 2;
    s.items[2].trimY = 1;
    s.font.face = "Fa\"ce <&>";
    s.font.size = 32;
    s.font.lineHeight = 36;
    s.font.base = 28;
    s.kernings.push_back({65, 66, -2});
    return s;
}

std::string tempPath(const std::string& name) {
    return std::string(::testing::TempDir()) + "tarquil_tmpl_" + name;
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool have(const std::string& cmd) { return std::system((cmd + " >/dev/null 2>&1").c_str()) == 0; }

// Reads the rendered file with a Python snippet that prints one line per value it found.
std::string viaPython(const std::string& file, const std::string& script) {
    const std::string py = tempPath("read.py");
    writeFile(py, script);
    std::string out;
    EXPECT_TRUE(runCapture("python3 '" + py + "' '" + file + "' 2>&1", out)) << out;
    return out;
}

std::string viaNode(const std::string& file, const std::string& script) {
    const std::string js = tempPath("read.mjs");
    writeFile(js, script);
    std::string out;
    EXPECT_TRUE(runCapture(
        "cd '" TARQUIL_NODE_MODULES "/..' && node '" + js + "' '" + file + "' 2>&1", out))
        << out;
    return out;
}

std::string namesLines(const std::vector<std::string>& names) {
    std::string s;
    for (const std::string& n : names) s += n + "\n";
    return s;
}

std::string builtin(const char* name, const TemplateSheet& sheet) {
    SheetTemplate t;
    TemplateError e;
    EXPECT_EQ(loadSheetTemplate(name, t, e), TEMPLATE_OK) << e.text();
    return renderSheetTemplate(t, sheet);
}

}  // namespace

TEST(SheetTemplate, BlocksSeparatorsPagesAndNewlines) {
    TemplateSheet s = trickySheet(2);
    const char* tmpl = "# comment\n"
                       "@header\n"
                       "'[%d/%d]\\n', count, pages\n"
                       "@page\n"
                       "\"P%d %s %dx%d:\" ,page, file, sheetw, sheeth\n"
                       "@item\n"
                       "'%d=%d,%d' ,index\n"
                       " ,x1, rw\n"
                       "@separator\n"
                       "';'\n"
                       "@page-footer\n"
                       "'.'\n"
                       "@page-separator\n"
                       "'|'\n"
                       "@kerning\n"
                       "'k%d,%d,%d', first, second, amount\n"
                       "@footer\n"
                       "'\\n'\n";
    EXPECT_EQ(render(tmpl, s),
              "[5/2]\nP0 sheet \"0\" & <ö>.png 128x64:0=0,8;1=10,6;2=20,8.|P1 sheet1.png "
              "32x32:3=30,8;4=40,8.k65,66,-2\n");
    EXPECT_EQ(render(std::string("@newline crlf\n") + tmpl, s).substr(0, 7), "[5/2]\r\n");
    // Items outside a page loop run over the whole sheet; a lone page block lists the pages.
    EXPECT_EQ(render("@page\n'%s;' ,file\n@item\n'%d' ,page\n@separator\n','\n", s),
              "sheet \"0\" & <ö>.png;sheet1.png;0,0,0,1,1");
}

TEST(SheetTemplate, TrimRotationValues) {
    TemplateSheet s = trickySheet(1);
    const std::string out = render("@item\n'%d %d %d %d %d %d %d %d %s %s %g %g|' ,rw,rh,srcw,srch,"
                                   "trimx,trimy,trimr,trimb,rotated,trimmed,offx,offy\n",
                                   s);
    EXPECT_EQ(out, "8 6 8 6 0 0 0 0 false false 0 0|"
                   "6 8 6 8 0 0 0 0 true false 0 0|"
                   "8 6 12 9 2 1 2 2 false true 0 0.5|"
                   "8 6 8 6 0 0 0 0 false false 0 0|"
                   "8 6 8 6 0 0 0 0 false false 0 0|");
}

TEST(SheetTemplate, EscapesAndUtf8) {
    TemplateSheet s;
    s.pages.push_back({0, "a.png", 4, 4});
    TemplateItem it;
    it.name = std::string("q\"b\\<&>'\t\n\x01\xC3\xB6\xFF?\?=");
    s.items.push_back(it);
    EXPECT_EQ(render("@item\n'%s' ,name:json\n", s),
              "q\\\"b\\\\<&>'\\t\\n\\u0001\xC3\xB6\xEF\xBF\xBD?\?=");
    EXPECT_EQ(render("@item\n'%s' ,name:xml\n", s),
              "q&quot;b\\&lt;&amp;&gt;&apos;&#9;&#10;\xEF\xBF\xBD\xC3\xB6\xEF\xBF\xBD?\?=");
    EXPECT_EQ(render("@item\n'%s' ,name:c\n", s),
              "q\\\"b\\\\<&>'\\t\\n\\001\xC3\xB6\xEF\xBF\xBD?\\?=");
    EXPECT_EQ(render("@item\n'%s' ,name:css\n", s),
              "q\\\"b\\\\\\<\\&\\>\\'\\9 \\a \\1 \xC3\xB6\xEF\xBF\xBD\\?\\?\\=");
    EXPECT_EQ(render("@item\n'%s' ,name:cssstr\n", s),
              "q\\\"b\\\\<&>\\'\\9 \\a \\1 \xC3\xB6\xEF\xBF\xBD?\?=");
    s.items[0].name = "1-a b";
    EXPECT_EQ(render("@item\n'%s' ,NAME:CSS\n", s), "\\31 -a\\ b");
    // Widths and reals as printf has them; the page size divides s..v.
    s.items[0] = TemplateItem{};
    s.items[0].x = 1;
    s.items[0].w = 3;
    EXPECT_EQ(render("@item\n'[%-4d|%04x|%f|%s|%.2f]' ,x1,w,s,u,v\n", s),
              "[1   |0003|0.250000|1.000000|0.00]");
    // Position list names are Windows-1252; templates write UTF-8.
    PositionList list;
    list.append(TxRect{0, 0, 2, 2}, "\xF6\x80");
    const TemplateSheet fromList = templateSheetFromPositions(list, {}, 8, 8, "x.png");
    EXPECT_EQ(render("@item\n'%s' ,name\n", fromList), "\xC3\xB6\xE2\x82\xAC");
}

TEST(SheetTemplate, ParseErrorsSayWhere) {
    EXPECT_EQ(parseError("'x'\n"), "1:1: text outside a block: start one with @header, @item, "
                                   "@footer, ...");
    EXPECT_EQ(parseError("@item\n  '%d %d', x1\n"), "2:3: 2 conversions but 1 argument");
    EXPECT_EQ(parseError("@item\n'%d', width\n"), "2:7: unknown argument 'width'");
    EXPECT_EQ(parseError("@header\n'%d', x1\n"),
              "2:7: 'x1' has no value in a @header block (it belongs to @item)");
    EXPECT_EQ(parseError("@item\n'ab %s', x1\n"),
              "2:5: '%s' does not fit 'x1', a number (%d, %x, ...)");
    EXPECT_EQ(parseError("@item\n'%q', x1\n"),
              "2:2: '%q' is no conversion (use %d, %s, %f, ... or %% for a percent sign)");
    EXPECT_EQ(parseError("@item\n'%2000d', x1\n"), "2:2: '%2000d': width or precision above 1023");
    EXPECT_EQ(parseError("@item\n'%s', name:html\n"),
              "2:7: unknown escape ':html' (json, xml, c, css or cssstr)");
    EXPECT_EQ(parseError("@item\n'%d', x1:json\n"), "2:7: ':json' escapes texts; 'x1' is not one");
    EXPECT_EQ(parseError("@item\n'ö \\q'\n"),
              "2:4: unknown escape '\\q' (use \\n, \\t, \\r, \\\", \\' or \\\\)");
    EXPECT_EQ(parseError("@item\n\"open\n"), "2:1: the text in double quotes is not closed on its "
                                             "line");
    EXPECT_EQ(parseError("@separator\n','\n"), "1:1: @separator must follow an @item block");
    EXPECT_EQ(parseError("@page-footer\n"), "1:1: @page-footer without a @page block before it");
    EXPECT_EQ(parseError("@items\n").substr(0, 30), "1:1: unknown block '@items' (b");
    EXPECT_EQ(parseError("@newline cr\n"), "1:1: @newline takes lf or crlf");
    EXPECT_EQ(parseError("# nothing\n"), "1:1: the template has no blocks");
    // Every built-in parses.
    for (const BuiltinTemplate& b : builtinTemplates()) {
        SheetTemplate t;
        TemplateError e;
        EXPECT_TRUE(parseSheetTemplate(b.text, t, e)) << b.name << ": " << e.text();
    }
}

TEST(SheetTemplate, LoadByNameOrFile) {
    SheetTemplate t;
    TemplateError e;
    std::string read = "stale";
    EXPECT_EQ(loadSheetTemplate("json-hash", t, e, &read), TEMPLATE_OK);
    EXPECT_EQ(read, "");
    EXPECT_EQ(loadSheetTemplate("jsonhash", t, e, &read), TEMPLATE_UNKNOWN);
    EXPECT_EQ(e.text(), "no built-in template named 'jsonhash' (built-ins: json-hash, json-array, "
                        "phaser3, libgdx, cocos2d, starling, css, bmfont-xml)");
    EXPECT_EQ(loadSheetTemplate(tempPath("missing.tmpl"), t, e, &read), TEMPLATE_UNREADABLE);
    EXPECT_EQ(e.text(), "cannot read template file " + tempPath("missing.tmpl") +
                            ": No such file or directory");
    const std::string bad = tempPath("bad.tmpl");
    writeFile(bad, "@item\n\n  '%d'\n");
    EXPECT_EQ(loadSheetTemplate(bad, t, e, &read), TEMPLATE_BAD);
    EXPECT_EQ(e.text(), "3:3: 1 conversion but 0 arguments");
    EXPECT_EQ(read, bad);
    const std::string good = tempPath("good.tmpl");
    writeFile(good, "\xEF\xBB\xBF@item\r\n'%s' ,name\r\n");
    EXPECT_EQ(loadSheetTemplate(good, t, e, &read), TEMPLATE_OK);
    EXPECT_EQ(read, good);
    EXPECT_EQ(renderSheetTemplate(t, trickySheet(1)), "say \"hi\"back\\slash<a&b>'Größe öplain");
}

TEST(SheetTemplateInterop, PythonReadsJsonPlistAndXml) {
    if (!have("python3 -c 'import json, plistlib, xml.etree.ElementTree'"))
        GTEST_SKIP() << "python3 with json, plistlib and xml.etree is not installed";
    const TemplateSheet one = trickySheet(1), two = trickySheet(2);
    const std::string names = namesLines(kNames);
    const std::string head = "import sys, json, plistlib, xml.etree.ElementTree as ET\n"
                             "sys.stdout.reconfigure(encoding='utf-8')\n"
                             "f = sys.argv[1]\n";

    std::string file = tempPath("hash.json");
    writeFile(file, builtin("json-hash", one));
    EXPECT_EQ(viaPython(file, head + "d = json.load(open(f, encoding='utf-8'))\n"
                                     "for k, v in d['frames'].items(): print(k)\n"
                                     "v = d['frames']['back\\\\slash']\n"
                                     "print(v['frame'], v['rotated'], v['sourceSize'])\n"
                                     "v = d['frames']['<a&b>\\'']\n"
                                     "print(v['trimmed'], v['spriteSourceSize'])\n"
                                     "print(d['meta']['image'], d['meta']['size'], "
                                     "d['meta']['scale'])\n"),
              names + "{'x': 10, 'y': 2, 'w': 6, 'h': 8} True {'w': 6, 'h': 8}\n"
                      "True {'x': 2, 'y': 1, 'w': 8, 'h': 6}\n"
                      "sheet \"0\" & <ö>.png {'w': 128, 'h': 64} 1\n");

    file = tempPath("array.json");
    writeFile(file, builtin("json-array", one));
    EXPECT_EQ(viaPython(file, head + "d = json.load(open(f, encoding='utf-8'))\n"
                                     "for v in d['frames']: print(v['filename'])\n"
                                     "print(d['frames'][2]['frame'], d['meta']['format'])\n"),
              names + "{'x': 20, 'y': 2, 'w': 8, 'h': 6} RGBA8888\n");

    file = tempPath("phaser3.json");
    writeFile(file, builtin("phaser3", two));
    EXPECT_EQ(viaPython(file, head + "d = json.load(open(f, encoding='utf-8'))\n"
                                     "for t in d['textures']:\n"
                                     "  print(t['image'], t['size'], len(t['frames']))\n"
                                     "  for v in t['frames']: print(v['filename'])\n"),
              "sheet \"0\" & <ö>.png {'w': 128, 'h': 64} 3\n" +
                  namesLines({kNames[0], kNames[1], kNames[2]}) +
                  "sheet1.png {'w': 32, 'h': 32} 2\n" + namesLines({kNames[3], kNames[4]}));

    file = tempPath("cocos.plist");
    writeFile(file, builtin("cocos2d", one));
    EXPECT_EQ(viaPython(file, head + "d = plistlib.load(open(f, 'rb'))\n"
                                     "for k in d['frames']: print(k)\n"
                                     "v = d['frames']['<a&b>\\'']\n"
                                     "print(v['textureRect'], v['spriteOffset'], "
                                     "v['spriteSourceSize'], v['textureRotated'])\n"
                                     "m = d['metadata']\n"
                                     "print(m['format'], m['textureFileName'], m['size'])\n"),
              names + "{{20,2},{8,6}} {0,0.5} {12,9} False\n"
                      "3 sheet \"0\" & <ö>.png {128,64}\n");

    file = tempPath("starling.xml");
    writeFile(file, builtin("starling", one));
    EXPECT_EQ(viaPython(file, head + "r = ET.parse(f).getroot()\n"
                                     "print(r.tag, r.get('imagePath'))\n"
                                     "for s in r: print(s.get('name'))\n"
                                     "s = r[2]\n"
                                     "print(s.get('frameX'), s.get('frameWidth'), s.get('width'))\n"
                                     "print(r[1].get('rotated'))\n"),
              "TextureAtlas sheet \"0\" & <ö>.png\n" + names + "-2 12 8\ntrue\n");

    file = tempPath("font.fnt");
    writeFile(file, builtin("bmfont-xml", two));
    EXPECT_EQ(viaPython(file, head + "r = ET.parse(f).getroot()\n"
                                     "print(r.find('info').get('face'), "
                                     "r.find('common').get('pages'))\n"
                                     "for p in r.find('pages'): print(p.get('id'), p.get('file'))\n"
                                     "print(len(r.find('chars')), r.find('chars').get('count'))\n"),
              "Fa\"ce <&> 2\n0 sheet \"0\" & <ö>.png\n1 sheet1.png\n5 5\n");
}

TEST(SheetTemplateInterop, NodeReadsLibgdxAtlasCssAndBmfontXml) {
    if (!have("node --version")) GTEST_SKIP() << "node is not installed";
    const std::string spine = TARQUIL_NODE_MODULES "/@esotericsoftware/spine-core/dist/index.js";
    const std::string bmfont = TARQUIL_NODE_MODULES "/parse-bmfont-xml";
    const std::string cssTree = TARQUIL_NODE_MODULES "/css-tree";
    if (!std::filesystem::exists(spine) || !std::filesystem::exists(bmfont) ||
        !std::filesystem::exists(cssTree))
        GTEST_SKIP() << "the npm consumers are not installed in " TARQUIL_NODE_MODULES
                        " (scripts/setup installs them)";
    const TemplateSheet two = trickySheet(2);

    std::string file = tempPath("sheet.atlas");
    writeFile(file, builtin("libgdx", two));
    EXPECT_EQ(viaNode(file, "import { readFileSync } from 'fs';\n"
                            "const { TextureAtlas } = await import('" +
                                spine +
                                "');\n"
                                "const a = new TextureAtlas(readFileSync(process.argv[2], "
                                "'utf8'));\n"
                                "for (const p of a.pages) console.log(p.name, p.width, p.height);\n"
                                "for (const r of a.regions) console.log(r.page.name + '|' + "
                                "r.name + '|' + [r.x, r.y, r.width, r.height, r.degrees, "
                                "r.originalWidth, r.originalHeight, r.offsetX, r.offsetY]);\n"),
              "sheet \"0\" & <ö>.png 128 64\nsheet1.png 32 32\n"
              "sheet \"0\" & <ö>.png|say \"hi\"|0,2,8,6,0,8,6,0,0\n"
              "sheet \"0\" & <ö>.png|back\\slash|10,2,6,8,90,6,8,0,0\n"
              "sheet \"0\" & <ö>.png|<a&b>'|20,2,8,6,0,12,9,2,2\n"
              "sheet1.png|Größe ö|30,2,8,6,0,8,6,0,0\n"
              "sheet1.png|plain|40,2,8,6,0,8,6,0,0\n");

    {
        file = tempPath("sheet.css");
        writeFile(file, builtin("css", trickySheet(1)));
        EXPECT_EQ(
            viaNode(file,
                    "import { readFileSync } from 'fs';\n"
                    "import { createRequire } from 'module';\n"
                    "const css = createRequire(import.meta.url)('" +
                        cssTree +
                        "');\n"
                        "const ast = css.parse(readFileSync(process.argv[2], 'utf8'));\n"
                        "css.walk(ast, { visit: 'Rule', enter(rule) {\n"
                        "  const out = [];\n"
                        "  css.walk(rule, { enter(n) {\n"
                        "    if (n.type === 'ClassSelector') out.push(css.ident.decode(n.name));\n"
                        "    if (n.type === 'Url') out.push(n.value);\n"
                        "    if (n.type === 'Dimension') out.push(n.value + n.unit);\n"
                        "  } });\n"
                        "  console.log(out.join('|'));\n"
                        "} });\n"),
            "say \"hi\"|sheet \"0\" & <ö>.png|-0px|-2px|8px|6px\n"
            "back\\slash|sheet \"0\" & <ö>.png|-10px|-2px|8px|6px\n"
            "<a&b>'|sheet \"0\" & <ö>.png|-20px|-2px|8px|6px\n"
            "Größe ö|sheet \"0\" & <ö>.png|-30px|-2px|8px|6px\n"
            "plain|sheet \"0\" & <ö>.png|-40px|-2px|8px|6px\n");
    }

    // parse-bmfont-xml reads only the first <page> of <pages>; fonts here have one page.
    TemplateSheet font = trickySheet(1);
    font.items.resize(2);
    file = tempPath("font.xml");
    writeFile(file, builtin("bmfont-xml", font));
    EXPECT_EQ(viaNode(file, "import { readFileSync } from 'fs';\n"
                            "import { createRequire } from 'module';\n"
                            "const parse = createRequire(import.meta.url)('" +
                                bmfont +
                                "');\n"
                                "const f = parse(readFileSync(process.argv[2], 'utf8'));\n"
                                "console.log(f.info.face, f.info.size, f.common.lineHeight, "
                                "f.common.base, f.common.scaleW, f.pages.join('|'));\n"
                                "for (const c of f.chars) console.log([c.id, c.x, c.width, "
                                "c.xadvance, c.page].join());\n"
                                "for (const k of f.kernings) console.log([k.first, k.second, "
                                "k.amount].join());\n"),
              "Fa\"ce <&> 32 36 28 128 sheet \"0\" & <ö>.png\n65,0,8,9,0\n66,10,8,9,0\n65,66,-2\n");
}
