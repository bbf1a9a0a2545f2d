#include "ui/UTreeImages.h"

#include <QPainter>
#include <QPainterPath>

#include <array>

namespace ui {
namespace {

struct TTint {
    QColor Fill;
    QColor Light;
    QColor Line;
};

const TTint kGrey{QColor(176, 176, 176), QColor(216, 216, 216), QColor(96, 96, 96)};
const TTint kOrange{QColor(245, 166, 35), QColor(255, 214, 120), QColor(160, 90, 10)};

void DrawClosedFolder(QPainter& p, const TTint& t) {
    QPainterPath tab;
    tab.moveTo(1.5, 4.5);
    tab.lineTo(1.5, 2.5);
    tab.lineTo(6.5, 2.5);
    tab.lineTo(8.5, 4.5);
    p.setPen(QPen(t.Line, 1));
    p.setBrush(t.Light);
    p.drawPath(tab);
    p.setBrush(t.Fill);
    p.drawRect(QRectF(1.5, 4.5, 14, 10));
    p.setPen(QPen(t.Light, 1));
    p.drawLine(QPointF(2.5, 5.5), QPointF(14.5, 5.5));
}

void DrawOpenFolder(QPainter& p, const TTint& t) {
    p.setPen(QPen(t.Line, 1));
    p.setBrush(t.Fill.darker(115));
    QPainterPath back;
    back.moveTo(1.5, 14.5);
    back.lineTo(1.5, 2.5);
    back.lineTo(6.5, 2.5);
    back.lineTo(8.5, 4.5);
    back.lineTo(13.5, 4.5);
    back.lineTo(13.5, 7.5);
    p.drawPath(back);
    QPainterPath front;
    front.moveTo(1.5, 14.5);
    front.lineTo(4.5, 7.5);
    front.lineTo(16.0, 7.5);
    front.lineTo(13.0, 14.5);
    front.closeSubpath();
    p.setBrush(t.Light);
    p.drawPath(front);
}

void DrawPage(QPainter& p, const QColor& paper) {
    QPainterPath sheet;
    sheet.moveTo(3.5, 1.5);
    sheet.lineTo(10.5, 1.5);
    sheet.lineTo(13.5, 4.5);
    sheet.lineTo(13.5, 15.5);
    sheet.lineTo(3.5, 15.5);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(80, 80, 80), 1));
    p.setBrush(paper);
    p.drawPath(sheet);
    p.drawPolyline(std::array{QPointF(10.5, 1.5), QPointF(10.5, 4.5), QPointF(13.5, 4.5)}.data(),
                   3);
    p.setPen(QPen(QColor(120, 120, 140), 1));
    for (int y = 6; y <= 13; y += 2) {
        p.drawLine(QPointF(5.5, y + 0.5), QPointF(y % 4 == 0 ? 9.5 : 11.5, y + 0.5));
    }
}

void DrawArrow(QPainter& p, const QColor& fill, const QColor& line) {
    QPainterPath arrow;
    arrow.moveTo(2.5, 6.5);
    arrow.lineTo(8.5, 6.5);
    arrow.lineTo(8.5, 3.0);
    arrow.lineTo(14.5, 8.5);
    arrow.lineTo(8.5, 14.0);
    arrow.lineTo(8.5, 10.5);
    arrow.lineTo(2.5, 10.5);
    arrow.closeSubpath();
    p.setPen(QPen(line, 1));
    p.setBrush(fill);
    p.drawPath(arrow);
}

QPixmap Blank(int size) {
    QPixmap pix(size, size);
    pix.fill(Qt::transparent);
    return pix;
}

void PaintTreeImage(QPainter& p, int index) {
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
    case 0:
        DrawClosedFolder(p, kGrey);
        break;
    case 1:
        DrawOpenFolder(p, kGrey);
        break;
    case 2:
        DrawClosedFolder(p, kOrange);
        break;
    case 3:
        DrawOpenFolder(p, kOrange);
        break;
    case 4:
        DrawPage(p, Qt::white);
        break;
    case 5:
        DrawPage(p, QColor(140, 220, 140));
        break;
    case 6:
        DrawArrow(p, QColor(40, 100, 220), QColor(20, 50, 130));
        break;
    case 7:
        DrawArrow(p, QColor(245, 140, 30), QColor(150, 80, 10));
        break;
    default:
        break;
    }
}

// A small tree in the tool strip: `depth` levels of folder, page and arrow, each indented,
// with a plus or a minus sign at the top right.
QIcon TreeGlyph(int depth, bool firstOpen, QChar sign) {
    QPixmap pix = Blank(18);
    QPainter p(&pix);
    const std::array<int, 3> pictures{firstOpen ? 3 : 2, 4, 6};
    for (int level = 0; level < depth; ++level) {
        p.save();
        p.translate(level * 4.5, level * 4.5);
        p.scale(0.55, 0.55);
        PaintTreeImage(p, pictures[static_cast<size_t>(level)]);
        p.restore();
    }
    if (!sign.isNull()) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(QColor(20, 20, 20), 1));
        p.drawLine(QPointF(12, 3), QPointF(16, 3));
        if (sign == QLatin1Char('+')) {
            p.drawLine(QPointF(14, 1), QPointF(14, 5));
        }
    }
    return QIcon(pix);
}

} // namespace

QPixmap TreeImage(int index) {
    QPixmap pix = Blank(kTreeImageSize);
    if (index >= 0 && index < kTreeImageCount) {
        QPainter p(&pix);
        PaintTreeImage(p, index);
    }
    return pix;
}

QIcon TreeIcon(int image, int selected) {
    QIcon icon;
    icon.addPixmap(TreeImage(image), QIcon::Normal);
    icon.addPixmap(TreeImage(selected), QIcon::Selected);
    return icon;
}

QIcon ToolPicture(TToolPicture which) {
    switch (which) {
    case TToolPicture::ExpandFull:
        return TreeGlyph(3, true, QLatin1Char('+'));
    case TToolPicture::ExpandFiles:
        return TreeGlyph(2, true, QChar());
    case TToolPicture::ExpandOccurences:
        return TreeGlyph(3, true, QChar());
    case TToolPicture::ExpandOneLevel:
        return TreeGlyph(1, true, QLatin1Char('-'));
    case TToolPicture::FileOps: {
        QPixmap pix = Blank(18);
        QPainter p(&pix);
        p.setRenderHint(QPainter::Antialiasing);
        for (int k = 0; k < 2; ++k) {
            p.save();
            p.translate(k * 4.0, k * 2.0);
            p.scale(0.8, 0.8);
            DrawPage(p, k == 0 ? QColor(230, 230, 230) : Qt::white);
            p.restore();
        }
        p.setPen(QPen(QColor(20, 20, 20), 1.2));
        p.drawPolyline(std::array{QPointF(10, 16), QPointF(16.5, 16), QPointF(14, 13.5)}.data(), 3);
        return QIcon(pix);
    }
    case TToolPicture::Preview: {
        // A page of text with one line marked, under a pane's frame.
        QPixmap pix = Blank(18);
        QPainter p(&pix);
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(1.5, 2.5, 15, 13));
        p.fillRect(QRectF(2, 3, 14, 2.5), QColor(0, 128, 192));
        p.setPen(QPen(QColor(120, 120, 120), 1));
        for (int y : {8, 12, 14}) {
            p.drawLine(QPointF(4, y), QPointF(14, y));
        }
        p.fillRect(QRectF(6, 9.5, 6, 2), QColor(255, 200, 40));
        return QIcon(pix);
    }
    }
    return {};
}

} // namespace ui
