// The desktop shell's services: opening documents, folders, a text editor and web addresses.
// The commands of the result tree and of the Help menu reach the shell only through TShell, so
// tests record the requests and a Win32 implementation (ShellExecute) can take the place of the
// freedesktop one.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace platform {

class TShell {
public:
    virtual ~TShell() = default;

    // Opens a document with the application associated with its type.
    virtual bool OpenDocument(const std::string& path) = 0;
    // Shows `folder` in the file manager; when `fileToSelect` is not empty, shows that file
    // selected in it where the file manager can do so.
    virtual bool OpenFolder(const std::string& folder, const std::string& fileToSelect) = 0;
    // Opens the file in the application associated with plain text, whatever its own type.
    virtual bool OpenInTextEditor(const std::string& path) = 0;
    // Opens the file in a text editor at `line` and `column` (from 1; the column counts
    // characters): with `editorCommand` when it is not empty (%f %l %c), else with the default
    // text editor when its line arguments are known, else as OpenInTextEditor does. False when
    // nothing could be started.
    virtual bool OpenInTextEditorAt(const std::string& path, int line, int column,
                                    const std::string& editorCommand) {
        (void)line;
        (void)column;
        (void)editorCommand;
        return OpenInTextEditor(path);
    }
    // Opens a web address in the default browser.
    virtual bool OpenUrl(const std::string& url) = 0;
};

// The freedesktop implementation: xdg-open, the org.freedesktop.FileManager1 D-Bus interface,
// and the text/plain association of xdg-mime. Programs are looked up on PATH when called.
std::unique_ptr<TShell> CreateDesktopShell();

// Process helpers shared by the shell and the launcher writer. Programs are looked up on PATH
// and started directly (posix_spawnp), never through a shell; every argument is passed as the
// bytes given. Standard input is /dev/null.

// The outcome of a program run to its end.
struct TRunResult {
    bool Started = false;  // the program could be started at all
    bool Finished = false; // it ended within the time allowed (else it was killed)
    int ExitCode = -1;     // its exit status when it ended normally, else -1
    bool Succeeded() const { return Started && Finished && ExitCode == 0; }
};

// Runs a program and waits for it, at most `timeoutMs`; a program still running then is killed.
// With `output`, its standard output is captured there.
TRunResult RunProgram(const std::vector<std::string>& argv, int timeoutMs,
                      std::string* output = nullptr);

// Starts a program in a session of its own and lets it go on running. Waits at most `graceMs`
// for an early exit: a program that ends that soon counts as successful only with status 0;
// one still running counts as started, and is reaped in the background when it ends.
bool LaunchProgram(const std::vector<std::string>& argv, int graceMs);

// A file:// URI for an absolute path: every byte other than the unreserved characters and '/'
// percent-encoded, so the URI holds no quote, blank or comma.
std::string FileUri(const std::string& path);

} // namespace platform
