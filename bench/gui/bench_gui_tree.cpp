// A search through the main window that finds 1,000,000 occurrences (1,000 files in 10 folders,
// 1,000 each), then: how long after the run's end the tree is painted, how long the expand
// buttons take, and how long each repaint takes while jumping through the fully open tree.
#include "model/UTResultTree.h"
#include "ui/UAppearance.h"
#include "ui/UFolderTree.h"
#include "ui/UfrmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

using settings::TStoreLocation;

namespace {

// Resident memory in MiB, from the kernel's own account.
long ResidentMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6)) / 1024;
        }
    }
    return -1;
}

double Ms(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setFont(ui::WindowFont());
    const long wanted = argc > 1 ? std::stol(argv[1]) : 1'000'000;
    constexpr int kFolders = 10;
    constexpr int kFiles = 1000;
    constexpr int kPerLine = 10;
    const long perFile = std::max(1L, wanted / kFiles);
    const long lines = std::max(1L, perFile / kPerLine);

    QTemporaryDir scratch;
    const QString data = scratch.filePath(QStringLiteral("data"));
    QByteArray line;
    for (int k = 0; k < kPerLine; ++k) {
        line += "needle ";
    }
    line += "\n";
    const QByteArray content = line.repeated(static_cast<int>(lines));
    for (int f = 0; f < kFiles; ++f) {
        const QString folder = QStringLiteral("%1/folder%2").arg(data).arg(f % kFolders);
        QDir().mkpath(folder);
        QFile file(QStringLiteral("%1/file%2.txt").arg(folder).arg(f));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
            std::fprintf(stderr, "cannot write the data\n");
            return 1;
        }
    }

    ui::TfrmMainContext context;
    context.StoreLocation = [dir = scratch.path().toStdString() + "/"] {
        TStoreLocation loc;
        loc.ExeDirectory = dir;
        loc.ExeDirectoryWritable = true;
        return loc;
    };
    context.Arguments = {data};
    ui::TfrmMain frm(std::move(context));
    frm.resize(1000, 700);
    frm.show();
    QCoreApplication::processEvents();
    frm.cmbFileMask->setEditText(QStringLiteral("*.txt"));
    frm.chkSearch->setChecked(true);
    frm.chkSearchClick();
    frm.edtSearch->setEditText(QStringLiteral("needle"));

    QElapsedTimer clock;
    double runEnd = 0;
    QObject::connect(&frm, &ui::TfrmMain::statusChanged, [&](const QString& text) {
        if (text.startsWith(QStringLiteral("Found "))) {
            runEnd = Ms(clock);
        }
    });
    clock.start();
    frm.btnGo->click();
    frm.tvLog->viewport()->repaint();
    const double shown = Ms(clock);
    std::printf("run: %s (%d nodes)\n", qPrintable(frm.sbStatus->text()), frm.ResultTree().Count());
    std::printf("engine run, Go to summary line:     %8.1f ms\n", runEnd);
    std::printf("tree painted after the run's end:   %8.1f ms\n", shown - runEnd);

    auto timeButton = [&](QToolButton* button, const char* name) {
        QElapsedTimer t;
        t.start();
        button->click();
        frm.tvLog->viewport()->repaint();
        std::printf("%-36s%8.1f ms\n", name, Ms(t));
    };
    timeButton(frm.btnExpandSelected, "expand to file level:");
    timeButton(frm.btnExpandOccurence, "expand to occurence level:");
    timeButton(frm.btnExpandOneLevel, "expand first level only:");
    timeButton(frm.btnExpandFull, "expand full tree:");

    // Jumps through the open tree, as dragging the scroll bar does, and line steps.
    QScrollBar* bar = frm.tvLog->verticalScrollBar();
    std::vector<double> jumps;
    for (int i = 0; i <= 100; ++i) {
        QElapsedTimer t;
        t.start();
        bar->setValue(static_cast<int>(static_cast<long long>(bar->maximum()) * i / 100));
        frm.tvLog->viewport()->repaint();
        jumps.push_back(Ms(t));
    }
    std::vector<double> steps;
    for (int i = 0; i < 200; ++i) {
        QElapsedTimer t;
        t.start();
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        frm.tvLog->viewport()->repaint();
        steps.push_back(Ms(t));
    }
    auto report = [](const char* name, std::vector<double> v) {
        std::sort(v.begin(), v.end());
        double sum = 0;
        for (double x : v) {
            sum += x;
        }
        std::printf("%-36s mean %.2f ms, median %.2f ms, max %.2f ms (%zu repaints)\n", name,
                    sum / static_cast<double>(v.size()), v[v.size() / 2], v.back(), v.size());
    };
    report("scroll jumps through the open tree:", jumps);
    report("scroll line steps:", steps);
    std::printf("rows in view model: %d scroll range, resident memory %ld MiB\n", bar->maximum(),
                ResidentMiB());
    frm.close();
    return 0;
}
