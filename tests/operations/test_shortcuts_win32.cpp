// Shortcuts and special folders in the Windows build (under Wine in the cross build): shell
// links that the shell's own link object loads back, and the shell's folders.
#include "ScratchFolder.h"
#include "operations/vtShortcuts.h"
#include "platform/UPlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

namespace {

using namespace operations;

// What a saved link holds, read through IShellLinkA after IPersistFile::Load.
struct TLoadedLink {
    bool Loaded = false;
    std::string Path;
    std::string Description;
    std::string WorkingDirectory;
};

TLoadedLink LoadLink(const std::string& linkPath) {
    TLoadedLink out;
    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::wstring wide(MAX_PATH, L'\0');
    wide.resize(::MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide.data(), MAX_PATH));
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    char text[1024] = {};
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IShellLinkA, reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(wide.c_str(), STGM_READ))) {
        out.Loaded = true;
        if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, 0))) {
            out.Path = text;
        }
        if (SUCCEEDED(link->GetDescription(text, sizeof text))) {
            out.Description = text;
        }
        if (SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH))) {
            out.WorkingDirectory = text;
        }
    }
    if (file != nullptr) {
        file->Release();
    }
    if (link != nullptr) {
        link->Release();
    }
    if (SUCCEEDED(init)) {
        ::CoUninitialize();
    }
    return out;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

class TMessages : public TUserInterface {
public:
    std::vector<std::string> Shown;
    void ShowMessage(const std::string& text) override { Shown.push_back(text); }
    void ShowError(const std::string& text) override { Shown.push_back(text); }
    TAnswer AskYesNo(const std::string&) override { return TAnswer::No; }
    TAnswer AskYesNoCancel(const std::string&) override { return TAnswer::Cancel; }
    bool ChooseSaveFile(const std::string&, std::string&) override { return false; }
};

class ShellLinks : public ::testing::Test {
protected:
    void SetUp() override {
        char exe[MAX_PATH] = {};
        ASSERT_GT(::GetModuleFileNameA(nullptr, exe, MAX_PATH), 0u);
        target_ = exe;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string TargetFolder() const { return target_.substr(0, target_.find_last_of('\\')); }

    const std::string dir_ = MakeScratchFolder("fs-links-");
    std::string target_;
};

TEST_F(ShellLinks, WrittenThroughTheShellAndLoadedBack) {
    const std::string link = dir_ + "\\Fernsweep.lnk";
    ASSERT_EQ(CreateShellLink(target_, link, kShortcutDescription), 0);
    TLoadedLink loaded = LoadLink(link);
    ASSERT_TRUE(loaded.Loaded);
    EXPECT_EQ(Lower(loaded.Path), Lower(target_));
    EXPECT_EQ(loaded.Description, kShortcutDescription);
    EXPECT_EQ(Lower(loaded.WorkingDirectory), Lower(TargetFolder()));

    // A second link replaces the first.
    ASSERT_EQ(CreateShellLink(target_, link, "Another"), 0);
    loaded = LoadLink(link);
    EXPECT_EQ(loaded.Description, "Another");

    // Failures give an errno value and no file.
    const std::string lost = dir_ + "\\missing\\Fernsweep.lnk";
    EXPECT_NE(CreateShellLink(target_, lost, kShortcutDescription), 0);
    EXPECT_FALSE(platform::FileExists(lost));
    const std::string tooLong = dir_ + "\\" + std::string(kMaxLinkPath, 'x') + ".lnk";
    EXPECT_EQ(CreateShellLink(target_, tooLong, kShortcutDescription), ENAMETOOLONG);
}

TEST_F(ShellLinks, SendToCommandPutsTheLinkInTheShellFolder) {
    const std::string folder = GetSendToFolder();
    ASSERT_FALSE(folder.empty());
    const std::string link = folder + kSendToLinkFileName;
    TMessages ui;
    ShortcutOnSendTo(ui, target_);
    EXPECT_EQ(ui.Shown,
              std::vector<std::string>{
                  "A shortcut to Fernsweep has been successfully created in\r\n" + folder});
    EXPECT_EQ(Lower(LoadLink(link).Path), Lower(target_));
    std::filesystem::remove(link);
}

TEST(SpecialFolders, AreTheShellsOwnExistingFolders) {
    for (const char* name : {"Desktop", "AppData", "SendTo"}) {
        const std::string folder = GetShellFolder(name);
        ASSERT_GE(folder.size(), 4u) << name;
        EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(folder[0])) && folder[1] == ':' &&
                    folder[2] == '\\')
            << name << ": " << folder;
        EXPECT_EQ(folder.back(), '\\') << name;
        EXPECT_TRUE(platform::DirectoryExists(folder)) << name << ": " << folder;
    }
    EXPECT_EQ(GetShellFolder("Documents"), "");
    EXPECT_EQ(GetShellFolder("NoSuchFolder"), "");
    EXPECT_EQ(GetQuickLaunchFolder(),
              GetShellFolder("AppData") + "Microsoft\\Internet Explorer\\Quick Launch\\");
}

} // namespace
