// The user-interface seam answered with real dialogs: message boxes and the save dialog.
#pragma once

#include "operations/UTUserInterface.h"

class QWidget;

namespace ui {

class TQtUserInterface : public operations::TUserInterface {
public:
    // Boxes are modal to `owner`; it must outlive this object.
    explicit TQtUserInterface(QWidget* owner) : owner_(owner) {}

    void ShowMessage(const std::string& text) override;
    void ShowError(const std::string& text) override;
    operations::TAnswer AskYesNo(const std::string& text) override;
    operations::TAnswer AskQuestion(const std::string& text) override;
    operations::TAnswer AskYesNoCancel(const std::string& text) override;
    bool ChooseSaveFile(const std::string& initialFolder, std::string& fileName) override;
    void ShowFailures(const std::string& heading, const std::vector<std::string>& lines) override;

private:
    QWidget* owner_;
};

} // namespace ui
