// fernsweep-cli: one search run from the command line, with hooks of its own in place of the
// main window's. Each found file goes to standard output as soon as it is in the tree, through
// the printer of the chosen output form; every message the window would show in a box goes to
// standard error as it happens.
#include "cli/UCliJournal.h"
#include "cli/UCliManual.h"
#include "cli/UCliOptions.h"
#include "cli/UCliPrinters.h"
#include "cli/UCliReport.h"
#include "engine/UTSearchEngine.h"
#include "engine/vtStringTokenizer.h"
#include "model/UTResultTree.h"
#include "operations/UResultsFile.h"
#include "operations/UUndoJournal.h"
#include "platform/UPlatform.h"
#include "regex/URegexTester.h"
#include "settings/UTSearchOptions.h"
#include "text/UTextHelpers.h"

#include <cstdlib>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

using regex::RegexTesterOutput;
using settings::TSearchOptions;

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
        FlushIfFull();
    }
    // The buffer itself, for printers that append to it.
    std::string& Buffer() { return buf_; }
    void FlushIfFull() {
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
    operations::TReportLinePieces pieces;
    pieces.Piece = [&data](std::string_view piece) { data.append(piece); };
    pieces.End = [&]() {
        data.append("\r\n");
        ++lineCount;
    };
    for (int r = 0; r < tree.RootCount(); ++r) {
        operations::ForEachResultLinePieces(tree.Root(r), pieces);
    }
    return static_cast<bool>(platform::WriteWholeFile(file, data));
}

bool UseColor(cli::TColorMode mode) {
    if (mode != cli::TColorMode::Auto) {
        return mode == cli::TColorMode::Always;
    }
    const char* noColor = std::getenv("NO_COLOR");
    return (noColor == nullptr || *noColor == '\0') &&
           platform::IsTerminal(platform::TStdStream::Output);
}

std::string SummaryLine(const cli::TCliOptions& o, const engine::TSearchTotals& t) {
    if (!o.DoSearch) {
        return text::PluralCount(t.FileCount, "file") + " found.";
    }
    if (o.Preview) {
        return "Would make " + text::PluralCount(t.OccurenceCount, "replacement") + " in " +
               text::PluralCount(t.FileCount, "file") + "; nothing was written.";
    }
    return (o.DoReplace ? "Made " + text::PluralCount(t.OccurenceCount, "replacement")
                        : "Found " + text::PluralCount(t.OccurenceCount, "occurence")) +
           " in " + text::PluralCount(t.FileCount, "file") + ".";
}

int RunOnce(const cli::TCliOptions& o) {
    const bool folderGiven = !o.Folders.empty();
    const std::string folderArg = folderGiven ? o.Folders.front() : ".";
    const std::string startFolder = StartFolderFrom(folderArg);
    if (!platform::DirectoryExists(startFolder)) {
        std::string reason = platform::FileExists(startFolder)
                                 ? "'" + folderArg + "' is not a folder"
                                 : "cannot find folder '" + folderArg + "'";
        if (!o.DoSearch) {
            reason += " (the text to search for goes with -s)";
        }
        return UsageError(reason);
    }

    // The walk changes the current directory: a relative report name is taken from it now.
    const std::string reportPath = o.HasReport ? platform::ExpandFileName(o.ReportFile) : "";

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

    TFdWriter out(platform::TStdStream::Output);
    const bool interactive = platform::IsTerminal(platform::TStdStream::Output);
    cli::TPrintSettings print;
    print.Kind = o.Output;
    print.Color = UseColor(o.Color) && o.Output != cli::TOutputKind::Json;
    print.ShownRoot = folderGiven ? folderArg : std::string();
    // --tree prints the whole tree at the end instead, and a report written to its file is
    // not printed here as well.
    const bool streamFiles = !o.Tree && !(o.HasReport && o.Output == cli::TOutputKind::Report);
    std::unique_ptr<cli::TPrinter> printer =
        cli::MakePrinter(print, out.Buffer(), [&out]() { out.Flush(); });

    model::TResultTree tree;
    engine::TSearchTotals counted; // what has been found so far, also for a run that fails
    engine::TSearchEngine* enginePtr = nullptr;
    engine::TSearchHooks hooks;
    hooks.ShowStatus = [](const std::string&) {};
    hooks.ShowProgress = [](double) {};
    hooks.ShowMessage = [&out](const std::string& text) {
        out.Flush(); // what was found before the message comes before it
        ErrorLine(text);
    };
    hooks.ShowWriteFailure = [&out](const std::string& text, const std::string& reason) {
        out.Flush();
        ErrorLine(reason.empty() ? text : text + " (" + reason + ")");
    };
    hooks.ReportFailure = [](const std::string& text) { ErrorLine(text); };
    hooks.PumpMessages = [&enginePtr]() {
        if (platform::InterruptRequested() && enginePtr != nullptr) {
            enginePtr->Aborted = true;
        }
    };
    // Between files too, so Ctrl-C ends a folder of many files after the file in progress.
    hooks.KeepResponsive = hooks.PumpMessages;
    // Nothing after the run needs a printed file unless the tree or the report is wanted whole.
    const bool keepTree = o.Tree || o.HasReport;
    cli::StreamFiles(hooks, tree, streamFiles ? printer.get() : nullptr, keepTree,
                     [&](model::TTreeNode&, int count) {
                         if (count > 0) {
                             ++counted.FileCount;
                             counted.OccurenceCount += count;
                         }
                         // A terminal sees each file at once; a pipe or a file gets full
                         // buffers.
                         if (streamFiles && interactive) {
                             out.Flush();
                         } else if (streamFiles) {
                             out.FlushIfFull();
                         }
                     });
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
    request.StartFolder = startFolder;
    request.Preview = o.Preview && o.DoSearch && o.DoReplace;
    request.PreviewDiffs = request.Preview;
    // Every replacement that writes is recorded, so `--undo` (or the window) can take it back.
    std::unique_ptr<operations::TUndoJournal> journal;
    std::unique_ptr<operations::TJournalRecorder> recorder;
    if (request.DoSearch && request.DoReplace && !request.Preview) {
        journal = std::make_unique<operations::TUndoJournal>();
        recorder = std::make_unique<operations::TJournalRecorder>(
            *journal, operations::DescribeRequest(request));
        request.Journal = recorder.get();
    }

    engine.Threads = o.Threads;
    // The first Ctrl-C only sets a flag, which the walk's message pump turns into Abort.
    platform::WatchInterrupt();

    cli::TRunEnd end;
    try {
        engine.StartRun(request);
    } catch (const std::bad_alloc&) {
        end.Error = "Not enough memory to go on searching";
    } catch (const std::exception& e) {
        end.Error = e.what();
    } catch (...) {
        end.Error = "Unknown error";
    }
    if (recorder) {
        try {
            recorder->Commit();
        } catch (const std::exception& e) {
            if (end.Error.empty()) {
                end.Error = e.what();
            }
        }
    }
    end.FileCount = counted.FileCount;
    end.OccurenceCount = counted.OccurenceCount;
    end.Replaced = o.DoSearch && o.DoReplace;
    end.Complete = end.Error.empty() && !engine.Aborted;
    end.Summary = SummaryLine(o, counted);

    int exitCode = counted.FileCount > 0 ? kExitFound : kExitNothing;
    if (!end.Error.empty()) {
        out.Flush();
        ErrorLine(end.Error);
        exitCode = kExitError;
    } else if (tree.RootCount() == 0) {
        exitCode = kExitError; // the start folder could not be entered; the walk said so
    }
    if (engine.WriteCounts().Failed > 0) {
        exitCode = kExitError; // the summary counts only what was written
    }
    if (!engine.Account().Failures.empty()) {
        exitCode = kExitError; // as grep does: anything that could not be read, finds or not
    }
    if (o.HasReport && end.Error.empty()) {
        int lines = 0;
        if (WriteReport(tree, reportPath, lines)) {
            ErrorLine("Generated file \"" + o.ReportFile + "\" (" + std::to_string(lines) +
                      " lines)");
        } else {
            ErrorLine("Cannot generate file \"" + o.ReportFile + "\"");
            exitCode = kExitError;
        }
    }
    if (o.Tree) {
        cli::TreeLines(tree, [&out](std::string_view line) { out.Line(line); });
    }
    printer->Finish(end);
    out.Flush();
    if (o.Preview) {
        // Standard output holds the diff alone, for patch.
        TFdWriter err(platform::TStdStream::Error);
        err.Line(end.Summary);
    }
    if (o.Stats) {
        TFdWriter err(platform::TStdStream::Error);
        err.Line(engine::DescribeAccount(engine.Account()));
    }
    if (engine.Aborted) {
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
    case cli::TCliAction::Generate: {
        TFdWriter out(platform::TStdStream::Output);
        out.Line(options.Generate == "man" ? cli::CliManPage(FERNSWEEP_VERSION)
                                           : cli::CliBashCompletion(),
                 "");
        return 0;
    }
    case cli::TCliAction::Undo:
        return cli::UndoReplacement(options.UndoId);
    case cli::TCliAction::Journal:
        return cli::ListJournal();
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
