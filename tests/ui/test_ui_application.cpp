// The application object catches what a command throws and reports it once; the program goes
// on handling events.
#include "ui/UApplication.h"

#include <QPushButton>
#include <QTest>

#include <stdexcept>
#include <string>
#include <vector>

class TestUiApplication : public QObject {
    Q_OBJECT
public:
    std::vector<std::string> Errors;

private slots:
    void anErrorEscapingAClickIsShownAndTheProgramGoesOn() {
        QPushButton failing(QStringLiteral("fail"));
        int clicks = 0;
        connect(&failing, &QPushButton::clicked, [&] {
            ++clicks;
            throw std::runtime_error("Unable to write to /nowhere/Fernsweep.ini");
        });
        failing.show();
        QVERIFY(QTest::qWaitForWindowExposed(&failing));
        QTest::mouseClick(&failing, Qt::LeftButton);
        QTest::mouseClick(&failing, Qt::LeftButton);
        QCOMPARE(clicks, 2);
        QCOMPARE(Errors, (std::vector<std::string>{"Unable to write to /nowhere/Fernsweep.ini",
                                                   "Unable to write to /nowhere/Fernsweep.ini"}));
    }

    void somethingThatIsNoStandardErrorStillEndsOnlyTheCommand() {
        Errors.clear();
        QPushButton failing(QStringLiteral("fail"));
        connect(&failing, &QPushButton::clicked, [] { throw 42; });
        failing.show();
        QVERIFY(QTest::qWaitForWindowExposed(&failing));
        QTest::mouseClick(&failing, Qt::LeftButton);
        QCOMPARE(Errors, std::vector<std::string>{"Unknown error"});
    }
};

int main(int argc, char* argv[]) {
    ui::TApplication app(argc, argv);
    TestUiApplication test;
    app.SetErrorHandler([&test](const std::string& text) { test.Errors.push_back(text); });
    return QTest::qExec(&test, argc, argv);
}

#include "test_ui_application.moc"
