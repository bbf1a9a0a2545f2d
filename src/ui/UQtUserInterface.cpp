#include "ui/UQtUserInterface.h"

#include "ui/UAppearance.h"
#include "ui/UfrmRunFailures.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

namespace ui {
namespace {

// Every box carries the application's title, like the program's error boxes.
QString Title() {
    return QCoreApplication::applicationName();
}

operations::TAnswer ToAnswer(QMessageBox::StandardButton button) {
    switch (button) {
    case QMessageBox::Yes:
        return operations::TAnswer::Yes;
    case QMessageBox::No:
        return operations::TAnswer::No;
    default:
        return operations::TAnswer::Cancel;
    }
}

} // namespace

void TQtUserInterface::ShowMessage(const std::string& text) {
    QMessageBox::information(owner_, Title(), ToQ(text), QMessageBox::Ok);
}

void TQtUserInterface::ShowError(const std::string& text) {
    QMessageBox::critical(owner_, Title(), ToQ(text), QMessageBox::Ok);
}

operations::TAnswer TQtUserInterface::AskYesNo(const std::string& text) {
    const auto answer = QMessageBox::warning(owner_, Title(), ToQ(text),
                                             QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    // Closing the box without a choice counts as No: there is no Cancel here.
    return answer == QMessageBox::Yes ? operations::TAnswer::Yes : operations::TAnswer::No;
}

operations::TAnswer TQtUserInterface::AskQuestion(const std::string& text) {
    const auto answer = QMessageBox::question(owner_, Title(), ToQ(text),
                                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    return answer == QMessageBox::Yes ? operations::TAnswer::Yes : operations::TAnswer::No;
}

operations::TAnswer TQtUserInterface::AskYesNoCancel(const std::string& text) {
    return ToAnswer(QMessageBox::warning(owner_, Title(), ToQ(text),
                                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                         QMessageBox::Yes));
}

bool TQtUserInterface::ChooseSaveFile(const std::string& initialFolder, std::string& fileName) {
    QFileDialog dialog(owner_, QString(),
                       QFile::decodeName(QByteArray::fromStdString(initialFolder)));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("log"));
    dialog.setNameFilters({QStringLiteral("Log Files (*.log)"), QStringLiteral("All Files (*.*)")});
    // The command asks about an existing file itself.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return false;
    }
    fileName = QFile::encodeName(dialog.selectedFiles().front()).toStdString();
    return true;
}

void TQtUserInterface::ShowFailures(const std::string& heading,
                                    const std::vector<std::string>& lines) {
    TfrmRunFailures dialog(heading, lines, owner_);
    dialog.exec();
}

} // namespace ui
