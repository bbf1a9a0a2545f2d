// Draws the results tree's rows: an occurrence's caption keeps its text, but tabs are drawn as
// a few blanks, the matched bytes are highlighted, and a long line is elided around the match
// so that the match stays in view. After a preview an occurrence's line as it will be follows
// its caption, with the replacement highlighted (greyed when the occurrence is not chosen).
#pragma once

#include <QStyledItemDelegate>

class QFontMetrics;

namespace ui {

// Blanks drawn for one tab.
constexpr int kTabBlanks = 4;
// The highlight behind matched text, and behind the text that replaces it.
QColor MatchHighlightColour();
QColor ReplacementHighlightColour();

// A caption as drawn: its text, and where the match lies in it (MatchStart -1: no match).
// With a line after: where that part begins (AfterStart) and its replacement lies.
struct TDrawnCaption {
    QString Text;
    int MatchStart = -1;
    int MatchLength = 0;
    int AfterStart = -1;
    int AfterMatchStart = -1;
    int AfterMatchLength = 0;
};

// Tabs become kTabBlanks blanks. When the text is wider than `width` pixels, an occurrence's
// line is cut to the match and as much around it as fits, with "…" where text is left out; the
// part before the line's opening quote ("Line: 3, Pos: 5, ") stays whole.
TDrawnCaption DrawCaption(const QString& caption, int matchStart, int matchLength,
                          const QFontMetrics& metrics, int width);

// The caption, " → " and the line after (in double quotes, its replacement at afterStart).
// When both do not fit in `width` pixels, each is cut around its own match: a part that needs
// less than half the room keeps it all and leaves the rest to the other.
TDrawnCaption DrawChangeCaption(const QString& caption, int matchStart, int matchLength,
                                const QString& after, int afterStart, int afterLength,
                                const QFontMetrics& metrics, int width);

class TResultItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace ui
