#include <gtest/gtest.h>

#include "tools/codegen/format_string.h"

namespace {

// Parses and returns the error, failing the test when the parse succeeds.
parse_error refused(const std::string& text) {
    try {
        parseFormat(text);
    } catch (const parse_error& e) {
        return e;
    }
    ADD_FAILURE() << "accepted: " << text;
    return parse_error(PE_EXCEPTION, "");
}

void expectRefused(const std::string& text, ParseErrorCode value, const std::string& detail) {
    const parse_error e = refused(text);
    EXPECT_EQ(e.value(), value) << text;
    EXPECT_EQ(e.detail(), detail) << text;
}

std::string fmt(const std::string& editText, const TxRect& r, const std::string& name,
                int index = 0, int w = 256, int h = 256) {
    const ParsedFormat f = parseFormat(editText);
    std::string out;
    EXPECT_TRUE(formatItem(f, r, name, index, w, h, out)) << editText;
    return out;
}

}  // namespace

TEST(FormatString, PresetsAreExactlyAsGiven) {
    EXPECT_STREQ(kStandardFormat, "\"{%d,%d,%d,%d},\t//%s\r\n\"\r\n,x1, y1, x2, y2, name");
    EXPECT_STREQ(kNewPresetFormat, "\"{%d,%d,%d,%d},\t//%s\r\n\"\r\n,x1, y1, w, h, name");
}

TEST(FormatString, EscapeAndUnescape) {
    const std::string edit = escapeFormat(kStandardFormat);
    // Inside the quotes control characters become backslash sequences; the line break before
    // the argument list stays real.
    EXPECT_EQ(edit, "\"{%d,%d,%d,%d},\\t//%s\\r\\n\"\r\n,x1, y1, x2, y2, name");
    EXPECT_EQ(unescapeFormat(edit), kStandardFormat);
    EXPECT_EQ(unescapeFormat(escapeFormat(kNewPresetFormat)), kNewPresetFormat);

    // A quote inside the template is escaped; the last one closes it.
    const std::string quoted = "\"say \"hi\"\t%s\"\t,name";
    EXPECT_EQ(escapeFormat(quoted), "\"say \\\"hi\\\"\\t%s\"\t,name");
    EXPECT_EQ(unescapeFormat(escapeFormat(quoted)), quoted);
    EXPECT_EQ(escapeFormat("no quotes\there\n"), "no quotes\there\n");

    EXPECT_EQ(unescapeFormat("a\\tb\\nc\\rd\\\"e"), "a\tb\r\ncd\"e");
    EXPECT_EQ(unescapeFormat("\\q\\\\t"), "\\q\\\t");  // other pairs copy the backslash only
    EXPECT_EQ(unescapeFormat("end\\"), "end\\");
    EXPECT_EQ(unescapeFormat("\\"), "\\");
    EXPECT_EQ(unescapeFormat(""), "");
    // An edit-form lone \r is dropped, so a round trip keeps CR LF pairs only.
    EXPECT_EQ(unescapeFormat(escapeFormat("\"x\r%d\",x1")), "\"x%d\",x1");
}

TEST(FormatString, ParseAcceptsTheClassicForms) {
    ParsedFormat f = parseFormat(escapeFormat(kStandardFormat));
    EXPECT_TRUE(f.ok);
    EXPECT_EQ(f.codes, "abcdn");
    EXPECT_EQ(f.templ, "{%d,%d,%d,%d},\\t//%s\\r\\n");

    EXPECT_EQ(parseFormat("\"%d,%d\" ,X1,Y1").codes, "ab");
    EXPECT_EQ(parseFormat("\"%d %d\",x1,,y1,").codes, "ab");
    EXPECT_EQ(parseFormat("\"%d\"\r\n  ,  index").codes, "i");
    f = parseFormat("\"%f %f %f %f %d %d\",s,t,u,v,w,h");
    EXPECT_EQ(f.codes, "stuvwh");
    EXPECT_EQ(f.templ, "%s %s %s %s %d %d");           // reals arrive as text
    EXPECT_EQ(parseFormat("\"%d%%\",x1").codes, "a");  // a doubled percent counts nothing
    // Real tabs and line breaks of the edit text are removed before parsing.
    EXPECT_EQ(parseFormat("\"%d\t%s\"\n,x1,name").templ, "%d%s");
}

TEST(FormatString, EveryClassicParseError) {
    expectRefused("", PE_LENGTH, "invalid lenght");
    expectRefused("\"%d\",x", PE_LENGTH, "invalid lenght");     // six characters
    expectRefused("\"%d\"   ,x", PE_LENGTH, "invalid lenght");  // argument list ",x"
    expectRefused("\"%\"   ,x1", PE_LENGTH, "invalid lenght");  // template of three
    expectRefused("no quote at all", PE_LENGTH, "invalid lenght");
    expectRefused("x\"%d\" ,x1", PE_DELIMITER, "invalid delimiter in formatstring");
    expectRefused("\"%d\" x1,y1", PE_COMMA, "missing comma in argumentlist");
    expectRefused("\"%d %d\",x1,q", PE_CHAR, "q\tinvalid char");
    expectRefused("\"%d %d\",X1,Q,y1", PE_CHAR, "q,y1\tinvalid char");
    expectRefused("\"%d\",position", PE_CHAR, "position\tinvalid char");
    expectRefused("\"abc %% def\",x1", PE_NO_TYPES, "no %%types found in formatstring");
    expectRefused("\"%d\",width", PE_UNKNOWN_ARG, "width\tunknown arg");
    expectRefused("\"%d\",indexname", PE_UNKNOWN_ARG, "indexna\tunknown arg");
    expectRefused("\"%d\",x1 y1", PE_UNKNOWN_ARG, "x1y1\tunknown arg");
    expectRefused("\"%d %d\",x1,y1,x2", PE_COUNT, "2 formattypes do not match 3 args");
    expectRefused("\"%d %d %d\",x1", PE_COUNT, "3 formattypes do not match 1 args");
    EXPECT_EQ(parseErrorText("width\tunknown arg"),
              "Error parsing formatstring\r\nError near : width\tunknown arg");
}

TEST(FormatString, ConversionsMustFitTheirArguments) {
    expectRefused("\"%s\",x1", PE_CONVERSION, "%s\tinvalid type for x1");
    expectRefused("\"%d %d\",x1,name", PE_CONVERSION, "%d\tinvalid type for name");
    expectRefused("\"%f\",index", PE_CONVERSION, "%f\tinvalid type for index");
    expectRefused("\"%d\", s", PE_CONVERSION, "%d\tinvalid type for s");
    // A one-letter list is too short for the classic length rule; a blank makes it long enough.
    expectRefused("\"%f\",s", PE_LENGTH, "invalid lenght");
    expectRefused("\"%n\",x1", PE_CONVERSION, "%n\tinvalid conversion");
    expectRefused("\"%*d\",x1", PE_CONVERSION, "%*\tinvalid conversion");
    expectRefused("\"%.*d\",x1", PE_CONVERSION, "%.*\tinvalid conversion");
    expectRefused("\"%1$d\",x1", PE_CONVERSION, "%1$\tinvalid conversion");
    expectRefused("\"%ld\",x1", PE_CONVERSION, "%l\tinvalid conversion");
    expectRefused("\"%p\",x1", PE_CONVERSION, "%p\tinvalid conversion");
    expectRefused("\"%c\",x1", PE_CONVERSION, "%c\tinvalid conversion");
    expectRefused("\"%d%\",x1,y1", PE_CONVERSION, "%\tinvalid conversion");
    expectRefused("\"%-%d\",x1,y1", PE_CONVERSION, "%-%\tinvalid conversion");
    expectRefused("\"%5000d\",x1", PE_CONVERSION, "%5000d\twidth or precision above 1023");
    expectRefused("\"%.99999999999999s\",name", PE_CONVERSION,
                  "%.99999999999999s\twidth or precision above 1023");

    std::string t13 = "\"", a13, a12;
    for (int i = 0; i < 13; ++i) {
        t13 += "%d ";
        a13 += ",x1";
        if (i < 12) a12 += ",y1";
    }
    t13 += "\"";
    expectRefused(t13 + a13, PE_TOO_MANY_ARGS, "13 args\ttoo many args (at most 12)");
    expectRefused(t13 + a12, PE_COUNT, "13 formattypes do not match 12 args");
    // Twelve is the limit and works.
    std::string t12 = "\"", arg12;
    for (int i = 0; i < 12; ++i) {
        t12 += "%d";
        arg12 += ",index";
    }
    EXPECT_EQ(fmt(t12 + "\"" + arg12, TxRect{}, "", 7), "777777777777");
}

TEST(FormatString, StandardPresetOutput) {
    const std::string edit = escapeFormat(kStandardFormat);
    EXPECT_EQ(fmt(edit, TxRect{5, 6, 21, 38}, "ship"), "{5,6,21,38},\\t//ship\\r\\n");
    EXPECT_EQ(unescapeFormat(fmt(edit, TxRect{-3, 0, 7, 1}, "a b:c")), "{-3,0,7,1},\t//a b:c\r\n");
    EXPECT_EQ(fmt(escapeFormat(kNewPresetFormat), TxRect{5, 6, 21, 38}, "ship"),
              "{5,6,16,32},\\t//ship\\r\\n");
}

TEST(FormatString, ValuesOfEveryArgument) {
    const TxRect r{64, 32, 128, 96};
    EXPECT_EQ(fmt("\"%f\", s", r, "", 0, 256, 256), "0.250000");
    EXPECT_EQ(fmt("\"%f %f %f %f\",s,t,u,v", r, "", 0, 256, 128),
              "0.250000 0.250000 0.500000 0.750000");
    EXPECT_EQ(fmt("\"%d %d %d %d %d %d %d %s\",x1,y1,x2,y2,w,h,index,name", r, "nm", 9),
              "64 32 128 96 64 64 9 nm");
    // Reals through a text conversion are the six-decimal text; other real conversions print
    // the value itself.
    EXPECT_EQ(fmt("\"[%s] [%.2f] [%8.3f] [%-10s] [%e] [%g]\",s,t,u,v,s,t", r, "", 0, 256, 128),
              "[0.250000] [0.25] [   0.500] [0.750000  ] [2.500000e-01] [0.25]");
    EXPECT_EQ(fmt("\"%f\", u", TxRect{0, 0, 1, 1}, "", 0, 3, 3), "0.333333");
    // Sizes below 1 count as 1 instead of dividing by zero.
    EXPECT_EQ(fmt("\"%f\", u", TxRect{0, 0, 2, 1}, "", 0, 0, 0), "2.000000");
    EXPECT_EQ(fmt("\"%04d|%-4d|%+d|%x|%X|%o|%u|% d|%#x\",x1,y1,x2,y2,y2,w,h,x1,x1",
                  TxRect{7, -7, 255, -1}, ""),
              "0007|-7  |+255|ffffffff|FFFFFFFF|370|6| 7|0x7");
    EXPECT_EQ(fmt("\"[%-6s][%6s][%.2s]\",name,name,name", r, "abc"), "[abc   ][   abc][ab]");
    EXPECT_EQ(fmt("\"%d%% of %s\",x1,name", r, "it"), "64% of it");
    EXPECT_EQ(fmt("\"<%s>\",name", r, std::string("cut\0here", 8)), "<cut>");
    // An absurd rectangle wraps its width in 32 bits instead of overflowing.
    EXPECT_EQ(fmt("\"%d\", w", TxRect{INT32_MIN, 0, INT32_MAX, 1}, ""), "-1");
}

TEST(FormatString, ItemTextIsLimitedTo1023Characters) {
    const ParsedFormat f = parseFormat("\"%s\",name");
    std::string out = "kept";
    EXPECT_TRUE(formatItem(f, TxRect{}, std::string(1023, 'a'), 0, 1, 1, out));
    EXPECT_EQ(out.size(), 4u + 1023u);
    out = "kept";
    EXPECT_FALSE(formatItem(f, TxRect{}, std::string(1024, 'a'), 0, 1, 1, out));
    EXPECT_EQ(out, "kept");
    const ParsedFormat wide = parseFormat("\"%1023d%s\",x1,name");
    out.clear();
    EXPECT_TRUE(formatItem(wide, TxRect{}, "", 0, 1, 1, out));
    EXPECT_EQ(out.size(), 1023u);
    out.clear();
    EXPECT_FALSE(formatItem(wide, TxRect{}, "x", 0, 1, 1, out));
    EXPECT_TRUE(out.empty());
    const ParsedFormat prec = parseFormat("\"%.1023f\", s");
    EXPECT_FALSE(formatItem(prec, TxRect{}, "", 0, 1, 1, out));
    const ParsedFormat longName = parseFormat("\"%-3s\",name");
    EXPECT_FALSE(formatItem(longName, TxRect{}, std::string(5000, 'n'), 0, 1, 1, out));
    EXPECT_TRUE(out.empty());
    // A format that never parsed formats nothing.
    EXPECT_FALSE(formatItem(ParsedFormat{}, TxRect{}, "", 0, 1, 1, out));
}
