// fernsweep-cli: one search run from the command line, with hooks of its own in place of the
// main window's. Report lines and the summary go to standard output; every message the window
// would show in a box goes to standard error as it happens.
#include "UCliOptions.h"
#include "UCliReport.h"
#include "UPlatform.h"
#include "URegexTester.h"
#include "UTResultTree.h"
#include "UTSearchEngine.h"
#include "UTSearchOptions.h"
#include "vtStringTokenizer.h"

#include <exception>
#include <string>
#include <string_view>
#include <vector>

#ifndef FERNSWEEP_VERSION
#define FERNSWEEP_VERSION "0.95"
#endif

namespace {

constexpr int kExitFound = 0;
constexpr int kExitNothing = 1;
constexpr int kExitError = 2;

// Buffered writes to a standard stream; standard output can take millions of report lines.
class TFdWriter {
public:
    explicit TFdWriter(platform::TStdStream stream) : stream_(stream) {
        buf_.reserve(kChunk + 4096);
    }
    ~TFdWriter() { Flush(); }
    TFdWriter(const TFdWriter&) = delete;
    TFdWriter& operator=(const TFdWriter&) = delete;

    void Line(std::string_view text, std::string_view eol = "\n") {
        buf_.append(text);
        buf_.append(eol);
        if (buf_.size() >= kChunk) {
            Flush();
        }
    }
    void Flush() {
        // A closed pipe or a full disk: nothing more can be said there.
        platform::WriteStdStream(stream_, buf_);
        buf_.clear();
    }

private:
    static constexpr size_t kChunk = 1 << 16;
    platform::TStdStream stream_;
    std::string buf_;
};

void ErrorLine(std::string_view text) {
    TFdWriter err(platform::TStdStream::Error);
    err.Line(cli::MessageLine(text));
}

int UsageError(const std::string& reason) {
    TFdWriter err(platform::TStdStream::Error);
    err.Line("fernsweep-cli: " + reason);
    err.Line("Try 'fernsweep-cli --help' for more information.");
    return kExitError;
}

// The start folder as the folder tree would hand it over: absolute, without a trailing
// separator (the root excepted). An empty argument stays empty: no folder selected.
std::string StartFolderFrom(const std::string& arg) {
    if (arg.empty()) {
        return arg;
    }
    std::string path = platform::ExpandFileName(arg);
    while (path.size() > 1 && path.back() == platform::PathDelim) {
        path.pop_back();
    }
    return path;
}

// Writes the report to `file` with CR LF line ends, through a temporary file and a rename, so
// the name holds either its old content or the whole new report.
bool WriteReport(const model::TResultTree& tree, const std::string& file, int& lineCount) {
    std::string data;
    lineCount = 0;
    cli::ReportLines(tree, [&](std::string_view line) {
        data.append(line);
        data.append("\r\n");
        ++lineCount;
    });
    return static_cast<bool>(platform::WriteWholeFile(file, data));
}

int RunOnce(const cli::TCliOptions& o) {
    TSearchOptions options;
    options.SetArchive(o.Archive);
    options.SetReadOnly(o.ReadOnly);
    options.SetSystem(o.System);
    options.SetHidden(o.Hidden);
    options.ModifiedFrom = o.Newer;
    options.ModifiedBefore = o.Older;
    options.MinSize = o.MinSize;
    options.MaxSize = o.MaxSize;
    options.ExcludeDirs = o.ExcludeDirs;
    options.SkipBinary = o.SkipBinary;
    options.StopOnError = o.StopOnError;

    model::TResultTree tree;
    std::string status;
    engine::TSearchEngine* enginePtr = nullptr;
    engine::TSearchHooks hooks;
    hooks.ShowStatus = [&status](const std::string& text) { status = text; };
    hooks.ShowProgress = [](double) {};
    hooks.ShowMessage = [](const std::string& text) { ErrorLine(text); };
    hooks.ShowWriteFailure = [](const std::string& text, const std::string& reason) {
        ErrorLine(reason.empty() ? text : text + " (" + reason + ")");
    };
    hooks.ReportFailure = [](const std::string& text) { ErrorLine(text); };
    hooks.PumpMessages = [&enginePtr]() {
        if (platform::InterruptRequested() && enginePtr != nullptr) {
            enginePtr->Aborted = true;
        }
    };
    // Without a report file or the tree, each file's report lines are printed as soon as the
    // file is done, and its occurrence nodes are then let go: memory stays bounded.
    TFdWriter out(platform::TStdStream::Output);
    const bool streaming = !o.Tree && !o.HasReport;
    if (streaming) {
        hooks.FileDone = [&out, &tree](model::TTreeNode& file) {
            cli::NodeReportLines(file, [&out](std::string_view line) { out.Line(line); });
            tree.DropChildren(&file);
        };
    }
    engine::TSearchEngine engine(hooks, tree);
    enginePtr = &engine;

    engine::TSearchRequest request;
    request.Masks = engine::TStringTokenizer(o.MaskText, "; ").Tokens;
    request.SearchText = o.SearchText;
    request.ReplaceText = o.ReplaceText;
    request.DoSearch = o.DoSearch;
    request.DoReplace = o.DoReplace;
    request.MatchCase = o.MatchCase;
    request.UseRegex = o.UseRegex;
    request.Recurse = o.Recurse;
    // The backups question is asked only when both search and replace are on.
    request.MakeBackups = o.Backup && o.DoSearch && o.DoReplace;
    request.Options = &options;
    request.StartFolder = StartFolderFrom(o.Folders.front());

    engine.Threads = o.Threads;
    // The first Ctrl-C only sets a flag, which the walk's message pump turns into Abort.
    platform::WatchInterrupt();

    engine::TSearchTotals totals;
    try {
        totals = engine.StartRun(request);
    } catch (const std::exception& e) {
        out.Flush();
        ErrorLine(e.what());
        return kExitError;
    } catch (...) {
        out.Flush();
        ErrorLine("Unknown error");
        return kExitError;
    }

    int exitCode = totals.FileCount > 0 ? kExitFound : kExitNothing;
    if (engine.WriteCounts().Failed > 0) {
        exitCode = kExitError; // the summary counts only what was written
    }
    if (!engine.Account().Failures.empty()) {
        exitCode = kExitError; // as grep does: anything that could not be read, finds or not
    }
    if (o.HasReport) {
        int lines = 0;
        if (WriteReport(tree, o.ReportFile, lines)) {
            ErrorLine("Generated file \"" + o.ReportFile + "\" (" + std::to_string(lines) +
                      " lines)");
        } else {
            ErrorLine("Cannot generate file \"" + o.ReportFile + "\"");
            exitCode = kExitError;
        }
    }
    // The report goes either to its file or here; the tree, when asked for, always comes here.
    if (o.Tree) {
        cli::TreeLines(tree, [&out](std::string_view line) { out.Line(line); });
    }
    out.Line(status);
    if (o.Stats) {
        out.Flush();
        TFdWriter err(platform::TStdStream::Error);
        err.Line(engine::DescribeAccount(engine.Account()));
    }
    if (engine.Aborted) {
        out.Flush();
        ErrorLine("Search aborted: the results above are those found up to that point.");
    }
    return exitCode;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    args.reserve(argc > 0 ? static_cast<size_t>(argc) : 0);
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    cli::TCliOptions options;
    std::string error;
    switch (cli::ParseCliArguments(args, options, error)) {
    case cli::TCliAction::Error:
        return UsageError(error);
    case cli::TCliAction::Help: {
        TFdWriter out(platform::TStdStream::Output);
        out.Line(cli::CliUsage(), "");
        return 0;
    }
    case cli::TCliAction::Version: {
        TFdWriter out(platform::TStdStream::Output);
        out.Line("fernsweep-cli " FERNSWEEP_VERSION);
        return 0;
    }
    case cli::TCliAction::TestRegex: {
        // What the tester's label shows: nothing for an empty pattern.
        TFdWriter out(platform::TStdStream::Output);
        out.Line(options.Pattern.empty()
                     ? std::string()
                     : RegexTesterOutput(options.Sample, options.Pattern, options.Template));
        return 0;
    }
    case cli::TCliAction::Run:
        break;
    }
    try {
        return RunOnce(options);
    } catch (const std::exception& e) {
        ErrorLine(e.what());
        return kExitError;
    }
}
