// The pane below the results after a preview: how many of the found replacements are chosen,
// the button that writes them, and what the chosen ones do to the selected file, as a unified
// diff with removed and added lines coloured.
#pragma once

#include "ui/UPreviewPane.h"

#include <QList>
#include <QWidget>

#include <string>
#include <vector>

class QLabel;
class QPushButton;

namespace ui {

class TChangesPane : public QWidget {
    Q_OBJECT
public:
    explicit TChangesPane(QWidget* parent = nullptr);

    // "3 of 5 replacements chosen, in 2 of 3 files"; Apply is enabled when one is chosen and
    // `canApply` holds.
    void ShowChosen(int chosen, int total, int chosenFiles, int files, bool canApply);
    // The diff of one file, scrolled to the hunk holding original line `focusLine` (from 1; 0:
    // the first change).
    void ShowDiff(const std::string& diff, int focusLine);
    // A line of explanation instead of a diff: nothing selected, nothing chosen.
    void ShowNote(const QString& note);
    // The one-line warning above the diff (empty: none), for a file changed since the preview.
    void ShowWarning(const QString& text);

    QLabel* lblTitle;
    QLabel* lblChosen;
    QPushButton* btnApply;
    QLabel* lblWarning;
    TPreviewPane* pnlDiff;
};

// A unified diff as the pane shows it: one line per diff line, without its break, of kind
// Removed, Added, Context, or Gap for the file and hunk headers; the gutter holds the line's
// numbers in the original and in the result. OldLines gives each line's number in the original
// (0 for added lines and headers).
struct TDiffLines {
    QList<TPreviewPane::TLine> Lines;
    std::vector<int> OldLines;
};
TDiffLines DiffLines(const std::string& diff);

} // namespace ui
