#include <gtest/gtest.h>

#include "model/recent_files.h"
#include "model/settings.h"
#include "model/window_placement.h"

TEST(RecentFiles, NewestFirstTenAtMostAndStored) {
    RecentFileList list;
    for (int i = 1; i <= 12; ++i) list.add("/f" + std::to_string(i));
    ASSERT_EQ(list.files().size(), 10u);
    EXPECT_EQ(list.files().front(), "/f12");
    EXPECT_EQ(list.files().back(), "/f3");
    list.add("/f5");  // moves to the top, no duplicate
    EXPECT_EQ(list.files()[0], "/f5");
    EXPECT_EQ(list.files().size(), 10u);
    list.remove("/f12");
    MemorySettingsStore store;
    store.setString("Recent File List", "File10", "stale");
    list.save(store);
    EXPECT_EQ(store.getString("Recent File List", "File1", ""), "/f5");
    EXPECT_EQ(store.getString("Recent File List", "File2", ""), "/f11");
    EXPECT_FALSE(store.contains("Recent File List", "File10"));
    // Gaps and repeats of a hand-edited file are passed over.
    store.setString("Recent File List", "File3", "");
    store.setString("Recent File List", "File4", "/f5");
    RecentFileList back;
    back.load(store);
    EXPECT_EQ(back.files().size(), 7u);
    EXPECT_EQ(back.files()[1], "/f11");
    EXPECT_EQ(back.files()[2], "/f8");
    EXPECT_EQ(RecentFileList::menuText(0, "/a&b.tga"), "&1 /a&&b.tga");
    EXPECT_EQ(RecentFileList::menuText(9, "/x"), "1&0 /x");
    EXPECT_EQ(RecentFileList::menuText(1, "/abcdefghijklmnop", 10), "&2 /ab...mnop");
}

TEST(WindowPlacement, OnlyCompleteAndClampedToAnIconCorner) {
    MemorySettingsStore store;
    WindowPlacement out;
    for (const char* k : {"Status", "Top", "Left", "Bottom"}) store.setInt("MWnd", k, 10);
    EXPECT_FALSE(WindowPlacement::restore(store, 0, 0, 1024, 768, 32, out));  // four of five
    store.setInt("MWnd", "Status", 1);
    store.setInt("MWnd", "Left", 5000);
    store.setInt("MWnd", "Right", 5600);
    store.setInt("MWnd", "Top", 20);
    store.setInt("MWnd", "Bottom", 420);
    ASSERT_TRUE(WindowPlacement::restore(store, 0, 0, 1024, 768, 32, out));
    EXPECT_EQ(out.left, 992);
    EXPECT_EQ(out.width(), 600);
    EXPECT_EQ(out.top, 20);
    EXPECT_EQ(out.height(), 400);
    // The work area's corner is added; the bottom is clamped the same way.
    store.setInt("MWnd", "Left", 100);
    store.setInt("MWnd", "Right", 300);
    store.setInt("MWnd", "Top", 900);
    store.setInt("MWnd", "Bottom", 1000);
    ASSERT_TRUE(WindowPlacement::restore(store, 50, 24, 1024, 768, 32, out));
    EXPECT_EQ(out.left, 150);
    EXPECT_EQ(out.top, 736);
    EXPECT_EQ(out.height(), 100);
    // An empty rectangle falls back to the default placement.
    store.setInt("MWnd", "Right", 100);
    EXPECT_FALSE(WindowPlacement::restore(store, 0, 0, 1024, 768, 32, out));
    // Saving writes all five.
    WindowPlacement p;
    p.status = 3;
    p.left = 1;
    p.top = 2;
    p.right = 401;
    p.bottom = 302;
    MemorySettingsStore saved;
    p.save(saved);
    ASSERT_TRUE(WindowPlacement::restore(saved, 0, 0, 1024, 768, 32, out));
    EXPECT_EQ(out.status, 3);
    EXPECT_EQ(out.width(), 400);
    EXPECT_EQ(out.height(), 300);
}
