#include "ui/UAppearance.h"

#include <QLabel>
#include <QPalette>

namespace ui {

QFont WindowFont() {
    QFont font;
    // The first family installed wins; the wide default sans serif would overrun the captions
    // of the check boxes in front of the search fields.
    font.setFamilies({"Nimbus Sans Narrow", "Liberation Sans Narrow", "Arial Narrow",
                      "DejaVu Sans Condensed", "Sans Serif"});
    font.setPointSize(9);
    return font;
}

QLabel* MakeTitleBar(const QString& caption, const QColor& background, QWidget* parent) {
    auto* bar = new QLabel(caption, parent);
    bar->setTextFormat(Qt::PlainText);
    bar->setAutoFillBackground(true);
    QPalette pal = bar->palette();
    pal.setColor(QPalette::Window, background);
    pal.setColor(QPalette::WindowText, Qt::white);
    bar->setPalette(pal);
    bar->setFixedHeight(16);
    bar->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return bar;
}

} // namespace ui
