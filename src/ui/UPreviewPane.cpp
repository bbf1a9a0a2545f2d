#include "ui/UPreviewPane.h"

#include "ui/UAppearance.h"
#include "ui/UResultItemDelegate.h"

#include <QFontDatabase>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>
#include <map>

namespace ui {

namespace {

QColor LineBackground(TPreviewPane::TLineKind kind) {
    switch (kind) {
    case TPreviewPane::TLineKind::Match:
        return QColor(255, 248, 214);
    case TPreviewPane::TLineKind::Added:
        return QColor(221, 255, 221);
    case TPreviewPane::TLineKind::Removed:
        return QColor(255, 221, 221);
    default:
        return QColor();
    }
}

} // namespace

TPreviewPane::TPreviewPane(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName(QStringLiteral("pnlPreview"));
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setUndoRedoEnabled(false);
    // Read-only text: Tab moves on to the next control.
    setTabChangesFocus(true);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setTabStopDistance(kTabBlanks * fontMetrics().horizontalAdvance(QLatin1Char(' ')));
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void TPreviewPane::ShowNote(const QString& note) {
    lines_.clear();
    setPlainText(note);
}

void TPreviewPane::ShowLines(const QList<TLine>& lines, int focus) {
    lines_ = lines;
    clear();
    int gutterWidth = 0;
    for (const TLine& line : lines) {
        gutterWidth = std::max(gutterWidth, static_cast<int>(line.Gutter.size()));
    }
    QTextCursor cursor(document());
    QTextCharFormat gutterFormat;
    gutterFormat.setForeground(QColor(128, 128, 128));
    QTextCharFormat plain;
    QTextCharFormat hit;
    hit.setBackground(MatchHighlightColour());
    hit.setForeground(QColor(Qt::black));
    int firstHit = -1;
    for (int i = 0; i < lines.size(); ++i) {
        const TLine& line = lines[i];
        if (i > 0) {
            cursor.insertBlock();
        }
        QTextBlockFormat block;
        const QColor background = LineBackground(line.Kind);
        if (background.isValid()) {
            block.setBackground(background);
            if (firstHit < 0) {
                firstHit = i;
            }
        }
        cursor.setBlockFormat(block);
        cursor.insertText(line.Gutter.rightJustified(gutterWidth) + QStringLiteral("  "),
                          gutterFormat);
        int done = 0;
        QList<TSpan> spans = line.Highlights;
        std::sort(spans.begin(), spans.end(),
                  [](const TSpan& a, const TSpan& b) { return a.Start < b.Start; });
        for (const TSpan& span : spans) {
            const int start = std::clamp(span.Start, done, static_cast<int>(line.Text.size()));
            const int end =
                std::clamp(span.Start + span.Length, start, static_cast<int>(line.Text.size()));
            cursor.insertText(line.Text.mid(done, start - done), plain);
            cursor.insertText(line.Text.mid(start, end - start), hit);
            done = end;
        }
        cursor.insertText(line.Text.mid(done), plain);
    }
    // Context above the first hit stays in view with it.
    const QTextBlock target =
        document()->findBlockByNumber(focus >= 0 ? focus : std::max(firstHit, 0));
    QTextCursor top(target);
    setTextCursor(top);
    centerCursor();
}

QList<TPreviewPane::TLine> PreviewLines(const std::string& content,
                                        const std::vector<TPreviewMatch>& matches, int context) {
    // Byte offsets of the line starts (and one past the last line's end).
    std::vector<size_t> starts{0};
    std::vector<size_t> ends;
    for (size_t i = 0; i < content.size(); ++i) {
        if (content[i] == '\r' || content[i] == '\n') {
            ends.push_back(i);
            if (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n') {
                ++i;
            }
            starts.push_back(i + 1);
        }
    }
    ends.push_back(content.size());
    if (starts.back() == content.size() && starts.size() > 1) {
        // A final line break ends the last line; it starts none.
        starts.pop_back();
        ends.pop_back();
    }
    const int lineCount = static_cast<int>(starts.size());

    // Matches per line, and the lines shown.
    std::map<int, std::vector<TPreviewMatch>> byLine;
    for (const TPreviewMatch& m : matches) {
        if (m.Line >= 0 && m.Line < lineCount) {
            byLine[m.Line].push_back(m);
        }
    }
    std::map<int, bool> shown;
    for (const auto& [line, found] : byLine) {
        for (int l = std::max(0, line - context); l <= std::min(lineCount - 1, line + context);
             ++l) {
            shown[l] = shown[l] || l == line;
        }
    }

    QList<TPreviewPane::TLine> out;
    int previous = -2;
    for (const auto& [l, isMatch] : shown) {
        if (previous >= 0 && l != previous + 1) {
            out.append({QString(), QStringLiteral("\u22ee"), TPreviewPane::TLineKind::Gap, {}});
        }
        previous = l;
        const std::string text = content.substr(starts[l], ends[l] - starts[l]);
        TPreviewPane::TLine line;
        line.Gutter = QString::number(l + 1);
        line.Text = ToQ(text);
        line.Kind = isMatch ? TPreviewPane::TLineKind::Match : TPreviewPane::TLineKind::Context;
        if (isMatch) {
            for (const TPreviewMatch& m : byLine[l]) {
                const size_t from =
                    std::min(static_cast<size_t>(std::max(m.Column, 1) - 1), text.size());
                const size_t length =
                    std::min(static_cast<size_t>(std::max(m.Length, 0)), text.size() - from);
                const int start = static_cast<int>(ToQ(text.substr(0, from)).size());
                const int len = static_cast<int>(ToQ(text.substr(from, length)).size());
                // An empty match is marked by the character after it, where there is one.
                line.Highlights.append({start, len > 0 ? len : (start < line.Text.size() ? 1 : 0)});
            }
        }
        out.append(line);
    }
    return out;
}

} // namespace ui
