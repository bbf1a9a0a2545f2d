// The regular-expression quick help: the pattern syntax on one page, kept open beside the
// main window while a pattern is written.
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace platform {
class TShell;
}

namespace ui {

class TfrmRegExHelp : public QWidget {
    Q_OBJECT
public:
    // `shell` opens the link; it must outlive the window.
    explicit TfrmRegExHelp(platform::TShell& shell, QWidget* parent = nullptr);

    // Says whether patterns work on the whole text (the default) or line by line.
    void SetLineByLine(bool on);

    void btnOkClick();
    void lblURLClick();

    QLabel* lblMode;
    QLabel* lblURL;
    QPushButton* btnOk;

signals:
    // The window was closed and is about to be destroyed.
    void formClosed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    platform::TShell& shell_;
};

} // namespace ui
