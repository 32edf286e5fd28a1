#include "app/window/help_menu.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <memory>

#include "app/widgets/dialog_runner.h"
#include "app/window/app_delegate.h"
#include "app/window/main_window.h"
#include "format/utils.h"
#include "probe/one_shot_tool_runner.h"
#include "probe/probe_cache.h"

namespace vellinor {
namespace {

// Keys the window answers without a command of their own.
const QList<ShortcutRow>& fixedKeys()
{
    static const QList<ShortcutRow> rows{
        {QStringLiteral("Move between the file list, the tracks and the details"),
         QStringLiteral("Tab, Shift+Tab")},
        {QStringLiteral("Remove the selected files (in the file list)"), QStringLiteral("Del")},
        {QStringLiteral("Copy the selected rows (in a table)"), QStringLiteral("Ctrl+C")},
        {QStringLiteral("First / last row (in a table)"), QStringLiteral("Home, End")},
        {QStringLiteral("First / last row, also of the whole table"),
         QStringLiteral("Ctrl+Home, Ctrl+End")},
        {QStringLiteral("Clear a filter; close Compare, Bitrate, the sheet or the report"),
         QStringLiteral("Esc")},
        {QStringLiteral("Close Compare, Bitrate, the sheet or the report"),
         QStringLiteral("Ctrl+W")},
    };
    return rows;
}

// "&Open Folder…" reads "Open Folder".
QString commandName(const QAction& action)
{
    QString name = action.text();
    name.remove(u'&');
    if (name.endsWith(u'\u2026'))
        name.chop(1);
    if (name.endsWith(QStringLiteral("...")))
        name.chop(3);
    return name.trimmed();
}

// The identity's "libavformat 59.27.100 libavcodec ..." words, as "libavformat 59.27.100,
// libavcodec ...".
QString libavVersions(const QString& identity)
{
    const QStringList words = identity.split(u' ', Qt::SkipEmptyParts);
    QStringList libraries;
    for (qsizetype i = 0; i + 1 < words.size(); ++i) {
        if (words.at(i).startsWith(QStringLiteral("libav")))
            libraries.append(words.at(i) + u' ' + words.at(i + 1));
    }
    return libraries.join(QStringLiteral(", "));
}

qint64 fileBytes(const QString& path)
{
    const QFileInfo file(path);
    return file.exists() ? file.size() : 0;
}

void showShortcuts(QWidget& window)
{
    auto* dialog = new QDialog(&window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QObject::tr("Keyboard Shortcuts"));
    const QList<ShortcutRow> rows = keyboardShortcuts(window);
    auto* table = new QTableWidget(static_cast<int>(rows.size()), 2, dialog);
    table->setHorizontalHeaderLabels({QObject::tr("Command"), QObject::tr("Keys")});
    for (int row = 0; row < rows.size(); ++row) {
        table->setItem(row, 0, new QTableWidgetItem(rows.at(row).command));
        table->setItem(row, 1, new QTableWidgetItem(rows.at(row).keys));
    }
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setStretchLastSection(true);
    table->resizeColumnsToContents();
    table->setShowGrid(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    addMnemonics(*buttons);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(table, 1);
    layout->addWidget(buttons);
    dialog->resize(620, 520);
    dialog->open();
}

void showAbout(QWidget& window, const AppDelegate& delegate)
{
    auto* dialog = new QDialog(&window);
    dialog->setObjectName(QStringLiteral("aboutDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QObject::tr("About Vellinor"));
    auto* text = new QLabel(dialog);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    addMnemonics(*buttons);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(text, 1);
    layout->addWidget(buttons);

    const QString version = QApplication::applicationVersion();
    const QString cachePath = QString::fromStdString(probeCacheSettings().databasePath);
    text->setText(
        aboutLines(version, QObject::tr("(asking the probe tool\u2026)"), cachePath).join(u'\n'));
    // Asking the tool may start it: not on the window's thread.
    std::shared_ptr<ToolRunner> runner = delegate.probeOptions().toolRunner;
    if (!runner)
        runner = std::make_shared<OneShotToolRunner>(delegate.probeOptions().toolPath);
    auto* watcher = new QFutureWatcher<QString>(dialog);
    QObject::connect(
        watcher, &QFutureWatcher<QString>::finished, text, [text, watcher, version, cachePath] {
            text->setText(aboutLines(version, watcher->result(), cachePath).join(u'\n'));
        });
    watcher->setFuture(
        QtConcurrent::run([runner] { return QString::fromStdString(runner->identity()); }));
    dialog->resize(560, 260);
    dialog->open();
}

}  // namespace

QList<ShortcutRow> keyboardShortcuts(const QWidget& window)
{
    QList<ShortcutRow> rows;
    QStringList seen;
    for (const QAction* action : window.findChildren<QAction*>()) {
        if (action->shortcut().isEmpty() || commandName(*action).isEmpty())
            continue;
        const QString keys = action->shortcut().toString(QKeySequence::NativeText);
        const QString command = commandName(*action);
        if (seen.contains(command + keys))
            continue;
        seen.append(command + keys);
        rows.append({command, keys});
    }
    std::sort(rows.begin(), rows.end(), [](const ShortcutRow& a, const ShortcutRow& b) {
        return QString::compare(a.command, b.command, Qt::CaseInsensitive) < 0;
    });
    rows.append(fixedKeys());
    return rows;
}

QStringList aboutLines(const QString& version, const QString& toolIdentity,
                       const QString& cachePath)
{
    QStringList lines{QStringLiteral("Vellinor ") + version, QString()};
    lines.append(QStringLiteral("Probe tool: ") + (toolIdentity.isEmpty()
                                                       ? QStringLiteral("did not tell its version")
                                                       : toolIdentity));
    if (const QString libraries = libavVersions(toolIdentity); !libraries.isEmpty())
        lines.append(QStringLiteral("FFmpeg libraries: ") + libraries);
    if (cachePath.isEmpty()) {
        lines.append(QStringLiteral("Probe cache: off"));
    } else {
        // The database and its write-ahead log together.
        const qint64 bytes = fileBytes(cachePath) + fileBytes(cachePath + QStringLiteral("-wal"));
        lines.append(
            QStringLiteral("Probe cache: ") + cachePath + QStringLiteral(" (") +
            QString::fromStdString(Utils::formatByteCount(static_cast<std::uint64_t>(bytes))) +
            u')');
    }
    return lines;
}

void installHelpMenu(MainWindow& window, AppDelegate& delegate)
{
    QMenu* help = window.menuBar()->findChild<QMenu*>(QStringLiteral("helpMenu"));
    if (help == nullptr)
        return;
    help->addSeparator();
    QAction* shortcuts = help->addAction(QObject::tr("&Keyboard Shortcuts"));
    shortcuts->setObjectName(QStringLiteral("keyboardShortcutsAction"));
    QAction* about = help->addAction(QObject::tr("&About Vellinor"));
    about->setObjectName(QStringLiteral("aboutAction"));
    QObject::connect(shortcuts, &QAction::triggered, &window, [&window] { showShortcuts(window); });
    QObject::connect(about, &QAction::triggered, &window,
                     [&window, &delegate] { showAbout(window, delegate); });
}

}  // namespace vellinor
