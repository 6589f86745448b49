// --json output is valid UTF-8 JSON whatever the bytes of the file and item names it carries.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "cli/cli.h"
#include "model/position_files.h"
#include "tests/cli/cli_run.h"
#include "texlib/tga.h"

namespace {

// What Python's strict UTF-8 decoder and json parser make of `text`: the named key of the first
// item (or of the object), or "invalid: ..." when either refuses it.
std::string pythonReads(const std::string& text, const std::string& expr) {
    const std::string file = std::string(::testing::TempDir()) + "json_output_check.json";
    std::ofstream(file, std::ios::binary) << text;
    const std::string cmd = "python3 -c \"import json,sys\n"
                            "try:\n d=json.loads(open(sys.argv[1],'rb').read().decode('utf-8'))\n"
                            " print(ascii(" +
                            expr + "))\nexcept Exception as e: print('invalid:', e)\" '" + file +
                            "' 2>&1";
    std::string out;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        ::pclose(p);
    }
    return out;
}

}  // namespace

TEST(CliJson, StringsAreValidUtf8WhateverTheBytes) {
    // Valid UTF-8 passes as it is; each byte of an ill-formed sequence (stray continuation,
    // overlong form, surrogate, cut sequence, past U+10FFFF) becomes U+FFFD.
    EXPECT_EQ(cliJsonString("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"),
              "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\"");
    EXPECT_EQ(cliJsonString("a\x80"
                            "b\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80\xE2\x82"),
              "\"a\\ufffdb\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd"
              "\\ufffd\\ufffd\"");
    EXPECT_EQ(cliJsonString("q\"\\\x01\x7F"), "\"q\\\"\\\\\\u0001\\u007f\"");

    if (std::system("python3 -c 'import json' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3 is not installed";
    const std::string dir = std::string(::testing::TempDir()) + "json_output";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    // A Latin-1 file name (not UTF-8) with an item whose name is a cut UTF-8 sequence.
    const std::string image = dir + "/sprite_\xE9t\xE9.tga";
    const uint32_t px[4] = {0xFF000000u, 0xFF000000u, 0xFF000000u, 0xFF000000u};
    ASSERT_EQ(txWriteTGA(image, 2, 2, px, TX_TGA_NONE), TX_TGA_OK);
    PositionList list;
    list.append(TxRect{0, 0, 1, 1}, "hero\xE2\x82");
    ASSERT_EQ(savePositionText(list, image), POS_FILE_OK);

    CliRun r = run({"poslist", image, "--json"});
    ASSERT_EQ(r.status, CLI_OK) << r.err;
    EXPECT_EQ(pythonReads(r.out, "d['items'][0]['name']"), "'hero\\ufffd\\ufffd'\n");
    EXPECT_EQ(pythonReads(r.out, "d['image'][-14:]"), "'sprite_\\ufffdt\\ufffd.tga'\n");
    r = run({"info", image, "--json"});
    ASSERT_EQ(r.status, CLI_OK) << r.err;
    EXPECT_EQ(pythonReads(r.out, "d['files'][0]['file'][-14:]"), "'sprite_\\ufffdt\\ufffd.tga'\n");
}
