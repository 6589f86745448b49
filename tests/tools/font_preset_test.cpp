#include <gtest/gtest.h>

#include "model/settings.h"
#include "tools/fontwizard/char_select.h"
#include "tools/fontwizard/font_preset.h"

namespace {

int countWhere(bool (*test)(int)) {
    int n = 0;
    for (int c = 0; c < 256; ++c) n += test(c) ? 1 : 0;
    return n;
}

}  // namespace

TEST(FontChars, ClassesOfTheCLocale) {
    EXPECT_EQ(countWhere(fontIsUpper), 26);
    EXPECT_EQ(countWhere(fontIsLower), 26);
    EXPECT_EQ(countWhere(fontIsDigit), 10);
    EXPECT_EQ(countWhere(fontIsXDigit), 22);
    EXPECT_EQ(countWhere(fontIsSpace), 6);
    EXPECT_EQ(countWhere(fontIsPunct), 32);
    EXPECT_EQ(countWhere(fontIsPrint), 95);
    EXPECT_EQ(countWhere(fontIsGraph), 94);
    EXPECT_EQ(countWhere(fontIsCntrl), 33);
    EXPECT_TRUE(fontIsCntrl(127));
    EXPECT_FALSE(fontIsPrint(127));
    EXPECT_TRUE(fontIsSpace('\v'));
    EXPECT_TRUE(fontIsPunct('~'));
    EXPECT_FALSE(fontIsPunct(' '));
    // Codes above 127 are in no class, letters of the code page included.
    for (int c = 128; c < 256; ++c) {
        EXPECT_FALSE(fontIsAlpha(c) || fontIsPrint(c) || fontIsCntrl(c) || fontIsSpace(c)) << c;
        EXPECT_FALSE(fontCharPasses(c, 0x3FFF & ~FONT_FILTER_ONEOF, "")) << c;
    }
}

TEST(FontChars, SelectionCountsForFilterCombinations) {
    const std::string umlauts = "\xF6\xE4\xFC\xD6\xC4\xDC";
    // The built-in preset: graphic characters 33..126 and the six user characters.
    const auto standard =
        fontSelectCharacters(true, FONT_FILTER_GRAPH | FONT_FILTER_ONEOF, umlauts);
    ASSERT_EQ(standard.size(), 100u);
    EXPECT_EQ(standard.front(), 33);
    EXPECT_EQ(standard[93], 126);
    EXPECT_EQ(std::vector<int>(standard.begin() + 94, standard.end()),
              (std::vector<int>{0xC4, 0xD6, 0xDC, 0xE4, 0xF6, 0xFC}));
    // 7-bit leaves the user characters above 127 out.
    EXPECT_EQ(fontSelectCharacters(false, FONT_FILTER_GRAPH | FONT_FILTER_ONEOF, umlauts).size(),
              94u);
    EXPECT_EQ(fontSelectCharacters(false, FONT_FILTER_ALL, "").size(), 128u);
    EXPECT_EQ(fontSelectCharacters(true, FONT_FILTER_ALL, "").size(), 256u);
    EXPECT_EQ(fontSelectCharacters(true, FONT_FILTER_ASCII, "").size(), 128u);
    // Overlapping classes count each character once.
    EXPECT_EQ(
        fontSelectCharacters(true, FONT_FILTER_ALNUM | FONT_FILTER_DIGIT | FONT_FILTER_UPPER, "")
            .size(),
        62u);
    EXPECT_EQ(fontSelectCharacters(true, FONT_FILTER_UPPER | FONT_FILTER_XDIGIT, "").size(),
              26u + 16u);
    EXPECT_EQ(fontSelectCharacters(true, FONT_FILTER_SPACE | FONT_FILTER_CNTRL, "").size(), 34u);
    EXPECT_EQ(fontSelectCharacters(true, FONT_FILTER_PRINT | FONT_FILTER_CNTRL, "").size(), 128u);
    EXPECT_EQ(fontSelectCharacters(true, FONT_FILTER_LETTER, "").size(), 52u);
    EXPECT_EQ(fontSelectCharacters(true, FONT_FILTER_ALPHA | FONT_FILTER_PUNCT, "").size(), 84u);
    EXPECT_TRUE(fontSelectCharacters(true, 0, umlauts).empty());
    // "one of:" alone takes exactly the user characters, never code 0, duplicates once.
    const auto user = fontSelectCharacters(true, FONT_FILTER_ONEOF, std::string("aa\x80z", 4));
    EXPECT_EQ(user, (std::vector<int>{'a', 'z', 0x80}));
    EXPECT_FALSE(fontCharPasses(0, FONT_FILTER_ONEOF, "abc"));
    EXPECT_TRUE(fontCharPasses(0, FONT_FILTER_ALL, ""));
}

TEST(FontChars, ListAndCountTexts) {
    EXPECT_EQ(fontCharacterListText({9, 32, 'A', '~', 127, 0xF6}), "09 20 A ~ 7f f6 ");
    EXPECT_EQ(fontCharacterCountText(100), "Number of characters: 100");
    EXPECT_EQ(fontCharacterCountText(7), "Number of characters: 007");
}

TEST(FontChars, CodePage1252) {
    EXPECT_EQ(fontCp1252ToUnicode('A'), 0x41u);
    EXPECT_EQ(fontCp1252ToUnicode(0x80), 0x20ACu);
    EXPECT_EQ(fontCp1252ToUnicode(0x8A), 0x0160u);
    EXPECT_EQ(fontCp1252ToUnicode(0x9F), 0x0178u);
    EXPECT_EQ(fontCp1252ToUnicode(0x81), 0x81u);
    EXPECT_EQ(fontCp1252ToUnicode(0xA0), 0xA0u);
    EXPECT_EQ(fontCp1252ToUnicode(0xFC), 0xFCu);
    EXPECT_EQ(fontUnicodeToCp1252(0x2122), 0x99);
    EXPECT_FALSE(fontUnicodeToCp1252(0x2192).has_value());
    EXPECT_FALSE(fontUnicodeToCp1252(0x100).has_value());
    // Every code survives the trip through UTF-8.
    std::string all;
    for (int c = 1; c < 256; ++c) all += char(c);
    std::string back;
    ASSERT_TRUE(fontUtf8ToCp1252(fontCp1252ToUtf8(all), back));
    EXPECT_EQ(back, all);

    std::string out;
    EXPECT_TRUE(fontUtf8ToCp1252("\xC3\xA4\xC3\xB6\xE2\x82\xAC", out));  // ä ö €
    EXPECT_EQ(out, "\xE4\xF6\x80");
    uint32_t bad = 0;
    out = "unchanged";
    EXPECT_FALSE(fontUtf8ToCp1252("a\xE2\x86\x92", out, &bad));  // a →
    EXPECT_EQ(bad, 0x2192u);
    EXPECT_EQ(out, "unchanged");
    EXPECT_TRUE(fontUtf8ToCp1252("a\xE2\x86\x92"
                                 "b",
                                 out, nullptr, true));
    EXPECT_EQ(out, "ab");
    // Not UTF-8: already 8-bit codes (overlong forms count as not UTF-8).
    EXPECT_TRUE(fontUtf8ToCp1252("\xF6\xE4", out));
    EXPECT_EQ(out, "\xF6\xE4");
    EXPECT_TRUE(fontUtf8ToCp1252("\xC0\xAF", out));
    EXPECT_EQ(out, "\xC0\xAF");
}

TEST(FontChars, FilterNames) {
    EXPECT_EQ(fontFilterFromName("isupper"), FONT_FILTER_UPPER);
    EXPECT_EQ(fontFilterFromName("graph"), FONT_FILTER_GRAPH);
    EXPECT_EQ(fontFilterFromName("isletter"), FONT_FILTER_LETTER);
    EXPECT_EQ(fontFilterFromName("oneof"), FONT_FILTER_ONEOF);
    EXPECT_EQ(fontFilterFromName("all"), FONT_FILTER_ALL);
    EXPECT_EQ(fontFilterFromName("0x2200"), 0x2200);
    EXPECT_EQ(fontFilterFromName("512"), 512);
    EXPECT_FALSE(fontFilterFromName("bogus").has_value());
    EXPECT_FALSE(fontFilterFromName("").has_value());
    EXPECT_FALSE(fontFilterFromName("0x10000").has_value());
    EXPECT_FALSE(fontFilterFromName("12a").has_value());
}

TEST(FontPresets, FirstRunGivesStandard) {
    MemorySettingsStore store;
    FontPresetList list;
    list.load(store);
    ASSERT_EQ(list.presets.size(), 1u);
    EXPECT_EQ(list.presets[0].name, "Standard");
    EXPECT_EQ(list.current, 0);
    const FontPreset& p = list.presets[0].preset;
    EXPECT_EQ(p, FontPreset::standard());
    EXPECT_EQ(p.description, "Arial 11, 256x256");
    EXPECT_EQ(p.fontName, "Arial");
    EXPECT_EQ(p.filter, 0x2200);
    EXPECT_EQ(p.char8, 1);
    EXPECT_EQ(p.pitch, 0);
    EXPECT_EQ(p.origin, 6);
    EXPECT_EQ(fontSelectCharacters(p.char8, p.filter, p.userChars).size(), 100u);
}

TEST(FontPresets, SaveAndLoadRoundTrip) {
    MemorySettingsStore store;
    FontPresetList list;
    list.load(store);
    list.addCopy();
    FontPreset& p = list.presets[1].preset;
    p.description = "big, bold";
    p.fontSize = 24;
    p.fontStyle = 3;
    p.fontName = "DejaVu Sans";
    p.userChars = "\x80\xE9";
    p.char8 = 0;
    p.filter = 0x0808;
    p.pitch = 1;
    p.textureWidth = 1;
    p.autoCell = 0;
    p.origin = 9;
    p.cellWidth = 20;
    p.cellHeight = 30;
    p.antialias = 2;
    p.capitals = 1;
    p.textColor = 0x00123456;
    p.backColor = 0x00654321;
    p.marginX = 3;
    p.marginY = 4;
    list.save(store);

    EXPECT_EQ(store.getInt("FontWizard", "nCnt", -1), 2);
    EXPECT_EQ(store.getInt("FontWizard", "nCur", -1), 1);
    EXPECT_EQ(store.getString("FontWizard\\Preset1", "Name", ""), "Copy of Standard");
    EXPECT_EQ(store.getInt("FontWizard\\Preset1", "Fontsize", 0), 24);
    EXPECT_EQ(store.getInt("FontWizard\\Preset1", "fColor", 0), 0x123456);
    EXPECT_EQ(store.getInt("FontWizard\\Preset1", "cell_cx", 0), 20);
    EXPECT_EQ(store.getInt("FontWizard\\Preset1", "bAcell", -1), 0);
    // Text goes into the settings as UTF-8: € é.
    EXPECT_EQ(store.getString("FontWizard\\Preset1", "userchars", ""), "\xE2\x82\xAC\xC3\xA9");
    EXPECT_EQ(store.getString("FontWizard\\Preset0", "userchars", ""),
              "\xC3\xB6\xC3\xA4\xC3\xBC\xC3\x96\xC3\x84\xC3\x9C");

    FontPresetList again;
    again.load(store);
    ASSERT_EQ(again.presets.size(), 2u);
    EXPECT_EQ(again.current, 1);
    EXPECT_EQ(again.presets[0].name, "Standard");
    EXPECT_EQ(again.presets[0].preset, FontPreset::standard());
    EXPECT_EQ(again.presets[1].name, "Copy of Standard");
    EXPECT_EQ(again.presets[1].preset, p);

    // Saving fewer presets drops the sections of the others.
    again.current = 0;
    ASSERT_TRUE(again.removeSelected());
    again.save(store);
    EXPECT_EQ(store.getInt("FontWizard", "nCnt", -1), 1);
    EXPECT_FALSE(store.contains("FontWizard\\Preset1", "Name"));
    EXPECT_FALSE(store.contains("FontWizard\\Preset1", "Fontsize"));
}

TEST(FontPresets, FallbacksWhenStoredPresetsAreIncomplete) {
    MemorySettingsStore store;
    store.setInt("FontWizard", "nCnt", 3);
    store.setInt("FontWizard", "nCur", 2);
    store.setString("FontWizard\\Preset0", "Name", "first");
    store.setString("FontWizard\\Preset2", "Name", "third");
    store.setInt("FontWizard\\Preset2", "Fontsize", 30);
    FontPresetList list;
    list.load(store);
    // The nameless index is skipped and a fresh Standard appended; the first is selected.
    ASSERT_EQ(list.presets.size(), 3u);
    EXPECT_EQ(list.presets[0].name, "first");
    EXPECT_EQ(list.presets[1].name, "third");
    EXPECT_EQ(list.presets[2].name, "Standard");
    EXPECT_EQ(list.current, 0);
    // Values missing from a stored preset take the settings defaults, not the built-in ones.
    const FontPreset& first = list.presets[0].preset;
    EXPECT_EQ(first.fontSize, 11);
    EXPECT_EQ(first.fontName, "");
    EXPECT_EQ(first.pitch, 1);
    EXPECT_EQ(first.filter, 0);
    EXPECT_EQ(first.char8, 0);
    EXPECT_EQ(first.textColor, 0xFFFFFFu);
    EXPECT_EQ(list.presets[1].preset.fontSize, 30);

    // A selected index outside the list becomes 0; all presets present keeps it otherwise.
    MemorySettingsStore two;
    two.setInt("FontWizard", "nCnt", 2);
    two.setInt("FontWizard", "nCur", 5);
    two.setString("FontWizard\\Preset0", "Name", "a");
    two.setString("FontWizard\\Preset1", "Name", "b");
    list.load(two);
    EXPECT_EQ(list.presets.size(), 2u);
    EXPECT_EQ(list.current, 0);
    two.setInt("FontWizard", "nCur", 1);
    list.load(two);
    EXPECT_EQ(list.current, 1);

    // A count beyond reason does not make the loader walk forever.
    MemorySettingsStore huge;
    huge.setInt("FontWizard", "nCnt", 2000000000);
    list.load(huge);
    ASSERT_EQ(list.presets.size(), 1u);
    EXPECT_EQ(list.presets[0].name, "Standard");

    // User characters written as 8-bit codes by an older program are kept.
    MemorySettingsStore legacy;
    legacy.setInt("FontWizard", "nCnt", 1);
    legacy.setString("FontWizard\\Preset0", "Name", "old");
    legacy.setString("FontWizard\\Preset0", "userchars", "\xF6\xE4");
    list.load(legacy);
    EXPECT_EQ(list.presets[0].preset.userChars, "\xF6\xE4");
}

TEST(FontPresets, NewDeleteAndRename) {
    FontPresetList list;
    list.presets = {{"Standard", FontPreset::standard()}};
    list.current = 0;
    list.addCopy();
    EXPECT_EQ(list.presets.back().name, "Copy of Standard");
    EXPECT_EQ(list.current, 1);
    list.current = 0;
    list.addCopy();
    EXPECT_EQ(list.presets.back().name, "Copy (2) of Standard");
    list.current = 1;  // "Copy of Standard" counts against the base name Standard
    list.addCopy();
    EXPECT_EQ(list.presets.back().name, "Copy (3) of Standard");

    EXPECT_EQ(FontPresetList::baseName("Copy (12) of Fancy"), "Fancy");
    EXPECT_EQ(FontPresetList::baseName("Copy of Copy of X"), "Copy of X");
    EXPECT_EQ(FontPresetList::baseName("Copy x of Y"), "Copy x of Y");
    EXPECT_EQ(FontPresetList::baseName("Copy of "), "Copy of ");
    EXPECT_EQ(FontPresetList::baseName("Copyof X"), "Copyof X");
    EXPECT_EQ(FontPresetList::baseName(""), "Standard");

    // Nothing selected: the built-in preset is copied.
    list.presets[0].preset.fontSize = 40;
    list.current = -1;
    list.addCopy();
    EXPECT_EQ(list.presets.back().name, "Copy (4) of Standard");
    EXPECT_EQ(list.presets.back().preset.fontSize, 11);

    // A count that names a copy still there moves on to a free name.
    {
        FontPresetList gap;
        gap.presets = {{"Standard", FontPreset::standard()}, {"Copy (2) of Standard", {}}};
        gap.current = 0;
        gap.addCopy();
        EXPECT_EQ(gap.presets.back().name, "Copy (3) of Standard");
    }

    // Deleting selects the entry before, the first when the first went.
    list.current = 2;
    std::string msg;
    ASSERT_TRUE(list.removeSelected(&msg));
    EXPECT_EQ(list.current, 1);
    list.current = 0;
    ASSERT_TRUE(list.removeSelected(&msg));
    EXPECT_EQ(list.current, 0);
    EXPECT_EQ(list.presets[0].name, "Copy of Standard");
    while (list.presets.size() > 1) ASSERT_TRUE(list.removeSelected());
    EXPECT_FALSE(list.removeSelected(&msg));
    EXPECT_EQ(msg, "Cannot delete item 1");
    EXPECT_EQ(list.presets.size(), 1u);

    // Renaming refuses empty text and any prefix of an entry, ignoring case.
    list.presets = {{"Standard", {}}, {"Title", {}}};
    list.current = 1;
    EXPECT_FALSE(list.renameSelected(""));
    EXPECT_FALSE(list.renameSelected("stan"));
    EXPECT_FALSE(list.renameSelected("TITLE"));
    EXPECT_TRUE(list.renameSelected("Headline"));
    EXPECT_EQ(list.presets[1].name, "Headline");
    EXPECT_EQ(list.find("headline"), 1);
    EXPECT_EQ(list.find("Standard"), 0);
    EXPECT_EQ(list.find("none"), -1);
}

TEST(FontChars, UnicodeSetsFromRangesAndText) {
    std::vector<uint32_t> cps;
    std::string why;
    ASSERT_TRUE(fontParseCharRanges("70-72, 0x41,U+0042,u+d7ff-0xE000,65", cps, why)) << why;
    // Sorted, each once, the surrogates between U+D7FF and U+E000 left out.
    EXPECT_EQ(cps, (std::vector<uint32_t>{0x41, 0x42, 70, 71, 72, 0xD7FF, 0xE000}));
    ASSERT_TRUE(fontParseCharRanges("U+10FFFF", cps, why));
    EXPECT_EQ(cps, std::vector<uint32_t>{0x10FFFF});
    EXPECT_FALSE(fontParseCharRanges("0xD800-0xDFFF", cps, why));
    EXPECT_FALSE(fontParseCharRanges("-5", cps, why));
    // A text gives its characters without line ends, controls or a byte order mark.
    ASSERT_TRUE(fontCharsFromUtf8("\xEF\xBB\xBF\xD0\x96"
                                  "a\r\na\t\xF0\x9F\x98\x80",
                                  cps, why));
    EXPECT_EQ(cps, (std::vector<uint32_t>{'a', 0x416, 0x1F600}));
    EXPECT_EQ(fontGlyphName(0x20AC), "\x80");
    EXPECT_EQ(fontGlyphName(0x416), "U+0416");
    EXPECT_EQ(fontGlyphName(0x1F600), "U+1F600");
    // "one of:" characters beyond code page 1252 follow its codes, in code point order.
    EXPECT_EQ(
        fontSelectCodePoints(false, FONT_FILTER_DIGIT | FONT_FILTER_ONEOF, "\xE4", U"\u0417\u0416"),
        (std::vector<uint32_t>{'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 0x416, 0x417}));
    EXPECT_EQ(fontSelectCodePoints(false, FONT_FILTER_DIGIT, "", U"\u0416").size(), 10u);
}

TEST(FontPresets, FontFilesAndWideCharactersRoundTrip) {
    MemorySettingsStore st;
    FontPreset p = FontPreset::standard();
    p.userCharsWide = U"\u0416\u3042";
    p.fontFile = "/fonts/game.ttc";
    p.faceIndex = 2;
    p.store(st, "FontWizard\\Preset0");
    EXPECT_EQ(st.getString("FontWizard\\Preset0", "userchars", ""),
              "\xC3\xB6\xC3\xA4\xC3\xBC\xC3\x96\xC3\x84\xC3\x9C\xD0\x96\xE3\x81\x82");
    FontPreset q;
    q.load(st, "FontWizard\\Preset0");
    EXPECT_EQ(q, p);
    // A preset of an installed face keeps no file values.
    p.fontFile.clear();
    p.store(st, "FontWizard\\Preset0");
    EXPECT_FALSE(st.contains("FontWizard\\Preset0", "Fontfile"));
    EXPECT_FALSE(st.contains("FontWizard\\Preset0", "Faceindex"));
}
