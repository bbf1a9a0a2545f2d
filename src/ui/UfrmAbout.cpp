#include "ui/UfrmAbout.h"

#include "operations/UShellCommands.h"
#include "platform/UShell.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace ui {

TfrmAbout::TfrmAbout(platform::TShell& shell, QWidget* parent) : QDialog(parent), shell_(shell) {
    setObjectName("frmAbout");
    setWindowTitle("About Fernsweep");
    setModal(true);

    lblName = new QLabel(this);
    lblName->setObjectName("lblName");
    QFont big = lblName->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    lblName->setFont(big);

    auto* lblWhat = new QLabel("Fern Sweep: find, and optionally replace, text in many files at "
                               "once.",
                               this);
    lblWhat->setWordWrap(true);
    auto* lblMaker = new QLabel("Vantrel Software", this);

    Label11 = new QLabel(QString::fromUtf8(operations::kHomepageUrl), this);
    Label11->setObjectName("Label11");
    Label11->setTextFormat(Qt::PlainText);
    QFont underlined = Label11->font();
    underlined.setUnderline(true);
    Label11->setFont(underlined);
    QPalette pal = Label11->palette();
    pal.setColor(QPalette::WindowText, Qt::blue);
    Label11->setPalette(pal);
    Label11->setCursor(Qt::PointingHandCursor);
    Label11->installEventFilter(this);

    btnOk = new QPushButton("OK", this);
    btnOk->setObjectName("btnOk");
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblName);
    layout->addWidget(lblWhat);
    layout->addSpacing(8);
    layout->addWidget(lblMaker);
    layout->addWidget(Label11);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TfrmAbout::Label11Click() {
    // Whatever the shell makes of it, the box has nothing to report.
    shell_.OpenUrl(Label11->text().toStdString());
}

void TfrmAbout::showEvent(QShowEvent* event) {
    lblName->setText(QString::fromUtf8(operations::kProductNameVersion));
    QDialog::showEvent(event);
}

bool TfrmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label11 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Label11Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace ui
