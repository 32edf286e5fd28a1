#include "app/report/report_text_window.h"

#include <QAction>
#include <QApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include "app/window/app_delegate.h"
#include "probe/text_report.h"

namespace vellinor {

ReportTextWindow::ReportTextWindow(AppDelegate& delegate, QWidget* parent)
    : QWidget(parent, Qt::Window), m_delegate(delegate)
{
    setObjectName(QStringLiteral("reportTextWindow"));
    resize(820, 700);

    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // The report's columns line up in a fixed-width font.
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_find = new QLineEdit(this);
    m_find->setPlaceholderText(tr("Find"));
    m_find->setClearButtonEnabled(true);
    m_find->setToolTip(tr("Enter: next match; Shift+Enter: previous match"));
    m_findStatus = new QLabel(this);

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_find, 1);
    bar->addWidget(m_findStatus);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_text, 1);

    auto* findAction = new QAction(this);
    findAction->setShortcut(QKeySequence::Find);
    connect(findAction, &QAction::triggered, m_find, [this] {
        m_find->setFocus();
        m_find->selectAll();
    });
    auto* nextAction = new QAction(this);
    nextAction->setShortcut(QKeySequence::FindNext);
    connect(nextAction, &QAction::triggered, this, [this] { findNext(); });
    auto* previousAction = new QAction(this);
    previousAction->setShortcut(QKeySequence::FindPrevious);
    connect(previousAction, &QAction::triggered, this, [this] { findNext(true); });
    auto* closeAction = new QAction(this);
    closeAction->setShortcut(QKeySequence(tr("Ctrl+W")));
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
    addActions({findAction, nextAction, previousAction, closeAction});

    connect(m_find, &QLineEdit::returnPressed, this,
            [this] { findNext((QApplication::keyboardModifiers() & Qt::ShiftModifier) != 0); });
    connect(m_find, &QLineEdit::textChanged, this, [this] {
        // Searching as one types starts from the top.
        m_text->moveCursor(QTextCursor::Start);
        if (m_find->text().isEmpty())
            m_findStatus->clear();
        else
            findNext();
    });
    connect(&delegate, &AppDelegate::displayChanged, this, &ReportTextWindow::showDisplayedFile);
    showDisplayedFile();
}

ReportTextWindow::~ReportTextWindow() = default;

void ReportTextWindow::showDisplayedFile()
{
    const std::shared_ptr<const FileProbe> probe = m_delegate.displayedProbe();
    if (!probe) {
        setWindowTitle(tr("Report"));
        m_text->setPlainText(tr("No file is displayed. Select a file in the main window."));
        return;
    }
    const QString name = m_delegate.displayedName();
    setWindowTitle(tr("Report of %1").arg(name));
    m_text->setPlainText(QString::fromStdString(
        textReport(*probe, name.toStdString(), {.details = true, .useColor = false})));
    if (!m_find->text().isEmpty())
        findNext();
}

bool ReportTextWindow::findNext(bool backwards)
{
    const QString wanted = m_find->text();
    if (wanted.isEmpty())
        return false;
    const QTextDocument::FindFlags flags =
        backwards ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    bool found = m_text->find(wanted, flags);
    if (!found) {
        // Wrap around once.
        QTextCursor cursor = m_text->textCursor();
        cursor.movePosition(backwards ? QTextCursor::End : QTextCursor::Start);
        m_text->setTextCursor(cursor);
        found = m_text->find(wanted, flags);
    }
    m_findStatus->setText(found ? QString() : tr("Not found"));
    return found;
}

void ReportTextWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        if (m_find->hasFocus() && !m_find->text().isEmpty())
            m_find->clear();
        else
            close();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace vellinor
