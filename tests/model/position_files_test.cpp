#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "model/position_files.h"

namespace fs = std::filesystem;

namespace {

TxRect R(int x1, int y1, int x2, int y2) { return TxRect{x1, y1, x2, y2}; }

// A fresh folder per test, removed afterwards.
class PositionFiles : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() /
              ("tarquil_pos_" + std::to_string(::getpid()) + "_" + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "tmp");
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const std::string& name) const { return (dir / name).string(); }
    std::string tmpDir() const { return (dir / "tmp").string(); }

    static std::string readAll(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    static void writeAll(const std::string& p, const std::string& bytes) {
        std::ofstream out(p, std::ios::binary);
        out << bytes;
    }

    fs::path dir;
};

std::string names(const PositionList& l) {
    std::string s;
    for (int i = 0; i < l.count(); ++i) s += "[" + l.at(i).name + "]";
    return s;
}

}  // namespace

TEST_F(PositionFiles, FileNamesFollowTheImageName) {
    PositionFileNames n;
    ASSERT_TRUE(positionFileNames("/gfx/sprites.tga", n, "/var/tmp"));
    EXPECT_EQ(n.text, "/gfx/sprites.tga_pos.txt");
    EXPECT_EQ(n.map, "/gfx/sprites.tga.map");
    EXPECT_EQ(n.temp, "/var/tmp/sprites.tga_pos.tmp");
    ASSERT_TRUE(positionFileNames("a.b/noext", n, "/t/"));
    EXPECT_EQ(n.text, "a.b/noext_pos.txt");
    EXPECT_EQ(n.temp, "/t/noext_pos.tmp");
    // An untitled document, or a name that is only an extension, has no position files.
    EXPECT_FALSE(positionFileNames("", n));
    EXPECT_FALSE(positionFileNames("/gfx/", n));
    EXPECT_FALSE(positionFileNames("/gfx/.tga", n));
}

TEST_F(PositionFiles, TextFileExactBytes) {
    PositionList list;
    list.append(R(1, 2, 3, 4), "a");
    list.append(R(0, 0, 16, 16), "");
    list.append(R(-5, -7, 300, 200), "hero: idle 1");
    list.append(R(1, 1, 2, 2), "two\r\nlines");
    const std::string img = path("sheet.tga");
    ASSERT_EQ(savePositionText(list, img), POS_FILE_OK);
    EXPECT_EQ(readAll(img + "_pos.txt"), "1,2,3,4:a\r\n"
                                         "0,0,16,16:\r\n"
                                         "-5,-7,300,200:hero: idle 1\r\n"
                                         "1,1,2,2:two  lines\r\n");
    EXPECT_FALSE(fs::exists(img + ".map"));
}

TEST_F(PositionFiles, MapFileExactBytes) {
    PositionList list;
    list.append(R(1, 2, 3, 4), "ab");
    list.append(R(-5, 70000, -32768, 32767), "abc");
    list.append(R(0, 0, 16, 16), "");
    const std::string img = path("sheet.tga");
    ASSERT_EQ(savePositionMap(list, img), POS_FILE_OK);
    const std::string expected("M0"
                               "\x01\x00\x02\x00\x03\x00\x04\x00"
                               "ab\x00\x00"
                               "\xFB\xFF\x70\x11\x00\x80\xFF\x7F"
                               "abc\x00"
                               "\x00\x00\x00\x00\x10\x00\x10\x00"
                               "\x00\x00"
                               "\xFF\xFF",
                               2 + 12 + 12 + 10 + 2);
    EXPECT_EQ(readAll(img + ".map"), expected);
    EXPECT_EQ(positionMapBytes(PositionList()), std::vector<uint8_t>({'M', '0', 0xFF, 0xFF}));
}

TEST_F(PositionFiles, WriteReadRoundTripIsByteForByte) {
    PositionList list;
    list.append(R(0, 0, 16, 16), "");
    list.append(R(16, 0, 48, 24), "walk 1: left");
    list.append(R(3, 90, 100, 128), "x");
    list.append(R(0, 0, 16, 16), "duplicate");
    const std::string img = path("sprites.tga");
    ASSERT_EQ(savePositionFiles(list, img), POS_FILE_OK);
    const std::string first = readAll(img + "_pos.txt");
    EXPECT_TRUE(fs::exists(img + ".map"));

    PositionList back;
    const PositionLoadResult res = loadPositions(back, img, 256, 128, tmpDir());
    EXPECT_EQ(res.source, PositionSource::Text);
    EXPECT_EQ(res.path, img + "_pos.txt");
    EXPECT_EQ(res.added, 4);
    EXPECT_FALSE(res.fileError);
    EXPECT_TRUE(back.sameAs(list));

    fs::remove(img + "_pos.txt");
    ASSERT_EQ(savePositionText(back, img), POS_FILE_OK);
    EXPECT_EQ(readAll(img + "_pos.txt"), first);
}

TEST_F(PositionFiles, EmptyListOrUntitledWritesNothing) {
    const std::string img = path("s.tga");
    writeAll(img + "_pos.txt", "1,1,2,2:old\r\n");
    EXPECT_EQ(savePositionText(PositionList(), img), POS_FILE_OK);
    EXPECT_EQ(savePositionMap(PositionList(), img), POS_FILE_OK);
    EXPECT_EQ(readAll(img + "_pos.txt"), "1,1,2,2:old\r\n");
    EXPECT_FALSE(fs::exists(img + ".map"));

    PositionList list;
    list.append(R(0, 0, 1, 1), "a");
    std::string msg = "untouched";
    EXPECT_EQ(savePositionText(list, "", &msg), POS_FILE_NO_NAME);
    EXPECT_EQ(savePositionFiles(list, path(".tga"), &msg), POS_FILE_NO_NAME);
    EXPECT_EQ(msg, "untouched");
    EXPECT_FALSE(fs::exists(path(".tga_pos.txt")));
}

TEST_F(PositionFiles, WriteFailureIsReportedAndKeepsWhatWasThere) {
    PositionList list;
    list.append(R(0, 0, 1, 1), "a");
    std::string msg, reason;
    const std::string missing = path("no/such/dir/s.tga");
    EXPECT_EQ(savePositionText(list, missing, &msg, &reason), POS_FILE_WRITE_ERROR);
    EXPECT_EQ(msg, "Error saving position file " + missing + "_pos.txt\n");
    EXPECT_FALSE(reason.empty());

    // A folder standing where the file should go: the rename fails and the folder stays as it was.
    const std::string img = path("busy.tga");
    fs::create_directory(img + "_pos.txt");
    writeAll(img + "_pos.txt/keep", "k");
    msg.clear();
    EXPECT_EQ(savePositionFiles(list, img, &msg), POS_FILE_WRITE_ERROR);
    EXPECT_EQ(msg, "Error saving position file " + img + "_pos.txt\n");
    EXPECT_EQ(readAll(img + "_pos.txt/keep"), "k");
    // The map is only written after the text file succeeded.
    EXPECT_FALSE(fs::exists(img + ".map"));
    // No temporary file is left behind.
    for (const auto& e : fs::directory_iterator(dir))
        EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos) << e.path();

    // A relative path is reported with its full path.
    msg.clear();
    EXPECT_EQ(savePositionMap(list, "no_such_dir_for_sure/x.tga", &msg), POS_FILE_WRITE_ERROR);
    EXPECT_EQ(msg, "Error saving position file " +
                       (fs::current_path() / "no_such_dir_for_sure/x.tga.map").string() + "\n");
}

TEST(PositionLine, ParsesFourNumbersThenTheRestAsName) {
    TxRect r;
    std::string name;
    ASSERT_TRUE(parsePositionLine("10;20;5;7 name", r, name));
    EXPECT_EQ(r, R(10, 20, 5, 7));
    EXPECT_EQ(name, "name");
    ASSERT_TRUE(parsePositionLine("1,2,3,4:a", r, name));
    EXPECT_EQ(name, "a");
    ASSERT_TRUE(parsePositionLine("1,2,3,4:", r, name));
    EXPECT_EQ(name, "");
    ASSERT_TRUE(parsePositionLine("1,2,3,4", r, name));
    EXPECT_EQ(r, R(1, 2, 3, 4));
    EXPECT_EQ(name, "");
    // Blanks before a number are skipped as %d skips them; the name keeps its own blanks.
    ASSERT_TRUE(parsePositionLine("  -1, +2,\t3,4:  two words: 5,6 ", r, name));
    EXPECT_EQ(r, R(-1, 2, 3, 4));
    EXPECT_EQ(name, "  two words: 5,6 ");
    ASSERT_TRUE(parsePositionLine("1,2,3,4:cr\r", r, name));
    EXPECT_EQ(name, "cr");
    ASSERT_TRUE(parsePositionLine(std::string_view("1,2,3,4:nul\0tail", 16), r, name));
    EXPECT_EQ(name, "nul");
    ASSERT_TRUE(parsePositionLine("99999999999,-99999999999,0,1:big", r, name));
    EXPECT_EQ(r, R(INT32_MAX, INT32_MIN, 0, 1));

    EXPECT_FALSE(parsePositionLine("", r, name));
    EXPECT_FALSE(parsePositionLine("1,2,3", r, name));
    EXPECT_FALSE(parsePositionLine("1,2,3,", r, name));
    EXPECT_FALSE(parsePositionLine("1,,2,3,4:a", r, name));
    EXPECT_FALSE(parsePositionLine("a,1,2,3,4", r, name));
    EXPECT_FALSE(parsePositionLine("1,2,3,-:x", r, name));
}

TEST(PositionLine, NormaliseAndClamp) {
    TxRect r = R(10, 20, 5, 7);
    EXPECT_TRUE(clampPositionRect(r, 256, 128));
    EXPECT_EQ(r, R(5, 7, 10, 20));
    r = R(-5, -5, 300, 300);
    EXPECT_TRUE(clampPositionRect(r, 256, 128));
    EXPECT_EQ(r, R(0, 0, 256, 128));
    r = R(10, 10, 10, 50);
    EXPECT_FALSE(clampPositionRect(r, 256, 128));
    r = R(300, 0, 400, 10);  // entirely right of the image
    EXPECT_FALSE(clampPositionRect(r, 256, 128));
}

// The old line pattern read the name with "%255c": no terminator after the name, nothing read for
// a name shorter than the pattern wanted, and lines longer than 255 characters split into pieces
// that were parsed as lines of their own.
TEST_F(PositionFiles, ReaderTakesTheRestOfTheLineAsName) {
    const std::string longName(300, 'q');
    const std::string head = "1,1,5,5:";
    // The second piece of this line, as a 255-character reader cut it, looks like an item.
    const std::string tricky = head + std::string(255 - head.size(), 'a') + "9,9,20,20:ghost";
    const std::string text = "1,1,5,5:longername\r\n"
                             "2,2,6,6:b\r\n"
                             "3,3,7,7:\r\n"
                             "4,4,8,8\r\n"
                             "5,5,9,9:" +
                             longName + "\r\n" + tricky + "\n";
    TxStream s(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    PositionList list;
    EXPECT_EQ(readPositionText(s, list, 256, 256), 6);
    ASSERT_EQ(list.count(), 6);
    EXPECT_EQ(list.at(0).name, "longername");
    EXPECT_EQ(list.at(1).name, "b");
    EXPECT_EQ(list.at(1).rect, R(2, 2, 6, 6));
    EXPECT_EQ(list.at(2).name, "");
    EXPECT_EQ(list.at(3).name, "");
    EXPECT_EQ(list.at(4).name, longName);
    EXPECT_EQ(list.at(5).rect, R(1, 1, 5, 5));
    EXPECT_EQ(list.at(5).name, tricky.substr(head.size()));
}

TEST_F(PositionFiles, MalformedLinesAreSkippedAndReadingGoesOn) {
    const std::string text = "garbage\r\n"
                             "1,2,3,4:a\r\n"
                             "5,6,7\r\n"
                             "\r\n"
                             "-5,-5,300,300:big\r\n"
                             "10,10,10,50:flat\r\n"
                             "10;20;5;7 name\r\n"
                             "\x01\x02\xff\r\n"
                             "0,0,2,2:last without line end";
    const std::string img = path("m.tga");
    writeAll(img + "_pos.txt", text);
    PositionList list;
    const PositionLoadResult res = loadPositions(list, img, 256, 128, tmpDir());
    EXPECT_EQ(res.added, 4);
    ASSERT_EQ(list.count(), 4);
    EXPECT_EQ(names(list), "[a][big][name][last without line end]");
    EXPECT_EQ(list.at(0).rect, R(1, 2, 3, 4));
    EXPECT_EQ(list.at(1).rect, R(0, 0, 256, 128));
    EXPECT_EQ(list.at(2).rect, R(5, 7, 10, 20));
    EXPECT_EQ(list.at(3).rect, R(0, 0, 2, 2));
}

TEST_F(PositionFiles, ListWithItemsIsNotReloaded) {
    const std::string img = path("k.tga");
    writeAll(img + "_pos.txt", "1,1,2,2:file\r\n");
    PositionList list;
    list.append(R(0, 0, 5, 5), "mine");
    const PositionLoadResult res = loadPositions(list, img, 64, 64, tmpDir());
    EXPECT_EQ(res.source, PositionSource::None);
    EXPECT_EQ(names(list), "[mine]");
}

TEST_F(PositionFiles, NoFileMeansNothingAndSizeBelowOneCountsAsOne) {
    PositionList list;
    EXPECT_EQ(loadPositions(list, path("none.tga"), 64, 64, tmpDir()).source, PositionSource::None);
    EXPECT_TRUE(list.empty());
    const std::string img = path("tiny.tga");
    writeAll(img + "_pos.txt", "0,0,5,5:clamped\r\n1,0,5,5:gone\r\n");
    loadPositions(list, img, 0, 0, tmpDir());
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.at(0).rect, R(0, 0, 1, 1));
}

namespace {

std::string tempRecord(const std::string& name, int32_t l, int32_t t, int32_t r, int32_t b) {
    std::string out(1, char(name.size()));
    out += name;
    for (int32_t v : {l, t, r, b})
        for (int k = 0; k < 4; ++k) out += char(uint32_t(v) >> (8 * k));
    return out;
}

}  // namespace

TEST_F(PositionFiles, TemporaryFileIsReadWhenThereIsNoTextFile) {
    const std::string img = path("shot.tga");
    const std::string tmp = tmpDir() + "/shot.tga_pos.tmp";
    writeAll(tmp, tempRecord("abc", 1, 2, 3, 4) + tempRecord("", 40, 30, 10, 5) +
                      tempRecord("out", -9, -9, 500, 500) + tempRecord("flat", 3, 3, 3, 9) +
                      "\xFF" + "ignored after the end");
    PositionList list;
    PositionLoadResult res = loadPositions(list, img, 64, 32, tmpDir());
    EXPECT_EQ(res.source, PositionSource::Temp);
    EXPECT_EQ(res.path, tmp);
    EXPECT_FALSE(res.fileError);
    EXPECT_EQ(res.added, 3);
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(names(list), "[abc][][out]");
    EXPECT_EQ(list.at(1).rect, R(10, 5, 40, 30));
    EXPECT_EQ(list.at(2).rect, R(0, 0, 64, 32));

    // A text file beside the image takes precedence.
    writeAll(img + "_pos.txt", "0,0,8,8:text\r\n");
    PositionList fromText;
    res = loadPositions(fromText, img, 64, 32, tmpDir());
    EXPECT_EQ(res.source, PositionSource::Text);
    EXPECT_EQ(names(fromText), "[text]");
}

TEST_F(PositionFiles, BrokenTemporaryFilesStopCleanlyKeepingWhatWasRead) {
    struct Case {
        std::string bytes;
        int items;
    };
    const std::string one = tempRecord("a", 0, 0, 4, 4);
    const std::vector<Case> cases = {
        {"", 0},   // no length byte at the very start
        {one, 1},  // no terminator
        {one + "\x80" + tempRecord("b", 0, 0, 2, 2).substr(1), 1},  // length with bit 7 set
        {one + "\xFE", 1},
        {one + tempRecord("b", 0, 0, 2, 2).substr(0, 10), 1},  // rectangle cut short
        {one + "\x05"
               "ab",
         1},  // name cut short
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        TxStream s(reinterpret_cast<const uint8_t*>(cases[i].bytes.data()), cases[i].bytes.size());
        PositionList list;
        bool complete = true;
        EXPECT_EQ(readPositionTemp(s, list, 64, 64, &complete), cases[i].items) << i;
        EXPECT_FALSE(complete) << i;
        EXPECT_EQ(list.count(), cases[i].items) << i;
    }
    const std::string img = path("cut.tga");
    writeAll(tmpDir() + "/cut.tga_pos.tmp", one + "\x81");
    PositionList list;
    const PositionLoadResult res = loadPositions(list, img, 64, 64, tmpDir());
    EXPECT_TRUE(res.fileError);
    EXPECT_EQ(list.count(), 1);
}
