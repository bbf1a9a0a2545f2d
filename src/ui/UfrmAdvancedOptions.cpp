#include "UfrmAdvancedOptions.h"

#include "UAppearance.h"
#include "UTSearchOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

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

QGroupBox* MakeNotImplementedGroup(const QString& caption, QWidget* parent, const QRect& geometry) {
    auto* group = new QGroupBox(caption, parent);
    group->setGeometry(geometry);
    MakeLabel(QStringLiteral("Not implemented yet!"), group, QRect(8, 20, 160, 17));
    return group;
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
    setFixedSize(355, 236);

    auto* attributes = new QGroupBox(QStringLiteral(" File Attributes "), this);
    attributes->setGeometry(4, 4, 161, 177);
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

    MakeNotImplementedGroup(QStringLiteral(" Date "), this, QRect(168, 4, 185, 117));
    MakeNotImplementedGroup(QStringLiteral(" Size "), this, QRect(168, 124, 185, 57));

    chkLineByLine = new QCheckBox(QStringLiteral("Regular expressions work &line by line"), this);
    chkLineByLine->setGeometry(8, 186, 340, 20);

    btnClear = new QPushButton(QStringLiteral("Clear"), this);
    btnClear->setGeometry(4, 208, 75, 25);
    btnClear->setAutoDefault(false);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setGeometry(193, 208, 75, 25);
    btnCancel->setAutoDefault(false);
    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setGeometry(277, 208, 75, 25);
    btnOk->setDefault(true);

    setTabOrder(cmbArchive, cmbReadOnly);
    setTabOrder(cmbReadOnly, cmbSystem);
    setTabOrder(cmbSystem, cmbHidden);
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
    chkLineByLine->setChecked(options.LineByLine());
}

void TfrmAdvancedOptions::ReadOptions(TSearchOptions& options) const {
    options.SetArchive(cmbArchive->currentIndex());
    options.SetReadOnly(cmbReadOnly->currentIndex());
    options.SetSystem(cmbSystem->currentIndex());
    options.SetHidden(cmbHidden->currentIndex());
    options.SetLineByLine(chkLineByLine->isChecked());
}

void TfrmAdvancedOptions::btnClearClick() {
    for (QComboBox* list : {cmbArchive, cmbReadOnly, cmbSystem, cmbHidden}) {
        list->setCurrentIndex(0);
    }
}

} // namespace ui
