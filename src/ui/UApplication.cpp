#include "ui/UApplication.h"

#include "ui/UQtUserInterface.h"

namespace ui {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    // Commands report failures by throwing; the event that ran the command is done with.
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowError(e.what());
    } catch (...) {
        ShowError("Unknown error");
    }
    return false;
}

void TApplication::ShowError(const std::string& text) {
    if (errorHandler_) {
        errorHandler_(text);
        return;
    }
    TQtUserInterface(activeWindow()).ShowError(text);
}

} // namespace ui
