// The About box: the product name and version, a few words about the program, and a link to
// the maker's homepage that the shell opens.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace platform {
class TShell;
}

namespace ui {

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    // `shell` must outlive the box.
    explicit TfrmAbout(platform::TShell& shell, QWidget* parent = nullptr);

    void Label11Click();

    QLabel* lblName;
    QLabel* Label11; // the link
    QPushButton* btnOk;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    platform::TShell& shell_;
};

} // namespace ui
