// The commands that hand a result, the help file or a web page to the desktop shell.
#pragma once

#include "operations/UTUserInterface.h"

#include <string>

namespace model {
class TTreeNode;
}
namespace platform {
class TShell;
}

namespace operations {

// The maker's web addresses, all in one place.
inline constexpr const char* kHomepageUrl = "https://www.vantrel-software.example/";
inline constexpr const char* kUpdatePath = "/utils_6.asp";
inline constexpr const char* kVersionText = "v0.95";
inline constexpr const char* kRegExSyntaxPath = "/TRegExpr/Help/RegExp_Syntax.html";
// The product name and version, as the About box shows them.
inline constexpr const char* kProductNameVersion = "Fernsweep v0.95";

// The homepage's host with a path (and query) of its own.
std::string SiteUrl(const std::string& pathAndQuery);
// "https://.../utils_6.asp?version=v0.95": tells the site which version asks.
std::string UpdateCheckUrl();
std::string RegExSyntaxUrl();

// The paths the result-tree commands take from the selected node, decided by the class of its
// object: a folder gives its Directory, a file its FullPath, an occurrence its parent file's.
// False when the command does not apply to the node (none selected, a folder for Open/View).
bool ExploreTarget(const model::TTreeNode* node, std::string& folder, std::string& fileToSelect);
bool DocumentTarget(const model::TTreeNode* node, std::string& path);

// Where "Open at Line" goes: an occurrence's file at its line and character column; a file
// node's first occurrence, or its first line when it has none. Line and column count from 1.
bool LineTarget(const model::TTreeNode* node, std::string& path, int& line, int& column);

// Opens the selected file or occurrence in the text editor at its line; tells the user when
// no editor could be started. `editorCommand` is the user's own command, or empty.
void OpenAtLine(const model::TTreeNode* selected, platform::TShell& shell, TUserInterface& ui,
                const std::string& editorCommand);

// The result tree's pop-up commands; nothing selected does nothing, and a request the shell
// cannot carry out is ignored.
void ExploreFolder(const model::TTreeNode* selected, platform::TShell& shell);
void ShellOpenFile(const model::TTreeNode* selected, platform::TShell& shell);
void ViewInTextEditor(const model::TTreeNode* selected, platform::TShell& shell);

// The help file beside the program.
std::string HelpFilePath(const std::string& exeDirectory);
// Opens the help file in the browser; tells the user the expected path when it cannot.
void OpenQuickHelp(platform::TShell& shell, TUserInterface& ui, const std::string& exeDirectory);

void OpenHomepage(platform::TShell& shell);
void CheckForUpdates(platform::TShell& shell);
void OpenRegExSyntaxPage(platform::TShell& shell);

} // namespace operations
