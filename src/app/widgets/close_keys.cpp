#include "app/widgets/close_keys.h"

#include <QAction>
#include <QKeySequence>
#include <QWidget>

namespace vellinor {

void closeOnEscapeOrCtrlW(QWidget& window)
{
    // No text: the window's keys are listed among the keys every such window answers.
    auto* close = new QAction(&window);
    close->setObjectName(QStringLiteral("closeWindowAction"));
    // Spelled out: a platform without a desktop theme binds no key to QKeySequence::Close.
    close->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_W), QKeySequence(Qt::Key_Escape)});
    close->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(close, &QAction::triggered, &window, &QWidget::close);
    window.addAction(close);
}

}  // namespace vellinor
