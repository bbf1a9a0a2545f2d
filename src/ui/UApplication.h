// The program's application object: it shows an error that escapes a command in an error box
// titled with the application's title, and the program goes on.
#pragma once

#include <QApplication>

#include <functional>
#include <string>

namespace ui {

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);

    // Replaces the error box, for tests; null restores it.
    void SetErrorHandler(std::function<void(const std::string&)> handler) {
        errorHandler_ = std::move(handler);
    }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    void ShowError(const std::string& text);

    std::function<void(const std::string&)> errorHandler_;
};

} // namespace ui
