#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <unistd.h>

#include "model/position_files.h"
#include "tools/poslist/position_panel.h"

namespace {

TxRect R(int x1, int y1, int x2, int y2) { return TxRect{x1, y1, x2, y2}; }

// Answers message boxes from a script and records what was asked.
class ScriptedPrompts : public Prompts {
public:
    MsgResult message(const std::string& text, MsgIcon icon, MsgButtons buttons) override {
        asked.push_back(text);
        icons.push_back(icon);
        lastButtons = buttons;
        if (answers.empty()) return MsgResult::Ok;
        const MsgResult r = answers.front();
        answers.pop_front();
        return r;
    }
    std::deque<MsgResult> answers;
    std::vector<std::string> asked;
    std::vector<MsgIcon> icons;
    MsgButtons lastButtons = MsgButtons::Ok;
};

PositionList abc() {
    PositionList l;
    l.append(R(0, 0, 10, 10), "A");
    l.append(R(10, 0, 20, 10), "B");
    l.append(R(20, 0, 30, 10), "C");
    return l;
}

std::string order(const PositionList& l) {
    std::string s;
    for (int i = 0; i < l.count(); ++i) s += l.at(i).name;
    return s;
}

}  // namespace

TEST(PositionPanel, AttachFillsEntriesAndSelectsTheFirst) {
    PositionList list = abc();
    PositionListPanel panel;
    panel.attach(&list);
    ASSERT_EQ(panel.entries().size(), 3u);
    EXPECT_EQ(panel.entries()[1], "B: 10:0-20:10  10x10");
    EXPECT_EQ(panel.selection(), 0);

    PositionList empty;
    panel.attach(&empty);
    EXPECT_TRUE(panel.entries().empty());
    EXPECT_EQ(panel.selection(), -1);

    panel.attach(&list);
    panel.detach();
    EXPECT_EQ(panel.list(), nullptr);
    EXPECT_TRUE(panel.entries().empty());
    EXPECT_EQ(panel.corner1Text(), "0/0");
    EXPECT_EQ(panel.widthText(), "0");
    EXPECT_EQ(panel.colourText(), "#000000\r\n0,0,0");
}

TEST(PositionPanel, SetCurrentTextsAndSelectionFollowsTheRectangle) {
    PositionList list = abc();
    list.append(R(0, 0, 10, 10), "A again");
    PositionListPanel panel;
    panel.attach(&list);

    panel.setCurrent(TxRect{}, 17, 23, 0x00FF8001);
    EXPECT_EQ(panel.corner1Text(), "17/23");
    EXPECT_EQ(panel.corner2Text(), "17/23");
    EXPECT_EQ(panel.widthText(), "0");
    EXPECT_EQ(panel.heightText(), "0");
    EXPECT_EQ(panel.current(), R(17, 23, 17, 23));
    EXPECT_EQ(panel.colourText(), "#ff8001\r\n255,128,1");

    panel.setCurrent(R(20, 0, 30, 10), 0, 0, 0xAA123456);  // alpha byte is ignored
    EXPECT_EQ(panel.corner1Text(), "20/0");
    EXPECT_EQ(panel.corner2Text(), "30/10");
    EXPECT_EQ(panel.widthText(), "10");
    EXPECT_EQ(panel.heightText(), "10");
    EXPECT_EQ(panel.selection(), 2);
    EXPECT_EQ(panel.colourText(), "#123456\r\n18,52,86");

    // The first equal item is selected, even when a later one also matches.
    panel.setCurrent(R(0, 0, 10, 10), 0, 0, 0);
    EXPECT_EQ(panel.selection(), 0);
    // No match: the selection stays.
    panel.setCurrent(R(1, 1, 2, 2), 0, 0, 0);
    EXPECT_EQ(panel.selection(), 0);
}

TEST(PositionPanel, AddTwiceAddsOnceAndEmptySelectionAddsNothing) {
    PositionList list;
    PositionListPanel panel;
    EXPECT_FALSE(panel.addItem(R(0, 0, 4, 4), "x"));  // nothing attached
    panel.attach(&list);
    panel.setCurrent(TxRect{}, 5, 5, 0);
    EXPECT_FALSE(panel.add());
    panel.setCurrent(R(2, 3, 12, 13), 0, 0, 0);
    EXPECT_TRUE(panel.add());
    panel.setCurrent(R(2, 3, 12, 13), 0, 0, 0);
    EXPECT_FALSE(panel.add());
    EXPECT_TRUE(panel.addItem(R(0, 0, 1, 1), "dot"));
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.at(0).name, "");
    EXPECT_EQ(panel.selection(), 1);
    EXPECT_EQ(panel.entries()[0], ": 2:3-12:13  10x10");
}

TEST(PositionPanel, SpinSwapsWithWrap) {
    struct Case {
        int selected, delta;
        const char* order;
        int newSelection;
    };
    // Up from the first trades places with the last; down from the last with the first.
    for (const Case& c : {Case{0, -1, "CBA", 2}, Case{2, +1, "CBA", 0}, Case{1, -1, "BAC", 0},
                          Case{1, +1, "ACB", 2}}) {
        PositionList list = abc();
        PositionListPanel panel;
        panel.attach(&list);
        panel.selectEntry(c.selected);
        EXPECT_TRUE(panel.spin(c.delta));
        EXPECT_EQ(order(list), c.order) << c.selected << " " << c.delta;
        EXPECT_EQ(panel.selection(), c.newSelection);
        EXPECT_EQ(panel.entries()[size_t(c.newSelection)], list.at(c.newSelection).displayText());
    }
    PositionList one;
    one.append(R(0, 0, 1, 1), "solo");
    PositionListPanel panel;
    panel.attach(&one);
    EXPECT_FALSE(panel.spin(1));
}

TEST(PositionPanel, DeleteSelectsSuccessorOrNewLast) {
    PositionList list = abc();
    PositionListPanel panel;
    panel.attach(&list);
    panel.selectEntry(1);
    auto r = panel.deleteSelected();
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(*r, R(20, 0, 30, 10));  // C moved into index 1 and is announced to the views
    EXPECT_EQ(order(list), "AC");
    EXPECT_EQ(panel.selection(), 1);
    EXPECT_EQ(panel.current(), R(20, 0, 30, 10));
    r = panel.deleteSelected();  // the last entry: the new last is selected
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(*r, R(0, 0, 10, 10));
    EXPECT_EQ(panel.selection(), 0);
    EXPECT_FALSE(panel.deleteSelected().has_value());  // the only entry
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(panel.entries().empty());
    EXPECT_EQ(panel.selection(), -1);
    EXPECT_FALSE(panel.deleteSelected().has_value());
}

TEST(PositionPanel, UpdateAndRenameKeepTheSelection) {
    PositionList list = abc();
    PositionListPanel panel;
    panel.attach(&list);
    panel.selectEntry(2);
    panel.setCurrent(R(5, 5, 9, 9), 0, 0, 0);
    EXPECT_TRUE(panel.update());
    EXPECT_EQ(list.at(2).rect, R(5, 5, 9, 9));
    EXPECT_EQ(panel.selection(), 2);
    EXPECT_TRUE(panel.current().empty());  // the refill empties the current rectangle
    EXPECT_FALSE(panel.update());
    EXPECT_TRUE(panel.renameSelected("renamed"));
    EXPECT_EQ(list.at(2).name, "renamed");
    EXPECT_EQ(panel.entries()[2], "renamed: 5:5-9:9  4x4");
    EXPECT_EQ(panel.selection(), 2);
    EXPECT_FALSE(panel.selectEntry(3).has_value());
}

TEST(PositionPanel, ClearAsksFirst) {
    PositionList list = abc();
    PositionListPanel panel;
    panel.attach(&list);
    ScriptedPrompts prompts;
    prompts.answers = {MsgResult::No, MsgResult::Yes};
    EXPECT_FALSE(panel.clear(prompts));
    EXPECT_EQ(list.count(), 3);
    EXPECT_TRUE(panel.clear(prompts));
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(panel.entries().empty());
    ASSERT_EQ(prompts.asked.size(), 2u);
    EXPECT_EQ(prompts.asked[0], "Clear all items?");
    EXPECT_EQ(prompts.lastButtons, MsgButtons::YesNo);
    EXPECT_FALSE(panel.clear(prompts));  // nothing to clear: no question
    EXPECT_EQ(prompts.asked.size(), 2u);
}

TEST(PositionPanel, SaveWritesBothFilesOrReportsTheError) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("tarquil_panel_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    PositionList list = abc();
    PositionListPanel panel;
    ScriptedPrompts prompts;
    EXPECT_EQ(panel.save((dir / "s.tga").string(), prompts), "");  // nothing attached
    panel.attach(&list);
    EXPECT_EQ(panel.save((dir / "s.tga").string(), prompts), "Positionlist saved");
    EXPECT_TRUE(fs::exists(dir / "s.tga_pos.txt"));
    EXPECT_TRUE(fs::exists(dir / "s.tga.map"));
    EXPECT_TRUE(prompts.asked.empty());
    // Untitled: silent failure.
    EXPECT_EQ(panel.save("", prompts), "");
    EXPECT_TRUE(prompts.asked.empty());
    const std::string bad = (dir / "missing" / "s.tga").string();
    EXPECT_EQ(panel.save(bad, prompts), "");
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0], "Error saving position file " + bad + "_pos.txt\n");
    EXPECT_EQ(prompts.icons[0], MsgIcon::Error);
    fs::remove_all(dir);
}
