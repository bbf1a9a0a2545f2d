// Fernsweep: find and replace text in many files at once.
#include "ui/UAppearance.h"
#include "ui/UApplication.h"
#include "ui/UfrmMain.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    ui::TApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Fernsweep"));
    QApplication::setFont(ui::WindowFont());
    // The program lives as long as its main window, whatever other windows are open.
    QApplication::setQuitOnLastWindowClosed(false);

    ui::TfrmMainContext context;
    context.Arguments = QApplication::arguments().mid(1);
    ui::TfrmMain frmMain(std::move(context));
    QObject::connect(&frmMain, &ui::TfrmMain::formClosed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    frmMain.show();
    return QApplication::exec();
}
