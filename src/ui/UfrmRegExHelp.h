// The regular-expression quick help: the pattern syntax on one page, kept open beside the
// main window while a pattern is written.
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace ui {

class TfrmRegExHelp : public QWidget {
    Q_OBJECT
public:
    explicit TfrmRegExHelp(QWidget* parent = nullptr);

    void btnOkClick();
    void lblURLClick();

    QLabel* lblURL;
    QPushButton* btnOk;

signals:
    // The window was closed and is about to be destroyed.
    void formClosed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace ui
