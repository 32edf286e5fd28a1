#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHeaderView>
#include <QHelpEvent>
#include <QToolTip>

#include <gtest/gtest.h>

#include "app/widgets/array_controller.h"
#include "app/widgets/scroll_drop_view.h"
#include "app/window/table_rows.h"

namespace vellinor::test {
namespace {

TEST(ElidedTextDelegate, ShowsTheFullTextOfACutShortCellAsItsTooltip)
{
    ArrayController details(
        {{keys::key, QStringLiteral("Property")}, {keys::value, QStringLiteral("Value")}});
    ScrollDropView view;
    view.setModel(details.model());
    view.horizontalHeader()->setStretchLastSection(false);
    const QString longValue =
        QStringLiteral("H.264 / AVC / MPEG-4 AVC / MPEG-4 part 10, ").repeated(4);
    details.setContent(
        {{{keys::key, QStringLiteral("codec_long_name")}, {keys::value, longValue}},
         {{keys::key, QStringLiteral("width")}, {keys::value, QStringLiteral("1280")}}});
    view.setColumnWidth(0, 200);
    view.setColumnWidth(1, 160);
    view.resize(420, 200);
    view.show();

    const auto tooltipAt = [&view](int row, int column) -> QString {
        // A tooltip fades out after a moment; wait until the last one is gone.
        QToolTip::hideText();
        QDeadlineTimer deadline(3000);
        while (QToolTip::isVisible() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        const QPoint point = view.visualRect(view.model()->index(row, column)).center();
        QHelpEvent event(QEvent::ToolTip, point, view.viewport()->mapToGlobal(point));
        QCoreApplication::sendEvent(view.viewport(), &event);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tooltipAt(0, 1), longValue);
    EXPECT_EQ(tooltipAt(1, 1), QString());
    EXPECT_EQ(tooltipAt(0, 0), QString());
    QToolTip::hideText();
}

}  // namespace
}  // namespace vellinor::test
