#include "cli/UCliPrinters.h"

#include "engine/UApplyChanges.h"
#include "engine/UTSearchRequest.h"
#include "model/UTFile.h"
#include "model/UTFolder.h"
#include "model/UTOccurence.h"
#include "model/UTResultTree.h"
#include "model/UUnifiedDiff.h"
#include "operations/UResultsFile.h"
#include "platform/UPlatform.h"

#include <algorithm>
#include <functional>
#include <string_view>

namespace cli {

namespace {

constexpr std::string_view kPathColor = "\x1b[35m";
constexpr std::string_view kLineColor = "\x1b[32m";
constexpr std::string_view kMatchColor = "\x1b[1;31m";
constexpr std::string_view kNoColor = "\x1b[0m";
constexpr std::string_view kHunkColor = "\x1b[36m";
constexpr std::string_view kAddedColor = "\x1b[32m";
constexpr std::string_view kRemovedColor = "\x1b[31m";

const model::TFile* FileOf(const model::TTreeNode& node) {
    return node.File();
}

// Calls `f` with each occurrence below a file node.
template <typename F> void ForEachOccurence(const model::TTreeNode& fileNode, F&& f) {
    for (int i = 0; i < fileNode.Count(); ++i) {
        f(*fileNode.Item(i));
    }
}

// The matched part of an occurrence's line: the whole match when it ends within the line.
struct TSpan {
    size_t Start = 0;
    size_t Length = 0;
};
TSpan MatchSpan(const model::TTreeNode& o) {
    const std::string_view text = o.LineText();
    TSpan s;
    if (o.Column() >= 1 && static_cast<size_t>(o.Column()) <= text.size()) {
        s.Start = static_cast<size_t>(o.Column()) - 1;
        s.Length =
            std::min(static_cast<size_t>(std::max(o.MatchLength(), 0)), text.size() - s.Start);
    }
    return s;
}

class TPrinterBase : public TPrinter {
public:
    TPrinterBase(const TPrintSettings& settings, std::string& out, std::function<void()> flush)
        : s_(settings), out_(out), flush_(std::move(flush)) {}
    void Finish(const TRunEnd&) override {}

protected:
    // Appends `text`; a long one goes out a piece at a time, so that the line of a huge
    // one-line file is never copied whole into the output buffer.
    void Put(std::string_view text) {
        constexpr size_t kPiece = 1 << 16;
        if (!flush_ || text.size() < kPiece) {
            out_ += text;
            return;
        }
        while (!text.empty()) {
            const size_t n = std::min(kPiece, text.size());
            out_.append(text.substr(0, n));
            text.remove_prefix(n);
            if (out_.size() >= kPiece) {
                flush_();
            }
        }
    }
    void PutColored(bool color, std::string_view colorCode, std::string_view text) {
        if (color) {
            out_ += colorCode;
            Put(text);
            out_ += kNoColor;
        } else {
            Put(text);
        }
    }
    // The line with its match coloured.
    void PutLineText(bool color, const model::TTreeNode& o) {
        const std::string_view t = o.LineText();
        const TSpan s = MatchSpan(o);
        if (!color || s.Length == 0) {
            Put(t);
            return;
        }
        Put(t.substr(0, s.Start));
        PutColored(true, kMatchColor, t.substr(s.Start, s.Length));
        Put(t.substr(s.Start + s.Length));
    }
    void Path(const model::TTreeNode& fileNode) {
        PutColored(s_.Color, kPathColor, ShownPath(fileNode, s_.ShownRoot));
    }
    TPrintSettings s_;
    std::string& out_;
    std::function<void()> flush_;
};

// The results report's lines, byte for byte as the report file holds them (with "\n"), and
// the summary line.
class TReportPrinter : public TPrinterBase {
public:
    using TPrinterBase::TPrinterBase;
    void File(const model::TTreeNode& fileNode) override {
        if (!s_.Color) {
            operations::TReportLinePieces pieces;
            pieces.Piece = [this](std::string_view piece) { Put(piece); };
            pieces.End = [this]() { out_ += '\n'; };
            operations::ForEachResultLinePieces(&fileNode, pieces);
            return;
        }
        if (const model::TFile* f = FileOf(fileNode)) {
            PutColored(true, kPathColor, f->ReportLine());
            out_ += '\n';
        }
        ForEachOccurence(fileNode, [this](const model::TTreeNode& o) {
            out_ += "    Line: ";
            PutColored(true, kLineColor, std::to_string(o.Line()));
            out_ += ", Char: " + std::to_string(o.Column()) + ", [\"";
            PutLineText(true, o);
            out_ += "\"]\n";
        });
    }
    void Finish(const TRunEnd& end) override {
        // A run that ended with an error and found nothing has nothing to sum up.
        if (end.Error.empty() || end.FileCount > 0) {
            out_ += end.Summary + "\n";
        }
    }
};

class TVimgrepPrinter : public TPrinterBase {
public:
    using TPrinterBase::TPrinterBase;
    void File(const model::TTreeNode& fileNode) override {
        if (fileNode.Count() == 0) { // found without a content search: the path alone
            Path(fileNode);
            out_ += '\n';
        }
        ForEachOccurence(fileNode, [&](const model::TTreeNode& o) {
            Path(fileNode);
            out_ += ':';
            PutColored(s_.Color, kLineColor, std::to_string(o.Line() + 1));
            out_ += ':' + std::to_string(o.Column()) + ':';
            PutLineText(s_.Color, o);
            out_ += '\n';
        });
    }
};

class TPathsPrinter : public TPrinterBase {
public:
    using TPrinterBase::TPrinterBase;
    void File(const model::TTreeNode& fileNode) override {
        Path(fileNode);
        out_ += '\n';
    }
};

// A unified diff per file with changes, headed a/PATH and b/PATH with PATH below the start
// folder, so that `patch -p1` run there applies it.
class TDiffPrinter : public TPrinterBase {
public:
    using TPrinterBase::TPrinterBase;
    void File(const model::TTreeNode& fileNode) override {
        const model::TFile* file = FileOf(fileNode);
        if (file == nullptr || !file->Change) {
            return;
        }
        std::string below = ShownPath(fileNode, std::string());
        if (platform::PathDelim != '/') {
            std::replace(below.begin(), below.end(), platform::PathDelim, '/');
        }
        std::string diff = file->Change->Diff;
        if (diff.empty()) {
            // A big file's, made now from the file read once more a piece at a time.
            std::string why;
            if (!engine::PreviewedDiff(file->FullPath, *file->Change, "a/" + below, "b/" + below,
                                       false, diff, why)) {
                platform::WriteStdStream(platform::TStdStream::Error,
                                         "fernsweep-cli: " + file->FullPath + ": " + why + "\n");
                return;
            }
        }
        if (!s_.Color) {
            Put(diff);
            return;
        }
        for (size_t at = 0; at < diff.size();) {
            size_t end = diff.find('\n', at);
            end = end == std::string::npos ? diff.size() : end + 1;
            const std::string_view line(diff.data() + at, end - at);
            const std::string_view color = line.rfind("@@", 0) == 0 ? kHunkColor
                                           : line[0] == '+'         ? kAddedColor
                                           : line[0] == '-'         ? kRemovedColor
                                                                    : std::string_view();
            if (!color.empty()) {
                Put(color);
                Put(line.substr(0, line.size() - 1));
                Put(kNoColor);
                Put("\n");
            } else {
                Put(line);
            }
            at = end;
        }
    }
};

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(std::string_view bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - i);
        unsigned v = 0;
        for (size_t k = 0; k < 3; ++k) {
            v = (v << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0U);
        }
        for (size_t k = 0; k < 4; ++k) {
            out += k <= n ? kBase64[(v >> (18 - 6 * k)) & 63] : '=';
        }
    }
    return out;
}

// One JSON object per line; never coloured, whatever the terminal.
class TJsonPrinter : public TPrinterBase {
public:
    using TPrinterBase::TPrinterBase;
    void File(const model::TTreeNode& fileNode) override {
        const std::string path = ShownPath(fileNode, s_.ShownRoot);
        const model::TFile* f = FileOf(fileNode);
        out_ += "{\"type\":\"file\"";
        Field("path", path);
        Field("absolute_path", f != nullptr ? f->FullPath : std::string());
        out_ += ",\"occurences\":" + std::to_string(fileNode.Count()) + "}\n";
        ForEachOccurence(fileNode, [&](const model::TTreeNode& o) {
            const TSpan s = MatchSpan(o);
            out_ += "{\"type\":\"occurence\"";
            Field("path", path);
            out_ += ",\"line\":" + std::to_string(o.Line() + 1) +
                    ",\"column\":" + std::to_string(o.Column()) +
                    ",\"length\":" + std::to_string(o.MatchLength());
            Field("text", o.LineText());
            Field("match", o.LineText().substr(s.Start, s.Length));
            out_ += "}\n";
        });
    }
    void Finish(const TRunEnd& end) override {
        out_ += "{\"type\":\"summary\",\"files\":" + std::to_string(end.FileCount) +
                ",\"occurences\":" + std::to_string(end.OccurenceCount) +
                ",\"replaced\":" + (end.Replaced ? "true" : "false") +
                ",\"complete\":" + (end.Complete ? "true" : "false");
        Field("message", end.Summary);
        out_ += ",\"error\":";
        if (end.Error.empty()) {
            out_ += "null";
        } else {
            AppendJsonString(out_, end.Error);
        }
        out_ += "}\n";
    }

private:
    // ,"name":"value" and, when the value is not UTF-8, ,"name_base64":"its exact bytes".
    void Field(std::string_view name, std::string_view value) {
        out_ += ",\"";
        out_ += name;
        out_ += "\":";
        if (!AppendJsonString(out_, value)) {
            out_ += ",\"";
            out_ += name;
            out_ += "_base64\":\"" + Base64(value) + "\"";
        }
    }
};

// The length of the UTF-8 sequence at `s[i]`, or 0 when it is not a valid one.
size_t Utf8Length(std::string_view s, size_t i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const unsigned c = b(0);
    size_t n = 0;
    unsigned lo = 0x80;
    unsigned hi = 0xBF; // the allowed range of the second byte
    if (c < 0x80) {
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        lo = c == 0xE0 ? 0xA0 : 0x80; // no overlong forms
        hi = c == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        lo = c == 0xF0 ? 0x90 : 0x80;
        hi = c == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (i + n > s.size() || b(1) < lo || b(1) > hi) {
        return 0;
    }
    for (size_t k = 2; k < n; ++k) {
        if (b(k) < 0x80 || b(k) > 0xBF) {
            return 0;
        }
    }
    return n;
}

} // namespace

bool AppendJsonString(std::string& out, std::string_view bytes) {
    static const char kHex[] = "0123456789abcdef";
    bool valid = true;
    out += '"';
    for (size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        const size_t n = Utf8Length(bytes, i);
        if (n == 0) {
            out += "\\ufffd";
            valid = false;
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out.append(bytes.substr(i, n));
        }
        i += n;
    }
    out += '"';
    return valid;
}

std::string ShownPath(const model::TTreeNode& fileNode, const std::string& shownRoot) {
    std::string below;
    if (const model::TFile* f = FileOf(fileNode)) {
        below = f->FileName();
    }
    // The folder names between the start folder (the root node) and the file.
    for (const model::TTreeNode* n = fileNode.Parent(); n != nullptr && n->Parent() != nullptr;
         n = n->Parent()) {
        if (const model::TFolder* folder = n->Folder()) {
            below.insert(0, folder->FolderName + platform::PathDelim);
        }
    }
    if (shownRoot.empty()) {
        return below;
    }
    return shownRoot.back() == platform::PathDelim ? shownRoot + below
                                                   : shownRoot + platform::PathDelim + below;
}

void StreamFiles(engine::TSearchHooks& hooks, model::TResultTree& tree, TPrinter* printer,
                 bool keepTree,
                 std::function<void(model::TTreeNode& file, int counted)> afterFile) {
    hooks.FileFound = [&tree, printer, keepTree,
                       afterFile = std::move(afterFile)](model::TTreeNode& file, int counted) {
        if (printer != nullptr) {
            printer->File(file);
        }
        if (afterFile) {
            afterFile(file, counted);
        }
        if (!keepTree) {
            tree.KeepOnlyWalkPath();
        }
    };
    if (!keepTree) {
        // The walk calls it as it enters a folder: the folders before it are done.
        hooks.PumpMessages = [&tree, pump = std::move(hooks.PumpMessages)]() {
            tree.KeepOnlyWalkPath();
            if (pump) {
                pump();
            }
        };
    }
}

std::unique_ptr<TPrinter> MakePrinter(const TPrintSettings& settings, std::string& out,
                                      std::function<void()> flush) {
    switch (settings.Kind) {
    case TOutputKind::Vimgrep:
        return std::make_unique<TVimgrepPrinter>(settings, out, flush);
    case TOutputKind::Json:
        return std::make_unique<TJsonPrinter>(settings, out, flush);
    case TOutputKind::Paths:
        return std::make_unique<TPathsPrinter>(settings, out, flush);
    case TOutputKind::Diff:
        return std::make_unique<TDiffPrinter>(settings, out, flush);
    case TOutputKind::Report:
        break;
    }
    return std::make_unique<TReportPrinter>(settings, out, flush);
}

} // namespace cli
