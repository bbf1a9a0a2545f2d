// A top-level widget seen by the settings store's placement operations.
#pragma once

#include "settings/vtRegVal.h"

#include <utility>

class QWidget;

namespace ui {

class TWidgetPlacement : public settings::TPlacementTarget {
public:
    // `widget` must outlive this object.
    TWidgetPlacement(QWidget& widget, std::string name) : widget_(widget), name_(std::move(name)) {}

    std::string Name() const override { return name_; }
    bool GetNormalBounds(settings::TPlacementRect& bounds) const override;
    settings::TWindowState WindowState() const override;
    void SetWindowState(settings::TWindowState state) override;
    void SetLeft(std::int32_t left) override;
    void SetTop(std::int32_t top) override;
    void SetWidth(std::int32_t width) override;
    void SetHeight(std::int32_t height) override;

private:
    QWidget& widget_;
    std::string name_;
};

} // namespace ui
