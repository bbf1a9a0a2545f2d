// The pane below the results that shows text: lines with a gutter (their numbers), each of a
// kind, with highlighted spans. The results fill it with an occurrence and the lines around it,
// or with all occurrences of a file; other views (a difference of two texts) use the same kinds
// of lines.
#pragma once

#include <QList>
#include <QPlainTextEdit>

#include <string>
#include <vector>

namespace ui {

class TPreviewPane : public QPlainTextEdit {
    Q_OBJECT
public:
    enum class TLineKind { Context, Match, Gap, Added, Removed };
    struct TSpan {
        int Start = 0;
        int Length = 0;
    };
    struct TLine {
        QString Gutter;
        QString Text;
        TLineKind Kind = TLineKind::Context;
        QList<TSpan> Highlights;
    };

    explicit TPreviewPane(QWidget* parent = nullptr);

    // Replaces the content; line `focus` (by default the first line of kind Match, Added or
    // Removed) is scrolled into view.
    void ShowLines(const QList<TLine>& lines, int focus = -1);
    // One line of explanation instead of content.
    void ShowNote(const QString& note);

    const QList<TLine>& Lines() const { return lines_; }

private:
    QList<TLine> lines_;
};

// One match to preview: its line (from 0), byte column (from 1) and byte length.
struct TPreviewMatch {
    int Line = 0;
    int Column = 1;
    int Length = 0;
};

// The lines of `content` (split at CR LF, LF or CR) that hold the matches, with `context`
// lines above and below each, numbered from 1; runs that do not touch are parted by a gap line.
QList<TPreviewPane::TLine> PreviewLines(const std::string& content,
                                        const std::vector<TPreviewMatch>& matches, int context);

} // namespace ui
