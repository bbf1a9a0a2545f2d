#include "SettingsTestUtil.h"
#include "settings/vtRegVal.h"

#include <sys/stat.h>

#include <vector>

using namespace settings;

namespace {

using Lines = std::vector<std::string>;

// A store on one file in a scratch folder, collecting the messages it reports.
struct TStoreFixture : ::testing::Test {
    TScratchDir dir;
    TvtRegVal store;
    Lines messages;

    TStoreFixture() {
        store.IniFileName = dir / "test.ini";
        store.UseStartUpDir = false;
        store.SetMessageHook([this](const std::string& m) { messages.push_back(m); });
    }
    std::string File() const { return ReadFile(dir / "test.ini"); }
    void Given(const std::string& ini) { WriteFile(dir / "test.ini", ini); }
};

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ESettingsError& e) {
        return e.what();
    }
    return "(no error)";
}

// Records what the store does to a window.
class TFakeWindow : public TPlacementTarget {
public:
    std::string name = "frmMain";
    bool boundsKnown = true;
    TPlacementRect bounds{10, 20, 110, 220};
    TWindowState state = wsNormal;
    Lines calls;

    std::string Name() const override { return name; }
    bool GetNormalBounds(TPlacementRect& r) const override {
        r = bounds;
        return boundsKnown;
    }
    TWindowState WindowState() const override { return state; }
    void SetWindowState(TWindowState s) override { calls.push_back("State=" + std::to_string(s)); }
    void SetLeft(std::int32_t v) override { calls.push_back("Left=" + std::to_string(v)); }
    void SetTop(std::int32_t v) override { calls.push_back("Top=" + std::to_string(v)); }
    void SetWidth(std::int32_t v) override { calls.push_back("Width=" + std::to_string(v)); }
    void SetHeight(std::int32_t v) override { calls.push_back("Height=" + std::to_string(v)); }
};

} // namespace

// ---- conversions ----

TEST(Conversions, IntegersAreStrictDecimal) {
    std::int64_t v = 0;
    EXPECT_TRUE(TryParseInt64("-9223372036854775808", v));
    EXPECT_EQ(v, INT64_MIN);
    EXPECT_TRUE(TryParseInt64("+42", v));
    EXPECT_EQ(v, 42);
    for (const char* bad :
         {"", "+", "-", "+-1", "9223372036854775808", " 1", "1 ", "0x10", "1.0"}) {
        EXPECT_FALSE(TryParseInt64(bad, v)) << bad;
    }
    EXPECT_EQ(LowInt32(4294967297LL), 1);
    EXPECT_EQ(LowInt32(2147483648LL), INT32_MIN);
    EXPECT_EQ(LowInt32(-1), -1);
}

TEST(Conversions, FloatsUseGeneralFormWith15DigitsAndADot) {
    EXPECT_EQ(FloatToText(0.1), "0.1");
    EXPECT_EQ(FloatToText(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(FloatToText(-2.5), "-2.5");
    EXPECT_EQ(FloatToText(1e20), "1e+20");
    double v = 0;
    EXPECT_TRUE(TryParseFloat("1.5E3", v));
    EXPECT_EQ(v, 1500);
    EXPECT_FALSE(TryParseFloat("1,5", v));
}

TEST(Conversions, BooleansFromNumbersAndWords) {
    EXPECT_TRUE(TextToBool("2"));
    EXPECT_TRUE(TextToBool("TRUE"));
    EXPECT_TRUE(TextToBool("-0.5"));
    EXPECT_FALSE(TextToBool("0.0"));
    EXPECT_FALSE(TextToBool("fAlSe"));
    EXPECT_EQ(ErrorOf([] { TextToBool("yes"); }), "'yes' is not a valid boolean value");
}

// ---- lists and named access ----

TEST(TvtRegValLists, GetBooleanAndBooleanAtDifferOnlyForEmpty) {
    TvtRegVal s;
    s.SetBooleans({"Flag=", "Zero=0", "Other=x"});
    EXPECT_TRUE(s.GetBoolean("Flag"));
    EXPECT_FALSE(s.BooleanAt(0));
    EXPECT_FALSE(s.GetBoolean("zero"));
    EXPECT_FALSE(s.BooleanAt(1));
    EXPECT_TRUE(s.GetBoolean("Other"));
    EXPECT_TRUE(s.BooleanAt(2));
}

TEST(TvtRegValLists, NamesIgnoreCaseAndSettersUseTheCallersSpelling) {
    TvtRegVal s;
    s.SetStrings({"FileMask=*.*", "filemask=second"});
    EXPECT_EQ(s.GetString("filemask"), "*.*");
    s.SetString("FILEMASK", "");
    EXPECT_EQ(s.Strings(), (Lines{"FILEMASK=", "filemask=second"}));
    EXPECT_EQ(s.GetString("FileMask"), "");
    s.SetStringAt(0, "a=b");
    EXPECT_EQ(s.Strings()[0], "FILEMASK=a=b");
    EXPECT_EQ(s.GetString("filemask"), "a=b");
}

TEST(TvtRegValLists, UnknownNamesAndBadValuesRaiseTheirTexts) {
    TvtRegVal s;
    s.SetBooleans({"B=1"});
    s.SetIntegers({"N=abc"});
    s.SetFloats({"F=1,5"});
    s.SetStrings({"S=x"});
    EXPECT_EQ(ErrorOf([&] { s.GetBoolean("X"); }), "Boolean Field \"X\" not found");
    EXPECT_EQ(ErrorOf([&] { s.SetBoolean("X", true); }), "Boolean Field \"X\" not found");
    EXPECT_EQ(ErrorOf([&] { s.SetInteger("x", 1); }), "Integer Field \"x\" not found");
    EXPECT_EQ(ErrorOf([&] { s.SetString("Y", ""); }), "String Field \"Y\" not found");
    EXPECT_EQ(ErrorOf([&] { s.GetInteger("n"); }),
              "Error in conversion of integer \"n\", Value = \"abc\"");
    EXPECT_EQ(ErrorOf([&] { s.IntegerAt(0); }),
              "Error in conversion of integer[0], Value = \"abc\"");
    EXPECT_EQ(ErrorOf([&] { s.FloatAt(0); }), "Error in conversion of float[0], Value = \"1,5\"");
    EXPECT_EQ(s.Booleans(), Lines{"B=1"});
    EXPECT_EQ(s.Strings(), Lines{"S=x"});
}

// ---- Load and Save ----

TEST_F(TStoreFixture, FirstRunKeepsDefaultsThenSaveWritesEveryEntryInOrder) {
    store.SetBooleans({"On=5", "Off=", "Zero=0"});
    store.SetFloats({"Ratio=0.25"});
    store.SetIntegers({"Width=350", "Neg=-7"});
    store.SetStrings({"Mask=*.*", "Empty="});
    store.Load();
    EXPECT_EQ(store.Booleans(), (Lines{"On=1", "Off=0", "Zero=0"}));
    EXPECT_EQ(store.Integers(), (Lines{"Width=350", "Neg=-7"}));
    EXPECT_EQ(store.Strings(), (Lines{"Mask=*.*", "Empty="}));
    EXPECT_FALSE(std::filesystem::exists(dir / "test.ini"));
    store.Save();
    EXPECT_EQ(File(), "[Booleans]\r\nOn=1\r\nOff=0\r\nZero=0\r\n[Floats]\r\nRatio=0.25\r\n"
                      "[Integers]\r\nWidth=350\r\nNeg=-7\r\n[Strings]\r\nMask=*.*\r\nEmpty=\r\n");
    EXPECT_FALSE(store.IsOpen());
}

TEST_F(TStoreFixture, StoredEmptyStringIsKeptWhileMissingKeyKeepsDefault) {
    Given("[Strings]\nDirectory=\nExtra=never added\n");
    store.SetStrings({"Directory=/home/", "FileMask=*.*"});
    store.Load();
    EXPECT_EQ(store.Strings(), (Lines{"Directory=", "FileMask=*.*"}));
}

TEST_F(TStoreFixture, StoredBooleans) {
    Given("[Booleans]\nTwo=2\nWord=TRUE\nEmpty=\nBad=yes\nAfter=1\n");
    store.SetBooleans({"Two=0", "Word=0", "Empty=1", "Bad=0", "After=0"});
    EXPECT_EQ(ErrorOf([&] { store.Load(); }), "'yes' is not a valid boolean value");
    // The lines before the bad one hold their loaded values, the rest keep theirs.
    EXPECT_EQ(store.Booleans(), (Lines{"Two=1", "Word=1", "Empty=1", "Bad=0", "After=0"}));
    EXPECT_FALSE(store.IsOpen());
}

TEST_F(TStoreFixture, UnreadableIntegerIsReportedAndKeepsTheDefault) {
    Given("[Integers]\npnlLeftWidth=abc\nBig=4294967297\nHuge=99999999999999999999\n");
    store.SetIntegers({"pnlLeftWidth=350", "Big=0", "Huge=5"});
    store.Load();
    EXPECT_EQ(store.Integers(), (Lines{"pnlLeftWidth=350", "Big=1", "Huge=5"}));
    EXPECT_EQ(messages, (Lines{"Error reading Integer value \"Integers\\pnlLeftWidth\". Value = "
                               "\"abc\". Value set to 350",
                               "Error reading Integer value \"Integers\\Huge\". Value = "
                               "\"99999999999999999999\". Value set to 5"}));
}

TEST_F(TStoreFixture, FloatsLoadAndReportTheirReadErrors) {
    Given("[Floats]\nA=2.5\nB=x\n");
    store.SetFloats({"A=0", "B=1.5"});
    store.Load();
    EXPECT_EQ(store.Floats(), (Lines{"A=2.5", "B=1.5"}));
    EXPECT_EQ(messages,
              Lines{"Error reading Float value \"Floats\\B\". Value = \"x\". Value set to 1.5"});
}

TEST_F(TStoreFixture, EmptiedStringKeepsItsLineAndIsSavedAsKeyEquals) {
    Given("[Strings]\nFileMask=*.*\nOther=1\n");
    store.SetStrings({"FileMask=*.*", "Other=1"});
    store.SetString("filemask", "");
    EXPECT_EQ(store.GetString("FileMask"), "");
    store.Save();
    EXPECT_EQ(File(), "[Strings]\nFileMask=\nOther=1\n");
}

TEST_F(TStoreFixture, BadListValueEndsSaveAfterTheEntriesBeforeIt) {
    store.SetBooleans({"B=1"});
    store.SetIntegers({"Good=1", "Bad=x", "Later=2"});
    EXPECT_EQ(ErrorOf([&] { store.Save(); }), "Error in conversion of integer[1], Value = \"x\"");
    EXPECT_EQ(File(), "[Booleans]\r\nB=1\r\n[Integers]\r\nGood=1\r\n");
    EXPECT_FALSE(store.IsOpen());
}

TEST_F(TStoreFixture, IniSectionPrefixesFileSectionsButNotMessages) {
    store.IniSection = "X";
    store.SetBooleans({"B=1"});
    store.SetIntegers({"N=1"});
    store.Save();
    TFakeWindow w;
    store.SaveFormPlacement(w);
    EXPECT_EQ(File(), "[X\\Booleans]\r\nB=1\r\n[X\\Integers]\r\nN=1\r\n[X\\frmMain]\r\nLeft=10\r\n"
                      "Top=20\r\nWidth=100\r\nHeight=200\r\nWinState=0\r\n");
    Given("[Integers]\nN=5\n[X\\Integers]\nN=bad\n");
    store.Load();
    EXPECT_EQ(
        messages,
        Lines{"Error reading Integer value \"Integers\\N\". Value = \"bad\". Value set to 1"});
}

TEST_F(TStoreFixture, SaveToAFileThatRefusesWritesRaisesItsPath) {
    store.SetBooleans({"B=1"});
    Given("[Booleans]\nB=0\n");
    ::chmod((dir / "test.ini").c_str(), 0444);
    EXPECT_EQ(ErrorOf([&] { store.Save(); }), "Unable to write to " + (dir / "test.ini"));
    EXPECT_EQ(File(), "[Booleans]\nB=0\n");
    store.IniFileName = dir / "test.ini/below";
    EXPECT_EQ(ErrorOf([&] { store.Save(); }), "Unable to write to " + (dir / "test.ini/below"));
    TFakeWindow w;
    EXPECT_EQ(ErrorOf([&] { store.SaveFormPlacement(w); }),
              "Unable to write to " + (dir / "test.ini/below"));
}

// ---- window placement ----

TEST_F(TStoreFixture, PlacementRoundTripStoresTheNormalRectOfAMaximizedWindow) {
    TFakeWindow saved;
    saved.state = wsMaximized;
    store.SaveFormPlacement(saved);
    EXPECT_EQ(File(),
              "[frmMain]\r\nLeft=10\r\nTop=20\r\nWidth=100\r\nHeight=200\r\nWinState=2\r\n");
    TFakeWindow restored;
    store.RestoreFormPlacement(restored);
    // The rectangle goes in first, so leaving the maximized state returns to it.
    EXPECT_EQ(restored.calls, (Lines{"Left=10", "Top=20", "Width=100", "Height=200", "State=2"}));
    restored.calls.clear();
    store.RestoreFormPlacement(restored, false);
    EXPECT_EQ(restored.calls, (Lines{"Left=10", "Top=20", "State=2"}));
}

TEST_F(TStoreFixture, PlacementRestoreOfPartialOrBadValues) {
    TFakeWindow w;
    Given("[frmMain]\nLeft=-5\nTop=7\n");
    store.RestoreFormPlacement(w);
    EXPECT_EQ(w.calls, (Lines{"Left=-5", "Top=7"}));
    w.calls.clear();
    Given("[frmMain]\nLeft=abc\nTop=7\nWidth=300\nWinState=0\n");
    store.RestoreFormPlacement(w);
    EXPECT_EQ(w.calls, (Lines{"State=0", "Top=7", "Width=300"}));
    EXPECT_EQ(messages, Lines{"Error reading Integer value \"frmMain\\Left\". Value = \"abc\". "
                              "Value set to 33554431"});
    w.calls.clear();
    Given("[frmMain]\nWinState=7\n");
    store.RestoreFormPlacement(w);
    EXPECT_EQ(w.calls, Lines{"State=7"});
}

TEST_F(TStoreFixture, UnknownBoundsWriteNothing) {
    TFakeWindow w;
    w.boundsKnown = false;
    store.SaveFormPlacement(w);
    EXPECT_FALSE(std::filesystem::exists(dir / "test.ini"));
}

// ---- where the file lives ----

TEST(StoreLocation, StartUpDirFallsBackToTheUsersConfigFolder) {
    TStoreLocation loc{"/opt/fs/", true, "/xdg", "/home/u"};
    EXPECT_EQ(IniFilePath("Fernsweep.ini", true, loc), "/opt/fs/Fernsweep.ini");
    EXPECT_EQ(IniFilePath("rel/x.ini", false, loc), "rel/x.ini");
    loc.ExeDirectoryWritable = false;
    EXPECT_EQ(IniFilePath("Fernsweep.ini", true, loc), "/xdg/fernsweep/Fernsweep.ini");
    loc.XdgConfigHome = "relative"; // not absolute: ignored
    EXPECT_EQ(IniFilePath("Fernsweep.ini", true, loc), "/home/u/.config/fernsweep/Fernsweep.ini");
    loc.Home.clear();
    EXPECT_EQ(IniFilePath("Fernsweep.ini", true, loc), "/opt/fs/Fernsweep.ini");
}

TEST(StoreLocation, UnwritableProgramFolderSavesIntoANewConfigFolder) {
    TScratchDir dir;
    TvtRegVal s;
    s.IniFileName = "Fernsweep.ini";
    s.SetLocationProvider([&] { return TStoreLocation{dir / "bin/", false, "", dir / "home"}; });
    s.SetStrings({"Mask=*.txt"});
    s.Save();
    EXPECT_EQ(ReadFile(dir / "home/.config/fernsweep/Fernsweep.ini"),
              "[Strings]\r\nMask=*.txt\r\n");
}

// ---- the registry stand-in (Windows keeps the keys in its registry: test_registry_win32) ----

#ifdef _WIN32
#define SKIP_WHERE_THE_REGISTRY_IS_REAL() GTEST_SKIP() << "the Windows build uses the registry"
#else
#define SKIP_WHERE_THE_REGISTRY_IS_REAL() (void)0
#endif

TEST(RegistryBackend, KeysMapOntoFilesBelowTheConfigFolder) {
    const TStoreLocation loc{"/opt/fs/", true, "/xdg", ""};
    EXPECT_EQ(RegistryKeyFilePath(rgCurrentUser, "Software\\Vendor\\Fernsweep", "", loc),
              "/xdg/fernsweep/registry/HKEY_CURRENT_USER/Software/Vendor/Fernsweep.ini");
    EXPECT_EQ(RegistryKeyFilePath(rgLocalMachine, "\\Software\\..\\App\\", "Main", loc),
              "/xdg/fernsweep/registry/HKEY_LOCAL_MACHINE/Software/App/Main.ini");
    EXPECT_EQ(RegistryKeyFilePath(rgCurrentUser, "", "", loc),
              "/xdg/fernsweep/registry/HKEY_CURRENT_USER.ini");
    EXPECT_EQ(RegistryKeyFilePath(rgCurrentUser, "A", "", TStoreLocation{}), "");
}

TEST(RegistryBackend, RoundTripWithUnprefixedSections) {
    SKIP_WHERE_THE_REGISTRY_IS_REAL();
    TScratchDir dir;
    TvtRegVal s;
    s.UseRegistry = true;
    s.IniFileName = "Software\\Fernsweep";
    s.IniSection = "Main";
    s.SetLocationProvider([&] { return TStoreLocation{"", false, dir.Path(), ""}; });
    s.SetIntegers({"N=3"});
    s.Save();
    EXPECT_EQ(ReadFile(dir / "fernsweep/registry/HKEY_CURRENT_USER/Software/Fernsweep/Main.ini"),
              "[Integers]\r\nN=3\r\n");
    s.SetInteger("N", 0);
    s.Load();
    EXPECT_EQ(s.GetInteger("N"), 3);
}

TEST(RegistryBackend, NoConfigFolderMeansTheStoreSilentlyDoesNothing) {
    SKIP_WHERE_THE_REGISTRY_IS_REAL();
    TvtRegVal s;
    s.UseRegistry = true;
    s.IniFileName = "Software\\Fernsweep";
    s.SetLocationProvider([] { return TStoreLocation{}; });
    s.SetIntegers({"N=3"});
    EXPECT_FALSE(s.OpenStore());
    s.Save();
    s.Load();
    EXPECT_EQ(s.Integers(), Lines{"N=3"});
    TFakeWindow w;
    s.SaveFormPlacement(w);
    s.RestoreFormPlacement(w);
    EXPECT_TRUE(w.calls.empty());
}
