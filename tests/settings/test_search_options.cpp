#include "settings/UTSearchOptions.h"

#include <gtest/gtest.h>

using settings::TSearchOptions;

namespace {

constexpr int kReadOnly = 0x01, kHidden = 0x02, kSystem = 0x04, kArchive = 0x20;

TSearchOptions With(int archive, int readOnly, int system, int hidden) {
    TSearchOptions o;
    o.SetArchive(archive);
    o.SetReadOnly(readOnly);
    o.SetSystem(system);
    o.SetHidden(hidden);
    return o;
}

} // namespace

TEST(TSearchOptions, NoFiltersPassEverything) {
    const TSearchOptions o;
    for (int attr : {0, kReadOnly, kArchive | kHidden | kSystem | kReadOnly, 0x3F}) {
        EXPECT_TRUE(o.Accepts(attr)) << attr;
    }
    EXPECT_EQ(o.Description(), "No advanced options set.");
}

TEST(TSearchOptions, SetAndUnsetTestTheirOwnBit) {
    EXPECT_TRUE(With(1, 0, 0, 0).Accepts(0x21));
    EXPECT_FALSE(With(1, 0, 0, 0).Accepts(0x01));
    EXPECT_FALSE(With(2, 0, 0, 0).Accepts(0x21));
    EXPECT_TRUE(With(2, 0, 0, 0).Accepts(0x01));
    const TSearchOptions both = With(0, 1, 0, 1);
    EXPECT_TRUE(both.Accepts(kReadOnly | kHidden));
    EXPECT_FALSE(both.Accepts(kReadOnly));
    EXPECT_FALSE(both.Accepts(kHidden));
    EXPECT_TRUE(With(0, 0, 2, 0).Accepts(kArchive));
    EXPECT_FALSE(With(0, 0, 2, 0).Accepts(kSystem));
}

TEST(TSearchOptions, OutOfRangeValuesAreKeptAndLetNothingPass) {
    for (int bad : {3, -1}) {
        const TSearchOptions o = With(0, 0, bad, 0);
        EXPECT_EQ(o.System(), bad);
        for (int attr = 0; attr <= 0x3F; ++attr) {
            EXPECT_FALSE(o.Accepts(attr));
        }
        EXPECT_EQ(o.Description(), "No advanced options set.");
    }
    EXPECT_EQ(With(1, 0, 3, 2).Description(), "Archive attribute set, not a Hidden file");
}

TEST(TSearchOptions, DescriptionListsTheActiveFiltersInOrder) {
    EXPECT_EQ(With(0, 0, 0, 2).Description(), "not a Hidden file");
    EXPECT_EQ(With(1, 1, 1, 1).Description(),
              "Archive attribute set, Read-Only, System file, Hidden file");
    EXPECT_EQ(With(2, 2, 2, 2).Description(),
              "Archive not set, Read/Write, not a System file, not a Hidden file");
}
