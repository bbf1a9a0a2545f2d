#include "ui/UfrmRunFailures.h"

#include "platform/UPlatform.h"
#include "ui/UAppearance.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ui {

TfrmRunFailures::TfrmRunFailures(const std::string& heading, const std::vector<std::string>& lines,
                                 QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmRunFailures"));
    setWindowTitle(QCoreApplication::applicationName());
    setFont(WindowFont());
    for (const std::string& line : lines) {
        text_ += line;
        text_ += '\n';
    }

    lblHeading = new QLabel(ToQ(heading), this);
    lblHeading->setWordWrap(true);
    memFailures = new QPlainTextEdit(this);
    memFailures->setReadOnly(true);
    memFailures->setLineWrapMode(QPlainTextEdit::NoWrap);
    memFailures->setPlainText(ToQ(text_));
    btnCopy = new QPushButton(QStringLiteral("&Copy"), this);
    btnCopy->setAutoDefault(false);
    btnSave = new QPushButton(QStringLiteral("&Save..."), this);
    btnSave->setAutoDefault(false);
    btnClose = new QPushButton(QStringLiteral("Close"), this);
    btnClose->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnCopy);
    buttons->addWidget(btnSave);
    buttons->addStretch(1);
    buttons->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblHeading);
    layout->addWidget(memFailures, 1);
    layout->addLayout(buttons);
    resize(620, 320);

    connect(btnCopy, &QPushButton::clicked, this, &TfrmRunFailures::btnCopyClick);
    connect(btnSave, &QPushButton::clicked, this, &TfrmRunFailures::btnSaveClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmRunFailures::btnCopyClick() {
    QApplication::clipboard()->setText(ToQ(text_));
}

void TfrmRunFailures::btnSaveClick() {
    const QString name = QFileDialog::getSaveFileName(
        this, QString(), QString(), QStringLiteral("Text Files (*.txt);;All Files (*)"));
    if (name.isEmpty()) {
        return;
    }
    const std::string path = QFile::encodeName(name).toStdString();
    if (!platform::WriteWholeFile(path, text_)) {
        QMessageBox::information(this, QCoreApplication::applicationName(),
                                 ToQ("Cannot generate file \"" + path + "\""), QMessageBox::Ok);
    }
}

} // namespace ui
