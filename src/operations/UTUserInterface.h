// What the result operations and the window's commands need of the person at the screen:
// messages, questions and file choices. The desktop program answers with real dialogs; tests
// answer from a script.
#pragma once

#include <string>
#include <vector>

namespace operations {

enum class TAnswer { Yes, No, Cancel };

class TUserInterface {
public:
    virtual ~TUserInterface() = default;

    // A modal information box with an OK button; returns when it is closed.
    virtual void ShowMessage(const std::string& text) = 0;
    // A modal error box titled with the application's title (errors that ended a command).
    virtual void ShowError(const std::string& text) = 0;
    // A warning box with Yes and No.
    virtual TAnswer AskYesNo(const std::string& text) = 0;
    // A question box with Yes and No, No by default: for a step that is safe but not small.
    // Unless overridden, asked as AskYesNo asks.
    virtual TAnswer AskQuestion(const std::string& text) { return AskYesNo(text); }
    // A warning box with Yes, No and Cancel.
    virtual TAnswer AskYesNoCancel(const std::string& text) = 0;
    // The save dialog: default suffix "log", filter "Log Files (*.log)" and "All Files (*.*)",
    // no overwrite warning of its own. False when cancelled.
    virtual bool ChooseSaveFile(const std::string& initialFolder, std::string& fileName) = 0;
    // The failures a run went on after, shown together once it has ended: a heading with
    // their number, then one line each. Unless overridden, one message box holds them all.
    virtual void ShowFailures(const std::string& heading, const std::vector<std::string>& lines) {
        std::string text = heading;
        for (const std::string& line : lines) {
            text += "\r\n" + line;
        }
        ShowMessage(text);
    }
};

} // namespace operations
