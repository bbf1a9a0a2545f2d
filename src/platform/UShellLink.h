// Windows shortcuts (.lnk files) and the shell's special folders. Only the Windows build
// defines these (win32/UShellLink.cpp); elsewhere the shortcut commands write freedesktop
// launchers and read the XDG folders (operations/vtShortcuts).
#pragma once

#include <string>

namespace platform {

// What a shortcut starts.
struct TShellLinkFields {
    std::string Target;           // the program's full path
    std::string Arguments;        // its command line after the program, may be empty
    std::string Description;      // the tooltip
    std::string WorkingDirectory; // may be empty
};

// Writes the shortcut `linkPath` through the shell's link object (IShellLinkA, saved with
// IPersistFile), replacing one already there. Returns 0, the file then existing, or an errno
// value: ENAMETOOLONG for a path of MAX_PATH or more, EILSEQ for a link path the ANSI code page
// cannot convert, EINVAL for an empty target, else the system's reason.
int WriteShellLink(const std::string& linkPath, const TShellLinkFields& fields);

// The user's shell folder "Desktop", "AppData" (the roaming application data) or "SendTo", with
// a trailing '\'; empty for any other name or when the shell does not know it.
std::string ShellFolderPath(const std::string& name);

} // namespace platform
