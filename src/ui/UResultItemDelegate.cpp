#include "ui/UResultItemDelegate.h"

#include "ui/UResultTreeModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>

namespace ui {

namespace {

// Rows wider than this many characters are measured as if cut there; the paint elides.
constexpr int kMeasuredChars = 200;
// The characters around a match that are ever looked at for one row.
constexpr int kWindowChars = 400;

const QString kEllipsis = QStringLiteral("\u2026");
const QString kArrow = QStringLiteral(" \u2192 ");

// Tabs to blanks, moving the match with the text.
TDrawnCaption ExpandTabs(const QString& caption, int matchStart, int matchLength) {
    TDrawnCaption out;
    out.Text.reserve(caption.size());
    const int matchEnd = matchStart + matchLength;
    int newStart = -1;
    int newEnd = -1;
    for (int i = 0; i <= caption.size(); ++i) {
        if (i == matchStart) {
            newStart = static_cast<int>(out.Text.size());
        }
        if (i == matchEnd) {
            newEnd = static_cast<int>(out.Text.size());
        }
        if (i == caption.size()) {
            break;
        }
        if (caption[i] == QLatin1Char('\t')) {
            out.Text.append(QString(kTabBlanks, QLatin1Char(' ')));
        } else {
            out.Text.append(caption[i]);
        }
    }
    if (matchStart >= 0 && newStart >= 0) {
        out.MatchStart = newStart;
        out.MatchLength = std::max(0, (newEnd >= 0 ? newEnd : newStart) - newStart);
    }
    return out;
}

} // namespace

QColor MatchHighlightColour() {
    return QColor(255, 221, 87);
}

QColor ReplacementHighlightColour() {
    return QColor(150, 226, 150);
}

TDrawnCaption DrawCaption(const QString& caption, int matchStart, int matchLength,
                          const QFontMetrics& metrics, int width) {
    if (matchStart < 0 || matchStart > caption.size()) {
        matchStart = -1;
        matchLength = 0;
    }
    matchLength =
        std::clamp(matchLength, 0, static_cast<int>(caption.size()) - std::max(matchStart, 0));
    TDrawnCaption full = ExpandTabs(caption, matchStart, matchLength);
    if (full.MatchStart < 0 || metrics.horizontalAdvance(full.Text) <= width) {
        return full;
    }
    // The head up to the line's opening quote stays; the line is cut around the match.
    const int quote = static_cast<int>(full.Text.indexOf(QLatin1Char('"')));
    const int headEnd = quote >= 0 && quote < full.MatchStart ? quote + 1 : 0;
    const QString head = full.Text.left(headEnd);
    const int bodyEnd = static_cast<int>(full.Text.size());
    int from = full.MatchStart;
    int to = std::min(full.MatchStart + std::min(full.MatchLength, kWindowChars), bodyEnd);
    auto advance = [&](int i) { return metrics.horizontalAdvance(full.Text[i]); };
    const int ellipsis = metrics.horizontalAdvance(kEllipsis);
    int used = metrics.horizontalAdvance(head) + 2 * ellipsis;
    for (int i = from; i < to; ++i) {
        used += advance(i);
    }
    // A match wider than the room shows its beginning.
    while (to > from + 1 && used > width) {
        used -= advance(--to);
    }
    // Context on both sides, a little more after the match than before it.
    bool grew = true;
    int steps = 0;
    while (grew && steps < kWindowChars) {
        grew = false;
        for (int side = 0; side < 3; ++side) {
            if (side == 0 && from > headEnd) {
                const int w = advance(from - 1);
                if (used + w <= width) {
                    used += w;
                    --from;
                    grew = true;
                }
            } else if (side > 0 && to < bodyEnd) {
                const int w = advance(to);
                if (used + w <= width) {
                    used += w;
                    ++to;
                    grew = true;
                }
            }
        }
        ++steps;
    }
    TDrawnCaption out;
    out.Text = head;
    if (from > headEnd) {
        out.Text += kEllipsis;
    }
    out.MatchStart = static_cast<int>(out.Text.size()) + (full.MatchStart - from);
    out.MatchLength = std::min(full.MatchLength, to - full.MatchStart);
    out.Text += full.Text.mid(from, to - from);
    if (to < bodyEnd) {
        out.Text += kEllipsis;
    }
    return out;
}

TDrawnCaption DrawChangeCaption(const QString& caption, int matchStart, int matchLength,
                                const QString& after, int afterStart, int afterLength,
                                const QFontMetrics& metrics, int width) {
    const int room = std::max(width - metrics.horizontalAdvance(kArrow), 0);
    const int leftNeeds =
        metrics.horizontalAdvance(ExpandTabs(caption.left(kWindowChars), -1, 0).Text);
    const int rightNeeds =
        metrics.horizontalAdvance(ExpandTabs(after.left(kWindowChars), -1, 0).Text);
    int leftRoom = room / 2;
    if (leftNeeds + rightNeeds <= room || leftNeeds <= room / 2) {
        leftRoom = leftNeeds;
    } else if (rightNeeds <= room / 2) {
        leftRoom = room - rightNeeds;
    }
    const TDrawnCaption left = DrawCaption(caption, matchStart, matchLength, metrics, leftRoom);
    const TDrawnCaption right =
        DrawCaption(after, afterStart, afterLength, metrics, std::max(room - leftRoom, 0));
    TDrawnCaption out = left;
    out.Text += kArrow;
    out.AfterStart = static_cast<int>(out.Text.size());
    out.Text += right.Text;
    if (right.MatchStart >= 0) {
        out.AfterMatchStart = out.AfterStart + right.MatchStart;
        out.AfterMatchLength = right.MatchLength;
    }
    return out;
}

void TResultItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QVariant match = index.data(TResultTreeModel::MatchRole);
    if (!match.isValid() && !opt.text.contains(QLatin1Char('\t'))) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QWidget* widget = opt.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    const QString caption = opt.text;
    // Background, selection, icon and focus as usual; the text is drawn below.
    opt.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    opt.text = caption;
    QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    textRect.adjust(margin, 0, -margin, 0);
    // Only the part in view counts, so the match is never scrolled out to the right.
    int width = textRect.width();
    if (const auto* view = qobject_cast<const QAbstractItemView*>(widget)) {
        width = std::min(width, view->viewport()->width() - textRect.left() - margin);
    }
    const QPoint range = match.toPoint();
    const QVariant after = index.data(TResultTreeModel::AfterRole);
    const QPoint afterRange = index.data(TResultTreeModel::AfterMatchRole).toPoint();
    const TDrawnCaption drawn =
        after.isValid()
            ? DrawChangeCaption(caption, range.x(), range.y(), after.toString(), afterRange.x(),
                                afterRange.y(), opt.fontMetrics, std::max(width, 0))
            : DrawCaption(caption, match.isValid() ? range.x() : -1, range.y(), opt.fontMetrics,
                          std::max(width, 0));

    QTextLayout layout(drawn.Text, opt.font);
    QTextOption textOption;
    textOption.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(textOption);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    QList<QTextLayout::FormatRange> formats;
    if (drawn.MatchStart >= 0) {
        QTextLayout::FormatRange hit;
        hit.start = drawn.MatchStart;
        // An empty match still shows where it is.
        hit.length = std::max(drawn.MatchLength, drawn.MatchStart < drawn.Text.size() ? 1 : 0);
        hit.format.setBackground(MatchHighlightColour());
        hit.format.setForeground(QColor(Qt::black));
        formats.append(hit);
    }
    const bool selected = (opt.state & QStyle::State_Selected) != 0;
    if (drawn.AfterStart >= 0) {
        // A chosen edit shows its replacement; a line that keeps its match is greyed.
        const bool chosen = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        QTextLayout::FormatRange part;
        if (chosen && drawn.AfterMatchStart >= 0) {
            part.start = drawn.AfterMatchStart;
            part.length = drawn.AfterMatchLength;
            part.format.setBackground(ReplacementHighlightColour());
            part.format.setForeground(QColor(Qt::black));
            formats.append(part);
        } else if (!chosen && !selected) {
            part.start = drawn.AfterStart;
            part.length = static_cast<int>(drawn.Text.size()) - drawn.AfterStart;
            part.format.setForeground(QColor(150, 150, 150));
            formats.append(part);
        }
    }
    const QPalette::ColorGroup group =
        (opt.state & QStyle::State_Active) != 0 ? QPalette::Active : QPalette::Inactive;
    painter->save();
    painter->setClipRect(textRect);
    painter->setPen(
        opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    const qreal y = textRect.top() + (textRect.height() - line.height()) / 2.0;
    layout.draw(painter, QPointF(textRect.left(), y), formats);
    painter->restore();
}

QSize TResultItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    if (!index.data(TResultTreeModel::MatchRole).isValid() &&
        !opt.text.contains(QLatin1Char('\t'))) {
        return QStyledItemDelegate::sizeHint(option, index);
    }
    // Measured with tabs as blanks and cut to a bounded length: a minified line must not make
    // the column miles wide.
    QString shown = opt.text.left(kMeasuredChars);
    if (const QVariant after = index.data(TResultTreeModel::AfterRole); after.isValid()) {
        shown += kArrow + after.toString().left(kMeasuredChars);
    }
    shown.replace(QLatin1Char('\t'), QString(kTabBlanks, QLatin1Char(' ')));
    opt.text = shown;
    QStyle* style = opt.widget != nullptr ? opt.widget->style() : QApplication::style();
    return style->sizeFromContents(QStyle::CT_ItemViewItem, &opt, QSize(), opt.widget);
}

} // namespace ui
