// The window stays responsive during a long run: it repaints and takes Abort within a tenth of
// a second, also in the middle of one folder of 100,000 files.
#include "UiTestSupport.h"

#include "engine/UTSearchEngine.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

using uitest::TWindow;

namespace {

constexpr int kFiles = 100000;
constexpr qint64 kWithinMs = 100;

// Counts the paint events a widget gets while `counting` is true.
class TPaintCounter : public QObject {
public:
    bool counting = false;
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        paints += counting && e->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

void PostClick(QWidget* w) {
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    const QPointF global = w->mapToGlobal(at);
    QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonPress, at, global,
                                                   Qt::LeftButton, Qt::LeftButton, {}));
    QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonRelease, at, global,
                                                   Qt::LeftButton, Qt::NoButton, {}));
}

} // namespace

class TestUiResponsive : public QObject {
    Q_OBJECT
private:
    QTemporaryDir settings_;
    // In memory where there is such a file system: 100,000 files are made there in a moment.
    QTemporaryDir data_{QDir(QStringLiteral("/dev/shm")).exists()
                            ? QStringLiteral("/dev/shm/fernsweep-ui-XXXXXX")
                            : QDir::tempPath() + QStringLiteral("/fernsweep-ui-XXXXXX")};

private slots:
    void runOverAHugeFolderRepaintsAndTakesAbort() {
        const QString root = data_.filePath(QStringLiteral("huge"));
        QVERIFY(QDir().mkpath(root));
        const std::string base = uitest::Bytes(root) + "/f";
        for (int i = 0; i < kFiles; ++i) {
            std::FILE* f = std::fopen((base + std::to_string(i) + ".txt").c_str(), "wb");
            QVERIFY(f != nullptr);
            std::fputs("a needle\n", f);
            std::fclose(f);
        }

        TWindow w(settings_.path(), {root});
        w.Show();
        w->cmbFileMask->setEditText(QStringLiteral("*.txt"));
        w->chkSearch->setChecked(true);
        w->edtSearch->setEditText(QStringLiteral("needle"));
        w->chkSearchClick();

        TPaintCounter painted;
        w->gauProgress->installEventFilter(&painted);
        // A timer that ticks whenever the window handles its events: the gaps between ticks
        // are how long the window stood still.
        QElapsedTimer clock;
        qint64 lastTick = -1, longestGap = 0, clickPosted = -1, abortTaken = -1;
        int ticks = 0;
        QTimer ticker;
        ticker.setInterval(5);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            if (!w->Running()) {
                return;
            }
            const qint64 now = clock.elapsed();
            if (lastTick < 0) {
                painted.counting = true;
            } else {
                longestGap = std::max(longestGap, now - lastTick);
                if (now - lastTick > 50) {
                    qInfo("gap %lld ms at tick %d, %lld ms in, done %.3f", now - lastTick, ticks,
                          now, w->Engine().DoneFraction);
                }
            }
            lastTick = now;
            ++ticks;
            // A repaint asked for now must arrive while the run goes on; the gauge alone may not
            // change before Abort when the listing is slow (as under the sanitizers).
            w->gauProgress->update();
            // Early: on a quiet machine the whole run takes a few hundred milliseconds.
            if (clickPosted < 0 && ticks == 4) {
                PostClick(w->btnAbort); // a click as the user makes it, through the queue
                clickPosted = now;
            } else if (clickPosted >= 0 && abortTaken < 0 && w->Engine().Aborted) {
                abortTaken = now;
            }
        });
        clock.start();
        ticker.start();
        w->btnGo->click(); // returns when the run is over
        ticker.stop();
        painted.counting = false;

        QVERIFY2(clickPosted >= 0, "the run ended before Abort was clicked");
        QVERIFY(w->Engine().Aborted);
        QVERIFY2(
            abortTaken >= 0 && abortTaken - clickPosted <= kWithinMs,
            qPrintable(QStringLiteral("Abort taken after %1 ms").arg(abortTaken - clickPosted)));
        QVERIFY2(longestGap <= kWithinMs,
                 qPrintable(QStringLiteral("the window stood still for %1 ms").arg(longestGap)));
        QVERIFY(painted.paints > 0);
        // The folder's loop ended after the file in progress: far from every file was found.
        const QString status = w->sbStatus->text();
        QVERIFY2(status.startsWith(QStringLiteral("Found ")), qPrintable(status));
        QVERIFY2(!status.contains(QStringLiteral(" in 100000 files")), qPrintable(status));
        qInfo("ticks %d, longest gap %lld ms, Abort taken %lld ms after the click, %d paints, %s",
              ticks, longestGap, abortTaken - clickPosted, painted.paints, qPrintable(status));
    }
};

QTEST_MAIN(TestUiResponsive)
#include "test_ui_responsive.moc"
