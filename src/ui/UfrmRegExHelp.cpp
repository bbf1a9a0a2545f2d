#include "ui/UfrmRegExHelp.h"

#include "operations/UShellCommands.h"
#include "ui/UAppearance.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include <initializer_list>
#include <utility>

namespace ui {

namespace {

using TRow = std::pair<const char*, const char*>;

QLabel* PlainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// One group: syntax in bold, its meaning beside it, and an optional note below.
QGroupBox* MakeGroup(const char* caption, std::initializer_list<TRow> rows, const char* note,
                     int noteLines, QWidget* parent) {
    auto* group = new QGroupBox(QString::fromUtf8(caption), parent);
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(8, 2, 6, 4);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(0);
    int row = 0;
    for (const auto& [syntax, meaning] : rows) {
        QLabel* left = PlainLabel(QString::fromUtf8(syntax), group);
        QFont bold = left->font();
        bold.setBold(true);
        left->setFont(bold);
        grid->addWidget(left, row, 0, Qt::AlignLeft | Qt::AlignTop);
        grid->addWidget(PlainLabel(QString::fromUtf8(meaning), group), row, 1,
                        Qt::AlignLeft | Qt::AlignTop);
        ++row;
    }
    if (note != nullptr) {
        QLabel* text = PlainLabel(QString::fromUtf8(note), group);
        text->setWordWrap(true);
        // Grid layouts do not ask wrapped labels for their height: reserve the lines.
        text->setMinimumHeight(noteLines * text->fontMetrics().lineSpacing());
        grid->addWidget(text, row, 0, 1, 2, Qt::AlignTop);
        ++row;
    }
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 1);
    return group;
}

} // namespace

TfrmRegExHelp::TfrmRegExHelp(platform::TShell& shell, QWidget* parent)
    : QWidget(parent, Qt::Window), shell_(shell) {
    setObjectName(QStringLiteral("frmRegExHelp"));
    setWindowTitle(QStringLiteral("Regular Expression Quick Help"));
    // A size smaller than the main window, so the whole summary fits its 615 by 368 pixels.
    QFont font = WindowFont();
    font.setPointSize(font.pointSize() - 1);
    setFont(font);
    resize(615, 368);

    auto* groups = new QGridLayout;
    groups->setSpacing(4);
    groups->addWidget(MakeGroup(" Escape Sequences ",
                                {{"\\", "Escape Character"},
                                 {"\\xnn", "Char with hex code nn"},
                                 {"\\x{nnnn}", "Char with hex code nnnn"},
                                 {"\\t", "TAB (\\x09)"},
                                 {"\\n", "New Line (NL/LF) (\\x0a)"},
                                 {"\\r", "Carriage Return (CR) (\\x0d)"},
                                 {"\\f", "Form feed (FF) (\\x0c)"}},
                                nullptr, 0, this),
                      0, 0);
    groups->addWidget(MakeGroup(" Metacharacters - Separators ",
                                {{".", "Any character"},
                                 {"^", "Start of line"},
                                 {"$", "End of line"},
                                 {"\\A", "Start of text"},
                                 {"\\Z", "End of text"},
                                 {"\\b", "word boundary"},
                                 {"\\B", "non-(word boundary)"}},
                                nullptr, 0, this),
                      0, 1);
    groups->addWidget(
        MakeGroup(" Metacharacters - Iterators",
                  {{"*", "zero or more, similar to {0,}"},
                   {"+", "one or more, similar to {1,}"},
                   {"?", "zero or one, similar to {0,1}"},
                   {"{n}", "exactly n times"},
                   {"{n,}", "at least n times"},
                   {"{n,m}", "at least n but no more than m times"}},
                  "Add a '?' at the end for \"non-greedy\" matches, i.e. as few as possible.", 2,
                  this),
        0, 2);
    groups->addWidget(
        MakeGroup(" Character Classes ",
                  {{"[aeiou]", "Matches any char in [ ]"},
                   {"[a-z]", "Matches small caps from 'a' to 'z'"},
                   {"[-az]", "Matches 'a', 'z' and '-'"},
                   {"[a\\-z]", "Matches 'a', 'z' and '-'"},
                   {"[^0-9]", "Matches any non-numeric char"}},
                  "If first char is '^' the class matches any character NOT in the list", 2, this),
        1, 0);
    groups->addWidget(MakeGroup(" Predefined Character Classes ",
                                {{"\\w", "alphanumeric char (incl. '_')"},
                                 {"\\W", "non-alphanumeric char"},
                                 {"\\d", "numeric character"},
                                 {"\\D", "non-numeric char"},
                                 {"\\s", "any space (same as \\t\\n\\r\\f)"},
                                 {"\\S", "non-space"}},
                                nullptr, 0, this),
                      1, 1);
    groups->addWidget(MakeGroup(" Metacharacters - Separators ",
                                {{"|", "\"or\" operator, e.g. (a|b)"},
                                 {"()", "sub-expression, e.g. (foo)"},
                                 {"$n", "sub-expr n (for replacements)"}},
                                "Sub-expressions are numbered from the left-to-right order of "
                                "their opening parenthesis. First sub-expression is $1, the "
                                "whole RegEx match is $0.",
                                4, this),
                      1, 2);
    for (int c = 0; c < 3; ++c) {
        groups->setColumnStretch(c, 1);
    }

    // The bottom strip: acknowledgement and link on the left, OK at the top right.
    auto* strip = new QWidget(this);
    strip->setFixedHeight(40);
    auto* stripLayout = new QHBoxLayout(strip);
    stripLayout->setContentsMargins(4, 2, 4, 2);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(PlainLabel(
        QStringLiteral("Patterns are matched by a free TRegExpr-compatible regular-expression "
                       "library."),
        strip));
    auto* linkLine = new QHBoxLayout;
    linkLine->addWidget(PlainLabel(QStringLiteral("For more help please click:"), strip));
    // The engine's on-line syntax page, on the maker's site.
    lblURL = PlainLabel(ToQ(operations::RegExSyntaxUrl()), strip);
    QFont underlined = lblURL->font();
    underlined.setUnderline(true);
    lblURL->setFont(underlined);
    QPalette pal = lblURL->palette();
    pal.setColor(QPalette::WindowText, Qt::blue);
    lblURL->setPalette(pal);
    lblURL->setCursor(Qt::PointingHandCursor);
    lblURL->installEventFilter(this);
    linkLine->addWidget(lblURL);
    linkLine->addStretch(1);
    lblMode = PlainLabel(QString(), strip);
    QPalette navy = lblMode->palette();
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
    lblMode->setPalette(navy);
    linkLine->addWidget(lblMode);
    SetLineByLine(false);
    texts->addLayout(linkLine);
    stripLayout->addLayout(texts, 1);
    btnOk = new QPushButton(QStringLiteral("OK"), strip);
    btnOk->setFixedSize(75, 25);
    btnOk->setDefault(true);
    stripLayout->addWidget(btnOk, 0, Qt::AlignTop | Qt::AlignRight);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 0);
    outer->setSpacing(2);
    outer->addLayout(groups, 1);
    outer->addWidget(strip);

    connect(btnOk, &QPushButton::clicked, this, &TfrmRegExHelp::btnOkClick);
}

void TfrmRegExHelp::SetLineByLine(bool on) {
    lblMode->setText(on ? QStringLiteral("Mode: line by line")
                        : QStringLiteral("Mode: whole text"));
    lblMode->setToolTip(
        on ? QStringLiteral("^ and $ match at every line break; . stops at line breaks.")
           : QStringLiteral("^ and $ match at the start and end of the text only, unless the "
                            "pattern starts with (?m); . also matches line breaks."));
}

void TfrmRegExHelp::btnOkClick() {
    close();
}

void TfrmRegExHelp::lblURLClick() {
    // A browser that cannot be started leaves nothing to report.
    operations::OpenRegExSyntaxPage(shell_);
}

void TfrmRegExHelp::closeEvent(QCloseEvent* event) {
    event->accept();
    emit formClosed();
}

bool TfrmRegExHelp::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblURL && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        lblURLClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmRegExHelp::keyPressEvent(QKeyEvent* event) {
    // OK is the default button; there is no cancel button, so Escape does nothing.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        btnOk->click();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace ui
