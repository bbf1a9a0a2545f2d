// Renders the program's SVG icon to a PNG of a given size at build time, with QtGui alone.
// It reads the few SVG features the icon uses: rect (with rx), circle and path elements with
// absolute M, L, H, V, Q, C and Z commands, solid fill and stroke colours, stroke width and
// round caps. Anything else makes it fail loudly rather than draw a wrong picture.
//   fs_render_icon INPUT.svg SIZE OUTPUT.png
#include <QColor>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRectF>
#include <QXmlStreamReader>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

[[noreturn]] void Fail(const QString& what) {
    throw std::runtime_error(what.toStdString());
}

double Number(const QXmlStreamAttributes& a, const char* name, double fallback = 0) {
    const QString text = a.value(QLatin1String(name)).toString();
    if (text.isEmpty()) {
        return fallback;
    }
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok) {
        Fail(QStringLiteral("bad number in %1=\"%2\"").arg(QLatin1String(name), text));
    }
    return v;
}

// Splits path data into command letters and numbers.
class TPathTokens {
public:
    explicit TPathTokens(const QString& d) : d_(d) {}

    bool AtEnd() {
        Skip();
        return i_ >= d_.size();
    }
    bool NextIsCommand() {
        Skip();
        return i_ < d_.size() && d_[i_].isLetter();
    }
    QChar Command() {
        Skip();
        return d_[i_++];
    }
    double Number() {
        Skip();
        const qsizetype start = i_;
        if (i_ < d_.size() && (d_[i_] == '-' || d_[i_] == '+')) {
            ++i_;
        }
        while (i_ < d_.size() && (d_[i_].isDigit() || d_[i_] == '.')) {
            ++i_;
        }
        bool ok = false;
        const double v = d_.mid(start, i_ - start).toDouble(&ok);
        if (!ok) {
            Fail(QStringLiteral("bad path data at %1").arg(start));
        }
        return v;
    }

private:
    void Skip() {
        while (i_ < d_.size() && (d_[i_].isSpace() || d_[i_] == ',')) {
            ++i_;
        }
    }
    QString d_;
    qsizetype i_ = 0;
};

QPainterPath ParsePath(const QString& d) {
    QPainterPath path;
    TPathTokens t(d);
    QChar cmd;
    while (!t.AtEnd()) {
        if (t.NextIsCommand()) {
            cmd = t.Command();
        } else if (cmd.isNull()) {
            Fail(QStringLiteral("path data must start with a command"));
        }
        switch (cmd.unicode()) {
        case 'M': {
            const double x = t.Number();
            path.moveTo(x, t.Number());
            cmd = 'L'; // further pairs are lines
            break;
        }
        case 'L': {
            const double x = t.Number();
            path.lineTo(x, t.Number());
            break;
        }
        case 'H':
            path.lineTo(t.Number(), path.currentPosition().y());
            break;
        case 'V':
            path.lineTo(path.currentPosition().x(), t.Number());
            break;
        case 'Q': {
            const double cx = t.Number();
            const double cy = t.Number();
            const double x = t.Number();
            path.quadTo(cx, cy, x, t.Number());
            break;
        }
        case 'C': {
            const double c1x = t.Number();
            const double c1y = t.Number();
            const double c2x = t.Number();
            const double c2y = t.Number();
            const double x = t.Number();
            path.cubicTo(c1x, c1y, c2x, c2y, x, t.Number());
            break;
        }
        case 'Z':
            path.closeSubpath();
            cmd = QChar();
            break;
        default:
            Fail(QStringLiteral("path command %1 is not supported").arg(cmd));
        }
    }
    return path;
}

QColor Paint(const QXmlStreamAttributes& a, const char* name, const char* fallback) {
    const QString text = a.hasAttribute(QLatin1String(name))
                             ? a.value(QLatin1String(name)).toString()
                             : QString::fromLatin1(fallback);
    if (text == QLatin1String("none")) {
        return QColor(Qt::transparent);
    }
    const QColor c = QColor::fromString(text);
    if (!c.isValid()) {
        Fail(QStringLiteral("colour \"%1\" is not supported").arg(text));
    }
    return c;
}

void Draw(QPainter& p, const QPainterPath& shape, const QXmlStreamAttributes& a) {
    const QColor fill = Paint(a, "fill", "#000000");
    const QColor stroke = Paint(a, "stroke", "none");
    if (fill.alpha() > 0) {
        p.fillPath(shape, fill);
    }
    if (stroke.alpha() > 0) {
        QPen pen(stroke, Number(a, "stroke-width", 1));
        const bool round = a.value(QLatin1String("stroke-linecap")) == QLatin1String("round");
        pen.setCapStyle(round ? Qt::RoundCap : Qt::FlatCap);
        pen.setJoinStyle(Qt::RoundJoin);
        p.strokePath(shape, pen);
    }
}

void Render(const QString& input, int size, const QString& output) {
    QFile file(input);
    if (!file.open(QIODevice::ReadOnly)) {
        Fail(QStringLiteral("cannot read %1").arg(input));
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        const QXmlStreamAttributes a = xml.attributes();
        const QStringView name = xml.name();
        if (name == QLatin1String("svg")) {
            const QStringList box = a.value(QLatin1String("viewBox")).toString().split(' ');
            if (box.size() != 4 || box[0].toDouble() != 0 || box[1].toDouble() != 0) {
                Fail(QStringLiteral("the svg element needs a viewBox \"0 0 W H\""));
            }
            p.scale(size / box[2].toDouble(), size / box[3].toDouble());
        } else if (name == QLatin1String("rect")) {
            QPainterPath shape;
            const double r = Number(a, "rx");
            shape.addRoundedRect(
                QRectF(Number(a, "x"), Number(a, "y"), Number(a, "width"), Number(a, "height")), r,
                Number(a, "ry", r));
            Draw(p, shape, a);
        } else if (name == QLatin1String("circle")) {
            QPainterPath shape;
            const double r = Number(a, "r");
            shape.addEllipse(QPointF(Number(a, "cx"), Number(a, "cy")), r, r);
            Draw(p, shape, a);
        } else if (name == QLatin1String("path")) {
            Draw(p, ParsePath(a.value(QLatin1String("d")).toString()), a);
        } else {
            Fail(QStringLiteral("element <%1> is not supported").arg(name));
        }
    }
    if (xml.hasError()) {
        Fail(xml.errorString());
    }
    p.end();
    if (!image.save(output, "PNG")) {
        Fail(QStringLiteral("cannot write %1").arg(output));
    }
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s INPUT.svg SIZE OUTPUT.png\n", argv[0]);
        return 2;
    }
    try {
        Render(QString::fromLocal8Bit(argv[1]), std::atoi(argv[2]),
               QString::fromLocal8Bit(argv[3]));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[1], e.what());
        return 1;
    }
    return 0;
}
