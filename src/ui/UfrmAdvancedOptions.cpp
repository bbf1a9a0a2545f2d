#include "ui/UfrmAdvancedOptions.h"

#include "settings/UTSearchOptions.h"
#include "ui/UAppearance.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>
#include <limits>

using settings::TAttributeFilter;
using settings::TSearchOptions;

namespace ui {
namespace {

QComboBox* MakeFilterList(QWidget* parent, int top) {
    auto* list = new QComboBox(parent);
    list->addItems({QStringLiteral("Don't care"), QStringLiteral("Set"), QStringLiteral("Unset")});
    list->setCurrentIndex(0);
    list->setGeometry(68, top, 85, 21);
    return list;
}

QLabel* MakeLabel(const QString& text, QWidget* parent, const QRect& geometry) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    return label;
}

QGroupBox* MakeGroup(const QString& caption, QWidget* parent, const QRect& geometry) {
    auto* group = new QGroupBox(caption, parent);
    group->setGeometry(geometry);
    return group;
}

// A check box that enables the controls of its limit.
QCheckBox* MakeLimitCheck(const QString& caption, QWidget* parent, const QRect& geometry,
                          std::initializer_list<QWidget*> controls) {
    auto* check = new QCheckBox(caption, parent);
    check->setGeometry(geometry);
    for (QWidget* c : controls) {
        c->setEnabled(false);
        QObject::connect(check, &QCheckBox::toggled, c, &QWidget::setEnabled);
    }
    return check;
}

QDateEdit* MakeDateEdit(QWidget* parent, const QRect& geometry) {
    auto* edit = new QDateEdit(QDate::currentDate(), parent);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    edit->setCalendarPopup(true);
    edit->setGeometry(geometry);
    return edit;
}

QSpinBox* MakeSizeEdit(QWidget* parent, const QRect& geometry) {
    auto* edit = new QSpinBox(parent);
    edit->setRange(0, std::numeric_limits<int>::max());
    edit->setGeometry(geometry);
    return edit;
}

// Units of the size lists, each 1024 times the one before.
QComboBox* MakeUnitList(QWidget* parent, const QRect& geometry) {
    auto* list = new QComboBox(parent);
    list->addItems({QStringLiteral("bytes"), QStringLiteral("KB"), QStringLiteral("MB"),
                    QStringLiteral("GB")});
    list->setGeometry(geometry);
    return list;
}

std::int64_t LocalMidnight(const QDate& date) {
    return QDateTime(date, QTime(0, 0)).toSecsSinceEpoch();
}

QDate LocalDate(std::int64_t seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds).date();
}

// A limit is shown in the largest unit that divides it and keeps the number in range.
void ShowSize(QCheckBox* check, QSpinBox* edit, QComboBox* unit,
              const std::optional<std::int64_t>& size) {
    check->setChecked(size.has_value());
    std::int64_t n = size.value_or(0);
    int u = 0;
    while (u < 3 && n != 0 && n % 1024 == 0) {
        n /= 1024;
        ++u;
    }
    while (n > edit->maximum() && u < 3) { // too many bytes for the box: the next unit, rounded
        n = (n + 1023) / 1024;
        ++u;
    }
    edit->setValue(static_cast<int>(std::min<std::int64_t>(n, edit->maximum())));
    unit->setCurrentIndex(u);
}

std::optional<std::int64_t> ReadSize(const QCheckBox* check, const QSpinBox* edit,
                                     const QComboBox* unit) {
    if (!check->isChecked()) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(edit->value()) << (10 * std::max(0, unit->currentIndex()));
}

} // namespace

TfrmAdvancedOptions::TfrmAdvancedOptions(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmAdvancedOptions"));
    setWindowTitle(QStringLiteral("Advanced Options"));
    // One size smaller than the main window: the safety note must fit its four lines.
    QFont font = WindowFont();
    font.setPointSize(font.pointSize() - 1);
    setFont(font);
    // Fixed in size; one row below the groups holds the regular expressions' mode.
    setFixedSize(355, 343);

    auto* attributes = new QGroupBox(QStringLiteral(" File Attributes "), this);
    attributes->setGeometry(4, 4, 161, 189);
    const char* names[] = {"Archive", "Read Only", "System", "Hidden"};
    for (int row = 0; row < 4; ++row) {
        MakeLabel(QString::fromLatin1(names[row]), attributes, QRect(8, 20 + 24 * row, 58, 17));
    }
    cmbArchive = MakeFilterList(attributes, 16);
    cmbReadOnly = MakeFilterList(attributes, 40);
    cmbSystem = MakeFilterList(attributes, 64);
    cmbHidden = MakeFilterList(attributes, 88);
    Label7 = MakeLabel(QStringLiteral("NOTE! For safety reasons Fernsweep will not replace text on "
                                      "Read-Only, System or Hidden files."),
                       attributes, QRect(4, 116, 153, 57));
    Label7->setWordWrap(true);
    Label7->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette pal = Label7->palette();
    pal.setColor(QPalette::WindowText, QColor(128, 0, 0));
    Label7->setPalette(pal);

    // Dates: modified on or after the first, on or before the second (whole local days).
    QGroupBox* date = MakeGroup(QStringLiteral(" Date "), this, QRect(168, 4, 185, 117));
    dtpNewer = MakeDateEdit(date, QRect(24, 38, 153, 22));
    chkNewer = MakeLimitCheck(QStringLiteral("Modified on or after"), date, QRect(8, 16, 170, 20),
                              {dtpNewer});
    dtpOlder = MakeDateEdit(date, QRect(24, 86, 153, 22));
    chkOlder = MakeLimitCheck(QStringLiteral("Modified on or before"), date, QRect(8, 64, 170, 20),
                              {dtpOlder});

    // Sizes, both limits inclusive.
    QGroupBox* size = MakeGroup(QStringLiteral(" Size "), this, QRect(168, 124, 185, 69));
    edtMinSize = MakeSizeEdit(size, QRect(72, 16, 52, 22));
    cmbMinSizeUnit = MakeUnitList(size, QRect(126, 16, 55, 22));
    chkMinSize = MakeLimitCheck(QStringLiteral("At least"), size, QRect(8, 17, 64, 20),
                                {edtMinSize, cmbMinSizeUnit});
    edtMaxSize = MakeSizeEdit(size, QRect(72, 42, 52, 22));
    cmbMaxSizeUnit = MakeUnitList(size, QRect(126, 42, 55, 22));
    chkMaxSize = MakeLimitCheck(QStringLiteral("At most"), size, QRect(8, 43, 64, 20),
                                {edtMaxSize, cmbMaxSizeUnit});

    QGroupBox* walk =
        MakeGroup(QStringLiteral(" Folders and Files "), this, QRect(4, 196, 349, 90));
    MakeLabel(QStringLiteral("Folders to leave out:"), walk, QRect(8, 20, 116, 17));
    edtExcludeDirs = new QLineEdit(walk);
    edtExcludeDirs->setGeometry(126, 17, 215, 22);
    edtExcludeDirs->setPlaceholderText(QStringLiteral(".git;node_modules;build"));
    chkSkipBinary = new QCheckBox(QStringLiteral("Skip binary files"), walk);
    chkSkipBinary->setGeometry(8, 44, 333, 20);
    chkStopOnError =
        new QCheckBox(QStringLiteral("Stop at the first file that cannot be read"), walk);
    chkStopOnError->setGeometry(8, 66, 333, 20);

    chkLineByLine = new QCheckBox(QStringLiteral("Regular expressions work &line by line"), this);
    chkLineByLine->setGeometry(8, 291, 340, 20);

    btnClear = new QPushButton(QStringLiteral("Clear"), this);
    btnClear->setGeometry(4, 315, 75, 25);
    btnClear->setAutoDefault(false);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setGeometry(193, 315, 75, 25);
    btnCancel->setAutoDefault(false);
    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setGeometry(277, 315, 75, 25);
    btnOk->setDefault(true);

    setTabOrder(cmbArchive, cmbReadOnly);
    setTabOrder(cmbReadOnly, cmbSystem);
    setTabOrder(cmbSystem, cmbHidden);
    setTabOrder(cmbHidden, chkNewer);
    setTabOrder(chkNewer, dtpNewer);
    setTabOrder(dtpNewer, chkOlder);
    setTabOrder(chkOlder, dtpOlder);
    setTabOrder(dtpOlder, chkMinSize);
    setTabOrder(chkMinSize, edtMinSize);
    setTabOrder(edtMinSize, cmbMinSizeUnit);
    setTabOrder(cmbMinSizeUnit, chkMaxSize);
    setTabOrder(chkMaxSize, edtMaxSize);
    setTabOrder(edtMaxSize, cmbMaxSizeUnit);
    setTabOrder(cmbMaxSizeUnit, edtExcludeDirs);
    setTabOrder(edtExcludeDirs, chkSkipBinary);
    setTabOrder(chkSkipBinary, chkStopOnError);
    setTabOrder(chkStopOnError, chkLineByLine);
    connect(btnClear, &QPushButton::clicked, this, &TfrmAdvancedOptions::btnClearClick);
    // Esc reaches reject() through QDialog itself.
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmAdvancedOptions::ShowOptions(const TSearchOptions& options) {
    // setCurrentIndex takes -1 for "no item" and ignores nothing else out of range, so map
    // the foreign values explicitly.
    auto show = [](QComboBox* list, TAttributeFilter value) {
        list->setCurrentIndex(value >= 0 && value < list->count() ? value : -1);
    };
    show(cmbArchive, options.Archive());
    show(cmbReadOnly, options.ReadOnly());
    show(cmbSystem, options.System());
    show(cmbHidden, options.Hidden());

    shown_ = options;
    chkNewer->setChecked(options.ModifiedFrom.has_value());
    if (options.ModifiedFrom) {
        dtpNewer->setDate(LocalDate(*options.ModifiedFrom));
    }
    chkOlder->setChecked(options.ModifiedBefore.has_value());
    if (options.ModifiedBefore) {
        // "Before midnight of D" is "on or before D - 1".
        dtpOlder->setDate(LocalDate(*options.ModifiedBefore - 1));
    }
    ShowSize(chkMinSize, edtMinSize, cmbMinSizeUnit, options.MinSize);
    ShowSize(chkMaxSize, edtMaxSize, cmbMaxSizeUnit, options.MaxSize);
    edtExcludeDirs->setText(ToQ(options.ExcludeDirs));
    chkSkipBinary->setChecked(options.SkipBinary);
    chkStopOnError->setChecked(options.StopOnError);
    chkLineByLine->setChecked(options.LineByLine());
}

void TfrmAdvancedOptions::ReadOptions(TSearchOptions& options) const {
    options.SetArchive(cmbArchive->currentIndex());
    options.SetReadOnly(cmbReadOnly->currentIndex());
    options.SetSystem(cmbSystem->currentIndex());
    options.SetHidden(cmbHidden->currentIndex());

    options.ModifiedFrom = std::nullopt;
    if (chkNewer->isChecked()) {
        const bool same =
            shown_.ModifiedFrom && LocalDate(*shown_.ModifiedFrom) == dtpNewer->date();
        options.ModifiedFrom = same ? *shown_.ModifiedFrom : LocalMidnight(dtpNewer->date());
    }
    options.ModifiedBefore = std::nullopt;
    if (chkOlder->isChecked()) {
        const bool same =
            shown_.ModifiedBefore && LocalDate(*shown_.ModifiedBefore - 1) == dtpOlder->date();
        options.ModifiedBefore =
            same ? *shown_.ModifiedBefore : LocalMidnight(dtpOlder->date().addDays(1));
    }
    options.MinSize = ReadSize(chkMinSize, edtMinSize, cmbMinSizeUnit);
    options.MaxSize = ReadSize(chkMaxSize, edtMaxSize, cmbMaxSizeUnit);
    options.ExcludeDirs = FromQ(edtExcludeDirs->text());
    options.SkipBinary = chkSkipBinary->isChecked();
    options.StopOnError = chkStopOnError->isChecked();
    options.SetLineByLine(chkLineByLine->isChecked());
}

void TfrmAdvancedOptions::btnClearClick() {
    for (QComboBox* list : {cmbArchive, cmbReadOnly, cmbSystem, cmbHidden}) {
        list->setCurrentIndex(0);
    }
    for (QCheckBox* check : {chkNewer, chkOlder, chkMinSize, chkMaxSize, chkSkipBinary}) {
        check->setChecked(false);
    }
    edtExcludeDirs->clear();
}

} // namespace ui
