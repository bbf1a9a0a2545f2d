// Shortcuts to the program, as freedesktop desktop entries (".desktop" launchers): on the
// desktop, in the applications folder (from which menus, docks and taskbars pin programs), and
// as a folder handler that file managers offer on a folder's context menu ("Send To"). The
// Windows build writes shell links (".lnk") on the desktop, in Quick Launch and in SendTo.
#pragma once

#include "operations/UTUserInterface.h"

#include <string>

namespace operations {

// What every shortcut command creates.
inline constexpr const char* kShortcutDisplayName = "Fernsweep";
inline constexpr const char* kShortcutDescription = "Fern Sweep";
#ifdef _WIN32
inline constexpr const char* kLinkFileName = "Fernsweep.lnk";
inline constexpr const char* kSendToLinkFileName = "Fernsweep.lnk";
// Longest link path accepted, terminating zero included (MAX_PATH); a longer one is a failure.
inline constexpr std::size_t kMaxLinkPath = 260;
#else
inline constexpr const char* kLinkFileName = "Fernsweep.desktop";
// The folder handler lives in the applications folder beside the taskbar launcher, so it needs
// a name of its own.
inline constexpr const char* kSendToLinkFileName = "Fernsweep-SendTo.desktop";
// Longest link path accepted, terminating zero included; a longer one is a failure.
inline constexpr std::size_t kMaxLinkPath = 4096;
#endif

// What a launcher holds beyond target and description (a shell link on Windows has none of it:
// Send To hands the selection over by itself).
struct TLinkOptions {
    std::string Name;       // "Name=": empty means the link file's name without ".desktop"
    std::string FieldCode;  // appended to the command line, e.g. "%f" for one local file
    std::string MimeType;   // "MimeType=", e.g. "inode/directory;"
    bool NoDisplay = false; // kept out of the menus (still offered for its MIME types)
};

// Writes one launcher at `linkPath` starting `target`, with the executable bit set, replacing
// a launcher already there. Returns 0 on success, else an errno code: ENAMETOOLONG for a path
// that does not fit, EILSEQ for a target or text that a desktop entry cannot hold. On Windows
// a shell link starting `target` in its own folder (platform::WriteShellLink).
int CreateShellLink(const std::string& target, const std::string& linkPath,
                    const std::string& description, const TLinkOptions& options = {});

// Builds the link path from `folder` and `linkFileName`, creates the link and tells the user.
// An empty folder (no such place known) is a failure; nothing is written then.
void CreateShortcut(TUserInterface& ui, const std::string& displayName, const std::string& target,
                    const std::string& description, const std::string& linkFileName,
                    const std::string& folder, const TLinkOptions& options = {});

// The user's special folders, each with a trailing separator, or empty when unknown.
// "Desktop", "Documents", "Download", "Music", "Pictures", "PublicShare", "Templates",
// "Videos": the user-dirs.dirs entry (XDG_<NAME>_DIR); only "Desktop" has a default, ~/Desktop.
// "AppData": $XDG_DATA_HOME, default ~/.local/share. "SendTo": its "applications" folder.
// On Windows only "Desktop", "AppData" and "SendTo", the shell's own folders.
std::string GetShellFolder(const std::string& name);
std::string GetDesktopFolder();
std::string GetSendToFolder();
// The taskbar's counterpart: the applications folder below "AppData" (on Windows, AppData's
// "Microsoft\Internet Explorer\Quick Launch").
std::string GetQuickLaunchFolder();

// `folder` and `sub` with exactly one separator between them; an empty folder stays empty.
std::string JoinFolder(const std::string& folder, const std::string& sub);

// One argument of a launcher's Exec line, quoted and escaped as desktop entries require.
// Fails (false) for text a desktop entry cannot hold: control characters, invalid UTF-8.
bool QuoteExecArgument(const std::string& argument, std::string& quoted);

// The File menu's commands; `target` is the running program's full path.
void ShortcutOnDesktop(TUserInterface& ui, const std::string& target);
void ShortcutOnSendTo(TUserInterface& ui, const std::string& target);
void ShortcutOnTaskbar(TUserInterface& ui, const std::string& target);

} // namespace operations
