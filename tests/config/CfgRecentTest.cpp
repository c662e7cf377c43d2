#include "config/CfgRecent.h"

#include "base/ProgramFolder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Paths = std::vector<std::string>;

TEST(CfgRecent, NewestFirstWithoutRepeatsAndAtMostSix) {
    CCfgRecent recent;
    for (const char* p : {"/a.cfg", "/b.cfg", "/c.cfg"})
        EXPECT_TRUE(recent.Add(p));
    EXPECT_EQ(recent.Files(), (Paths{"/c.cfg", "/b.cfg", "/a.cfg"}));
    recent.Add("/a.cfg"); // opened again: moves up, listed once
    EXPECT_EQ(recent.Files(), (Paths{"/a.cfg", "/c.cfg", "/b.cfg"}));
    for (const char* p : {"/d.cfg", "/e.cfg", "/f.cfg", "/g.cfg"})
        recent.Add(p);
    EXPECT_EQ(recent.Files(), (Paths{"/g.cfg", "/f.cfg", "/e.cfg", "/d.cfg", "/a.cfg", "/c.cfg"}));
    // A path a line cannot hold is refused, the list unchanged.
    EXPECT_FALSE(recent.Add(""));
    EXPECT_FALSE(recent.Add("/x\n/y.cfg"));
    EXPECT_EQ(recent.Files().front(), "/g.cfg");
    EXPECT_TRUE(recent.Remove("/e.cfg"));
    EXPECT_FALSE(recent.Remove("/e.cfg"));
    EXPECT_EQ(recent.Files().size(), 5u);
}

TEST(CfgRecent, SurvivesARunAndToleratesAFileEditedByHand) {
    TempDir dir;
    tk::SetProgramFolder(dir.Path());
    const std::string file = CCfgRecent::DefaultFile();
    EXPECT_EQ(file, dir.File("Data/RecentFiles.txt"));

    CCfgRecent none;
    EXPECT_TRUE(none.Load(file)); // no file yet: an empty list, not an error
    EXPECT_TRUE(none.Files().empty());

    CCfgRecent recent;
    recent.Add("/site/ná dvoře.cfg");
    recent.Add("/site/b.cfg");
    ASSERT_TRUE(recent.Save(file)); // creates Data
    EXPECT_EQ(ReadFileText(file), "/site/b.cfg\n/site/ná dvoře.cfg\n");
    CCfgRecent again;
    ASSERT_TRUE(again.Load(file));
    EXPECT_EQ(again.Files(), recent.Files());

    WriteFileBytes(file, {});
    const std::string edited = "/1.cfg\r\n\n/2.cfg\n/1.cfg\n/3.cfg\n/4.cfg\n/5.cfg\n/6.cfg\n/7.cfg";
    WriteFileBytes(file, std::vector<uint8_t>(edited.begin(), edited.end()));
    ASSERT_TRUE(again.Load(file));
    EXPECT_EQ(again.Files(), (Paths{"/1.cfg", "/2.cfg", "/3.cfg", "/4.cfg", "/5.cfg", "/6.cfg"}));

    EXPECT_TRUE(CfgRecentFileExists(file));
    EXPECT_FALSE(CfgRecentFileExists(dir.File("gone.cfg")));
    EXPECT_FALSE(CfgRecentFileExists(dir.Path())); // a folder is no file to open
}
