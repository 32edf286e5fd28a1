#include "app/window/probe_wait.h"

#include <QAction>
#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "app/window/app_delegate.h"
#include "app/window/main_window.h"
#include "app/window/window_commands.h"
#include "platform/child_registry.h"

namespace vellinor {

void endProbesForQuit()
{
    platform::children::endAll();
}

QPushButton* installProbeWait(MainWindow& window, AppDelegate& delegate)
{
    QLabel* verdict = window.commands()->verdictLabel();
    auto* cancel = new QPushButton(QObject::tr("&Cancel"), verdict->parentWidget());
    cancel->setObjectName(QStringLiteral("cancelProbeButton"));
    cancel->setToolTip(QObject::tr("Stop waiting for this file"));
    cancel->setVisible(false);
    if (auto* layout = window.findChild<QBoxLayout*>(QStringLiteral("overviewLayout"))) {
        const int at = layout->indexOf(verdict);
        layout->insertWidget(at >= 0 ? at + 1 : layout->count(), cancel, 0, Qt::AlignLeft);
    }
    QObject::connect(cancel, &QPushButton::clicked, &delegate, &AppDelegate::cancelProbe);
    QObject::connect(&delegate.backgroundProbe(), &BackgroundProbe::busyChanged, cancel,
                     &QWidget::setVisible);
    // Quit ends the probes first, so nothing waits for a hung tool on the way out.
    QObject::connect(window.commands()->quitAction(), &QAction::triggered, &delegate,
                     &endProbesForQuit, Qt::DirectConnection);
    // A probe on a server's child is no child of ours: its connection is closed instead.
    QObject::connect(
        window.commands()->quitAction(), &QAction::triggered, &delegate,
        [&delegate] { delegate.backgroundProbe().cancelAll(); }, Qt::DirectConnection);
    return cancel;
}

}  // namespace vellinor
