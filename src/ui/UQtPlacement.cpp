#include "ui/UQtPlacement.h"

#include <QWidget>

using settings::TPlacementRect;
using settings::TWindowState;
using settings::wsMaximized;
using settings::wsMinimized;
using settings::wsNormal;

namespace ui {
namespace {

// The rectangle the window has, or returns to, in the normal state.
QRect NormalRect(const QWidget& w) {
    if (w.windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) {
        const QRect normal = w.normalGeometry();
        if (normal.isValid()) {
            return normal;
        }
    }
    return w.geometry();
}

} // namespace

bool TWidgetPlacement::GetNormalBounds(TPlacementRect& bounds) const {
    const QRect r = NormalRect(widget_);
    if (!r.isValid()) {
        return false;
    }
    bounds.Left = r.x();
    bounds.Top = r.y();
    bounds.Right = r.x() + r.width();
    bounds.Bottom = r.y() + r.height();
    return true;
}

TWindowState TWidgetPlacement::WindowState() const {
    const Qt::WindowStates s = widget_.windowState();
    if (s & Qt::WindowMinimized) {
        return wsMinimized;
    }
    if (s & Qt::WindowMaximized) {
        return wsMaximized;
    }
    return wsNormal;
}

void TWidgetPlacement::SetWindowState(TWindowState state) {
    Qt::WindowStates s = widget_.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (state == wsMinimized) {
        s |= Qt::WindowMinimized;
    } else if (state == wsMaximized) {
        s |= Qt::WindowMaximized;
    }
    widget_.setWindowState(s);
}

// Coordinates apply to the normal rectangle, so a maximized window keeps its state and comes
// back to the restored place.
void TWidgetPlacement::SetLeft(std::int32_t left) {
    QRect r = NormalRect(widget_);
    r.moveLeft(left);
    widget_.setGeometry(r);
}

void TWidgetPlacement::SetTop(std::int32_t top) {
    QRect r = NormalRect(widget_);
    r.moveTop(top);
    widget_.setGeometry(r);
}

void TWidgetPlacement::SetWidth(std::int32_t width) {
    QRect r = NormalRect(widget_);
    r.setWidth(width);
    widget_.setGeometry(r);
}

void TWidgetPlacement::SetHeight(std::int32_t height) {
    QRect r = NormalRect(widget_);
    r.setHeight(height);
    widget_.setGeometry(r);
}

} // namespace ui
