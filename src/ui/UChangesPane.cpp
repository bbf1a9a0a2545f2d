#include "ui/UChangesPane.h"

#include "text/UTextHelpers.h"
#include "ui/UAppearance.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>

namespace ui {

TChangesPane::TChangesPane(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pnlChanges"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    lblTitle = MakeTitleBar(QStringLiteral(" Changes:"), ResultsTitleColour(), this);
    layout->addWidget(lblTitle);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(6, 3, 4, 3);
    lblChosen = new QLabel(this);
    lblChosen->setTextFormat(Qt::PlainText);
    bar->addWidget(lblChosen, 1);
    btnApply = new QPushButton(QStringLiteral("&Apply"), this);
    btnApply->setToolTip(QStringLiteral("Write the ticked replacements"));
    // Alt+A: "Abort" has it only while a run goes on, and Apply is disabled then.
    btnApply->setAutoDefault(false);
    btnApply->setMinimumWidth(75);
    btnApply->setEnabled(false);
    bar->addWidget(btnApply);
    layout->addLayout(bar);

    lblWarning = new QLabel(this);
    lblWarning->setTextFormat(Qt::PlainText);
    lblWarning->setContentsMargins(6, 2, 4, 2);
    lblWarning->setAutoFillBackground(true);
    QPalette warning = lblWarning->palette();
    warning.setColor(QPalette::Window, QColor(255, 236, 179));
    warning.setColor(QPalette::WindowText, QColor(128, 0, 0));
    lblWarning->setPalette(warning);
    lblWarning->hide();
    layout->addWidget(lblWarning);

    pnlDiff = new TPreviewPane(this);
    pnlDiff->setObjectName(QStringLiteral("pnlDiff"));
    layout->addWidget(pnlDiff, 1);
}

void TChangesPane::ShowChosen(int chosen, int total, int chosenFiles, int files, bool canApply) {
    lblChosen->setText(QStringLiteral("%1 of %2 chosen, in %3 of %4")
                           .arg(chosen)
                           .arg(ToQ(text::PluralCount(total, "replacement")))
                           .arg(chosenFiles)
                           .arg(ToQ(text::PluralCount(files, "file"))));
    btnApply->setEnabled(canApply && chosen > 0);
}

void TChangesPane::ShowDiff(const std::string& diff, int focusLine) {
    const TDiffLines shown = DiffLines(diff);
    int focus = -1;
    if (focusLine > 0) {
        // The first removed line at or after it, else the last line before it.
        for (size_t i = 0; i < shown.OldLines.size(); ++i) {
            if (shown.OldLines[i] > 0 && shown.OldLines[i] <= focusLine) {
                focus = static_cast<int>(i);
            }
            if (shown.OldLines[i] >= focusLine &&
                shown.Lines[static_cast<int>(i)].Kind == TPreviewPane::TLineKind::Removed) {
                focus = static_cast<int>(i);
                break;
            }
        }
    }
    pnlDiff->ShowLines(shown.Lines, focus);
}

void TChangesPane::ShowNote(const QString& note) {
    pnlDiff->ShowNote(note);
}

void TChangesPane::ShowWarning(const QString& text) {
    lblWarning->setText(text);
    lblWarning->setToolTip(text);
    lblWarning->setVisible(!text.isEmpty());
}

TDiffLines DiffLines(const std::string& diff) {
    using TKind = TPreviewPane::TLineKind;
    struct TNumbered {
        TPreviewPane::TLine Line;
        int Old = 0;
        int New = 0;
    };
    std::vector<TNumbered> lines;
    int oldLine = 0;
    int newLine = 0;
    int widest = 0;
    size_t at = 0;
    while (at < diff.size()) {
        size_t end = diff.find('\n', at);
        if (end == std::string::npos) {
            end = diff.size();
        }
        std::string text = diff.substr(at, end - at);
        at = end + 1;
        if (!text.empty() && text.back() == '\r') {
            text.pop_back();
        }
        TNumbered n;
        n.Line.Text = ToQ(text);
        const char mark = text.empty() ? ' ' : text.front();
        if (text.rfind("@@", 0) == 0) {
            // "@@ -12,7 +12,8 @@": where the hunk starts on each side.
            const size_t minus = text.find('-');
            const size_t plus = text.find('+');
            oldLine = minus != std::string::npos ? std::atoi(text.c_str() + minus + 1) : 0;
            newLine = plus != std::string::npos ? std::atoi(text.c_str() + plus + 1) : 0;
            n.Line.Kind = TKind::Gap;
        } else if (text.rfind("--- ", 0) == 0 || text.rfind("+++ ", 0) == 0 || mark == '\\') {
            n.Line.Kind = mark == '\\' ? TKind::Context : TKind::Gap;
        } else if (mark == '-') {
            n.Line.Kind = TKind::Removed;
            n.Old = oldLine++;
        } else if (mark == '+') {
            n.Line.Kind = TKind::Added;
            n.New = newLine++;
        } else {
            n.Old = oldLine++;
            n.New = newLine++;
        }
        widest = std::max({widest, n.Old, n.New});
        lines.push_back(std::move(n));
    }
    const int width = static_cast<int>(QString::number(widest).size());
    TDiffLines out;
    for (TNumbered& n : lines) {
        const auto number = [width](int v) {
            return v > 0 ? QString::number(v).rightJustified(width)
                         : QString(width, QLatin1Char(' '));
        };
        if (n.Old > 0 || n.New > 0) {
            n.Line.Gutter = number(n.Old) + QLatin1Char(' ') + number(n.New);
        }
        out.Lines.append(std::move(n.Line));
        out.OldLines.push_back(n.Old);
    }
    return out;
}

} // namespace ui
