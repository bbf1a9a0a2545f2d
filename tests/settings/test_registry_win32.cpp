// The store's registry mode in the Windows build (under Wine in the cross build): values land in
// the registry itself, one sub-key per section, and read back by the store's own rules.
#include "platform/URegistry.h"
#include "settings/vtRegVal.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <utility>
#include <windows.h>

namespace {

using namespace settings;
using Lines = std::vector<std::string>;
using TRaw = std::pair<DWORD, std::string>;

class RegistryStore : public ::testing::Test {
protected:
    const std::string parent_ =
        "Software\\Fernsweep-test-" + std::to_string(::GetCurrentProcessId());
    const std::string key_ = parent_ + "\\App";

    void TearDown() override {
        for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            ::RegDeleteTreeA(root, parent_.c_str());
            ::RegDeleteKeyA(root, parent_.c_str());
        }
    }
    // The key path as a user might write it: stray separators are dropped.
    void Configure(TvtRegVal& store, TRegRoot root = rgCurrentUser) const {
        store.UseRegistry = true;
        store.RegistryRoot = root;
        store.IniFileName = "\\" + parent_ + "\\";
        store.IniSection = "App";
    }
    // A value through the raw API: its type and its bytes without the terminating NUL.
    static TRaw Raw(HKEY root, const std::string& path, const std::string& name) {
        HKEY key = nullptr;
        if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return {REG_NONE, "(no key)"};
        }
        char data[256] = {};
        DWORD size = sizeof data;
        DWORD type = REG_NONE;
        const LSTATUS status = ::RegQueryValueExA(key, name.c_str(), nullptr, &type,
                                                  reinterpret_cast<BYTE*>(data), &size);
        ::RegCloseKey(key);
        if (status != ERROR_SUCCESS) {
            return {REG_NONE, "(no value)"};
        }
        return {type, std::string(data, size > 0 && data[size - 1] == '\0' ? size - 1 : size)};
    }
    void SetRaw(const std::string& path, const std::string& name, DWORD type, const void* data,
                DWORD size) const {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE,
                                    nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(
            ::RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
        ::RegCloseKey(key);
    }
};

TEST_F(RegistryStore, ValuesAreStringsInTheRegistryAndReadBack) {
    TvtRegVal store;
    Configure(store);
    EXPECT_EQ(store.BackendFileName(), "HKEY_CURRENT_USER\\" + key_);
    store.SetBooleans({"Flag=1"});
    store.SetFloats({"Ratio=0.25"});
    store.SetIntegers({"Count=-7", "Big=8589934592"});
    store.SetStrings({"Mask= *.txt ", "Quoted=\"a\"", "Empty="});
    store.Save();

    EXPECT_EQ(Raw(HKEY_CURRENT_USER, key_ + "\\Booleans", "Flag"), TRaw(REG_SZ, "1"));
    EXPECT_EQ(Raw(HKEY_CURRENT_USER, key_ + "\\Floats", "Ratio"), TRaw(REG_SZ, "0.25"));
    EXPECT_EQ(Raw(HKEY_CURRENT_USER, key_ + "\\Integers", "Count"), TRaw(REG_SZ, "-7"));
    EXPECT_EQ(Raw(HKEY_CURRENT_USER, key_ + "\\Integers", "Big"), TRaw(REG_SZ, "8589934592"));
    EXPECT_EQ(Raw(HKEY_CURRENT_USER, key_ + "\\Strings", "Mask"), TRaw(REG_SZ, " *.txt "));
    EXPECT_EQ(Raw(HKEY_CURRENT_USER, key_ + "\\Strings", "Quoted"), TRaw(REG_SZ, "\"a\""));
    EXPECT_EQ(Raw(HKEY_CURRENT_USER, key_ + "\\Strings", "Empty"), TRaw(REG_SZ, ""));
    EXPECT_EQ(Raw(HKEY_LOCAL_MACHINE, key_ + "\\Strings", "Mask").first, REG_NONE);

    TvtRegVal reader;
    Configure(reader);
    reader.SetBooleans({"Flag=0"});
    reader.SetFloats({"Ratio=1"});
    reader.SetIntegers({"Count=0", "Big=0"});
    reader.SetStrings({"Mask=", "Quoted=", "Empty=default"});
    reader.Load();
    EXPECT_EQ(reader.Booleans(), Lines{"Flag=1"});
    EXPECT_EQ(reader.Floats(), Lines{"Ratio=0.25"});
    // Loaded integers are 32-bit, as from an INI file.
    EXPECT_EQ(reader.Integers(), (Lines{"Count=-7", "Big=0"}));
    EXPECT_EQ(reader.Strings(), (Lines{"Mask= *.txt ", "Quoted=\"a\"", "Empty="}));
}

TEST_F(RegistryStore, MissingValuesKeepDefaultsAndNumbersReadAsText) {
    TvtRegVal store;
    Configure(store);
    store.SetIntegers({"Count=5"});
    store.SetStrings({"Mask=*.c"});
    store.Save();
    platform::TRegistryKey integers =
        platform::TRegistryKey::Open(platform::TRegistryRoot::CurrentUser, key_ + "\\Integers",
                                     platform::TRegistryAccess::ReadWrite);
    ASSERT_TRUE(integers.IsOpen());
    EXPECT_TRUE(integers.DeleteValue("Count"));
    EXPECT_EQ(integers.DeleteValue("Count").Error, ENOENT);
    // What another program may have put there.
    const DWORD minusOne = 0xFFFFFFFF;
    const DWORD two = 2;
    const unsigned char bytes[] = {1, 2};
    SetRaw(key_ + "\\Integers", "Dword", REG_DWORD, &minusOne, sizeof minusOne);
    SetRaw(key_ + "\\Integers", "Binary", REG_BINARY, bytes, sizeof bytes);
    SetRaw(key_ + "\\Booleans", "On", REG_DWORD, &two, sizeof two);

    TvtRegVal reader;
    Configure(reader);
    reader.SetBooleans({"On=0", "Off=1"});
    reader.SetIntegers({"Count=42", "Dword=0", "Binary=9"});
    reader.SetStrings({"Mask=", "Absent=keep"});
    reader.Load();
    EXPECT_EQ(reader.Booleans(), (Lines{"On=1", "Off=1"}));
    EXPECT_EQ(reader.Integers(), (Lines{"Count=42", "Dword=-1", "Binary=9"}));
    EXPECT_EQ(reader.Strings(), (Lines{"Mask=*.c", "Absent=keep"}));

    // Loading from a key never written keeps every default and creates nothing.
    TvtRegVal fresh;
    Configure(fresh);
    fresh.IniSection = "Other";
    fresh.SetIntegers({"Count=3"});
    fresh.Load();
    EXPECT_EQ(fresh.Integers(), Lines{"Count=3"});
    EXPECT_EQ(Raw(HKEY_CURRENT_USER, parent_ + "\\Other", "").second, "(no key)");
}

TEST_F(RegistryStore, TheMachineRootIsTheStoresRoot) {
    TvtRegVal store;
    Configure(store, rgLocalMachine);
    EXPECT_EQ(store.BackendFileName(), "HKEY_LOCAL_MACHINE\\" + key_);
    store.SetIntegers({"Count=3"});
    store.Save();
    EXPECT_EQ(Raw(HKEY_LOCAL_MACHINE, key_ + "\\Integers", "Count"), TRaw(REG_SZ, "3"));
    EXPECT_EQ(Raw(HKEY_CURRENT_USER, key_ + "\\Integers", "Count").first, REG_NONE);
}

} // namespace
