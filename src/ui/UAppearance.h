// Fonts and colours shared by the program's windows, and the small text conversions at the
// edge between the byte strings of the libraries and Qt's strings.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <string>

class QLabel;
class QWidget;

namespace ui {

// The window font: a narrow sans serif, so that the captions of the search panel fit the
// fixed columns of its layout.
QFont WindowFont();

// Title bar colours of the search and folder panels, and of the results panel.
inline QColor SearchTitleColour() {
    return QColor(128, 128, 192);
}
inline QColor ResultsTitleColour() {
    return QColor(0, 128, 192);
}

// A 16-pixel title bar: white text on `background`, left-aligned.
QLabel* MakeTitleBar(const QString& caption, const QColor& background, QWidget* parent);

// Bytes shown on screen: invalid UTF-8 becomes replacement characters, on screen only.
inline QString ToQ(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
// What the user typed, as the UTF-8 bytes the libraries work on.
inline std::string FromQ(const QString& text) {
    return text.toUtf8().toStdString();
}

} // namespace ui
