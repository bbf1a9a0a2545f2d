#include "SettingsTestUtil.h"
#include "settings/UMainSettings.h"

using namespace settings;

namespace {

using Lines = std::vector<std::string>;

// The main window at its design position and size, in the normal state.
class TPlaceholderWindow : public TPlacementTarget {
public:
    std::string Name() const override { return "frmMain"; }
    bool GetNormalBounds(TPlacementRect& r) const override {
        r = {328, 115, 328 + 731, 115 + 484};
        return true;
    }
    TWindowState WindowState() const override { return wsNormal; }
    void SetWindowState(TWindowState) override {}
    void SetLeft(std::int32_t) override {}
    void SetTop(std::int32_t) override {}
    void SetWidth(std::int32_t) override {}
    void SetHeight(std::int32_t) override {}
};

} // namespace

TEST(AddToHistory, RepeatedTextMovesUpWithoutDuplicate) {
    Lines h;
    for (const char* t : {"abc", "def", "abc"}) {
        AddToHistory(h, t);
    }
    EXPECT_EQ(h, (Lines{"abc", "def"}));
    AddToHistory(h, "ABC"); // letter case counts
    EXPECT_EQ(h, (Lines{"ABC", "abc", "def"}));
    AddToHistory(h, "def");
    EXPECT_EQ(h, (Lines{"def", "ABC", "abc"}));
    AddToHistory(h, "");
    EXPECT_EQ(h.front(), "");
}

TEST(AddToHistory, KeepsTheTenMostRecent) {
    Lines h;
    for (int i = 0; i < 11; ++i) {
        AddToHistory(h, "m" + std::to_string(i));
    }
    ASSERT_EQ(h.size(), 10u);
    EXPECT_EQ(h.front(), "m10");
    EXPECT_EQ(h.back(), "m1");
}

TEST(MainSettings, HistoriesSkipEmptyEntriesAndSaveOverTheirOwnLength) {
    TvtRegVal s;
    FillDefaultLists(s);
    EXPECT_EQ(LoadHistory(s, kMaskHistoryPrefix), Lines{"*.*"});
    EXPECT_TRUE(LoadHistory(s, kSearchHistoryPrefix).empty());
    s.SetString("SearchText1", "abc");
    s.SetString("SearchText4", "old");
    EXPECT_EQ(LoadHistory(s, kSearchHistoryPrefix), (Lines{"abc", "old"}));
    SaveHistory(s, kSearchHistoryPrefix, {"x", "y"});
    EXPECT_EQ(s.GetString("SearchText0"), "x");
    EXPECT_EQ(s.GetString("SearchText1"), "y");
    EXPECT_EQ(s.GetString("SearchText4"), "old"); // past the list's length: untouched
}

TEST(MainSettings, SearchOptionsRoundTripThroughTheirKeys) {
    TvtRegVal s;
    FillDefaultLists(s);
    TSearchOptions o;
    o.SetArchive(1);
    o.SetHidden(-1);
    SaveSearchOptions(s, o);
    EXPECT_EQ(s.GetInteger("soArchive"), 1);
    s.SetInteger("soSystem", 3);
    TSearchOptions loaded;
    LoadSearchOptions(s, loaded);
    EXPECT_EQ(loaded.Archive(), 1);
    EXPECT_EQ(loaded.System(), 3);
    EXPECT_EQ(loaded.Hidden(), -1);
}

TEST(MainSettings, FilterKeysRoundTripThroughTheFile) {
    TScratchDir dir;
    const auto store = [&] {
        auto s = std::make_unique<TvtRegVal>();
        ConfigureMainStore(*s);
        s->SetLocationProvider([&] { return TStoreLocation{dir.Path(), true, "", ""}; });
        return s;
    };
    TSearchOptions o;
    o.ModifiedFrom = ParseLocalTime("2024-01-31");
    o.ModifiedBefore = ParseLocalTime("2024-03-01T08:15:30");
    o.MinSize = 0;
    o.MaxSize = std::int64_t{3} << 30;
    o.ExcludeDirs = ".git;node_modules build";
    o.SkipBinary = true;
    o.StopOnError = true;
    auto out = store();
    SaveSearchOptions(*out, o);
    out->Save();
    const std::string file = ReadFile(dir / "Fernsweep.ini");
    EXPECT_NE(file.find("soModifiedBefore=2024-03-01T08:15:30\r\n"), std::string::npos);
    EXPECT_NE(file.find("soMaxSize=3G\r\n"), std::string::npos);

    auto in = store();
    in->Load();
    TSearchOptions loaded;
    LoadSearchOptions(*in, loaded);
    EXPECT_EQ(loaded.ModifiedFrom, o.ModifiedFrom);
    EXPECT_EQ(loaded.ModifiedBefore, o.ModifiedBefore);
    EXPECT_EQ(loaded.MinSize, 0);
    EXPECT_EQ(loaded.MaxSize, o.MaxSize);
    EXPECT_EQ(loaded.ExcludeDirs, o.ExcludeDirs);
    EXPECT_TRUE(loaded.SkipBinary && loaded.StopOnError);
    EXPECT_EQ(loaded.Description(),
              "modified on or after 2024-01-31, modified before 2024-03-01T08:15:30, at least 0 "
              "bytes, at most 3 GB, folders left out: .git;node_modules build, no binary files");

    // An unreadable date is no limit; the defaults are none at all.
    in->SetString("soModifiedFrom", "yesterday");
    TSearchOptions fresh;
    LoadSearchOptions(*in, fresh);
    EXPECT_FALSE(fresh.ModifiedFrom);
    FillDefaultLists(*in);
    LoadSearchOptions(*in, fresh);
    EXPECT_EQ(fresh.Description(), "No advanced options set.");
}

// The whole file a first run leaves behind: defaults, then the window's placement.
TEST(MainSettings, FirstRunWritesTheGoldenFile) {
    TScratchDir dir;
    TvtRegVal s;
    ConfigureMainStore(s);
    s.SetLocationProvider([&] { return TStoreLocation{dir.Path(), true, "", ""}; });
    s.Load();
    EXPECT_EQ(s.GetInteger("pnlLeftWidth"), 350);
    EXPECT_TRUE(s.GetBoolean("ReplaceWith") == false && s.GetString("ReplaceWith").empty());
    s.Save();
    s.SaveFormPlacement(TPlaceholderWindow());
    EXPECT_EQ(ReadFile(dir / "Fernsweep.ini"), DataFile("first-run.expected.ini"));
}
