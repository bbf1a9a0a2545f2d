// A scratch folder and an engine for handing files to SearchFile one at a time, and the
// line-by-line search written out the slow, obvious way, to hold the fast one against.
#pragma once

#include "engine/UTSearchEngine.h"
#include "model/UTFile.h"
#include "model/UTOccurence.h"
#include "model/UTResultTree.h"
#include "platform/UPlatform.h"
#include "platform/UReplaceFile.h"
#include "regex/URegExpr.h"
#include "text/UTextHelpers.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace searchtest {

namespace fs = std::filesystem;

struct TOcc {
    int Line;
    int Column;
    int Length;
    std::string Text;
    bool operator==(const TOcc&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const TOcc& o) {
    return os << "{line " << o.Line << ", col " << o.Column << ", len " << o.Length << ", \""
              << o.Text << "\"}";
}

// A byte string literal with its NULs.
template <size_t N> std::string Bytes(const char (&s)[N]) {
    return std::string(s, N - 1);
}

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The reading rule: CR LF, a lone CR and a lone LF each end a line; a non-empty rest after
// the last break is the last line.
inline std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::string cur;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(cur);
            cur.clear();
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++i;
            }
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) {
        lines.push_back(cur);
    }
    return lines;
}

// The file's line breaks in order ("" for a missing final one), to rebuild a file from lines.
inline std::vector<std::string> SplitBreaks(const std::string& bytes) {
    std::vector<std::string> breaks;
    bool pending = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                breaks.push_back("\r\n");
                ++i;
            } else {
                breaks.push_back(std::string(1, c));
            }
            pending = false;
        } else {
            pending = true;
        }
    }
    if (pending) {
        breaks.push_back("");
    }
    return breaks;
}

inline std::string JoinCrLf(const std::vector<std::string>& lines) {
    std::string t;
    for (const auto& l : lines) {
        t += l;
        t += "\r\n";
    }
    return t;
}

// The plain search done the slow way: each line on its own, from its start, with PosFrom on
// the line (or its lower-case copy), the working line changed after each replaced find.
inline std::vector<TOcc> ReferencePlain(std::vector<std::string>& lines, const std::string& search,
                                        bool matchCase, const std::string* replacement) {
    std::vector<TOcc> out;
    const std::string needle = matchCase ? search : text::LowerCaseAscii(search);
    for (size_t l = 0; l < lines.size(); ++l) {
        const std::string s = lines[l];
        std::string w = s;
        int p = 1;
        for (;;) {
            const int found = matchCase ? text::PosFrom(needle, w, p)
                                        : text::PosFrom(needle, text::LowerCaseAscii(w), p);
            if (found == 0) {
                break;
            }
            out.push_back({static_cast<int>(l), found, static_cast<int>(needle.size()), s});
            if (replacement != nullptr) {
                w.replace(static_cast<size_t>(found - 1), needle.size(), *replacement);
                p = found + static_cast<int>(replacement->size());
            } else {
                p = found + 1;
            }
        }
        lines[l] = w;
    }
    return out;
}

// One pattern match recorded the slow way: the line it starts in found by walking back and
// forth to CR or LF, its line number by counting the CRs and LFs up to it.
inline TOcc ReferenceMatch(const std::string& t, int pos, int len) {
    const size_t p0 = static_cast<size_t>(pos - 1);
    std::string forward;
    for (size_t i = p0; i < t.size() && t[i] != '\r' && t[i] != '\n'; ++i) {
        forward += t[i];
    }
    std::string backward;
    for (size_t i = p0; i > 0 && t[i - 1] != '\r' && t[i - 1] != '\n'; --i) {
        backward.insert(backward.begin(), t[i - 1]);
    }
    int crs = 0;
    int lfs = 0;
    for (size_t i = 0; i < t.size() && i < static_cast<size_t>(pos); ++i) {
        crs += t[i] == '\r';
        lfs += t[i] == '\n';
    }
    return {std::max(crs, lfs), 1 + static_cast<int>(backward.size()), len, backward + forward};
}

// The pattern search done on the joined text directly; `replaced` gets Replace's result.
inline std::vector<TOcc> ReferenceRegex(const std::string& t, const std::string& pattern,
                                        bool matchCase, const std::string* templ,
                                        std::string* replaced) {
    std::vector<TOcc> out;
    regex::TRegExpr re;
    re.SetExpression(pattern);
    re.SetModifierI(!matchCase);
    if (re.Exec(t)) {
        do {
            out.push_back(ReferenceMatch(t, re.MatchPos(0), re.MatchLen(0)));
        } while (re.ExecNext());
    }
    if (templ != nullptr && replaced != nullptr) {
        *replaced = re.Replace(t, *templ, true);
    }
    return out;
}

inline std::vector<TOcc> Flatten(const std::vector<std::unique_ptr<model::TOccurence>>& v) {
    std::vector<TOcc> out;
    for (const auto& o : v) {
        out.push_back({o->Line, o->Column, o->Length, o->Text()});
    }
    return out;
}

// One scratch folder per test, an engine whose hooks record the messages, and a folder node
// to hang the files' nodes on.
class SearchFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = BaseDir() /
               ("fs-searchfile-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        engine::TSearchHooks hooks;
        hooks.ShowMessage = [this](const std::string& s) { messages.push_back(s); };
        engine_ = std::make_unique<engine::TSearchEngine>(hooks, tree);
        folder_ = tree.AddFolder(nullptr, nullptr);
        request.DoSearch = true;
        request.MatchCase = true;
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::all, ec);
        fs::remove_all(dir_, ec);
    }

    // Where the scratch folder goes. Tests that replace thousands of files use a file system
    // in memory, where flushing a file to disk costs nothing.
    virtual fs::path BaseDir() const { return fs::temp_directory_path(); }
    static fs::path MemoryDir() {
        std::error_code ec;
        return fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0
                   ? fs::path("/dev/shm")
                   : fs::temp_directory_path();
    }

    std::string P(const std::string& name) const { return dir_.string() + "/" + name; }
    void Write(const std::string& name, const std::string& content) const {
        std::ofstream(P(name), std::ios::binary) << content;
    }
    std::string Read(const std::string& name) const { return ReadAll(P(name)); }

    // SearchFile on one file of the scratch folder.
    int Search(const std::string& name) { return engine_->SearchFile(request, P(name), folder_); }

    // The file node added by the last call, or null.
    model::TTreeNode* LastFileNode() const {
        return folder_->Count() == 0 ? nullptr : folder_->Item(folder_->Count() - 1);
    }
    std::vector<TOcc> Occurences(const model::TTreeNode* fileNode) const {
        std::vector<TOcc> out;
        for (int i = 0; i < fileNode->Count(); ++i) {
            const model::TTreeNode* o = fileNode->Item(i);
            out.push_back({o->Line(), o->Column(), o->MatchLength(), std::string(o->LineText())});
        }
        return out;
    }
    // The names in the scratch folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir_)) {
            out.push_back(e.path().filename().string());
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    fs::path dir_;
    model::TResultTree tree;
    model::TTreeNode* folder_ = nullptr;
    std::unique_ptr<engine::TSearchEngine> engine_;
    engine::TSearchRequest request;
    std::vector<std::string> messages;
};

// Replaces "old" with "new"; the replacement's fault hook is cleared after each test.
class ReplacingTest : public SearchFileTest {
protected:
    void SetUp() override {
        SearchFileTest::SetUp();
        request.SearchText = "old";
        request.DoReplace = true;
        request.ReplaceText = "new";
    }
    void TearDown() override {
        platform::SetReplaceFaultHook(nullptr);
        SearchFileTest::TearDown();
    }
};

} // namespace searchtest
