// AppDelegate: the help sheet.

#include "app/app_delegate.h"
#include "app/contact.h"
#include "app/desktop_services.h"

namespace vellinor {

namespace {

// Answers of the help alert, in the order of its buttons.
enum HelpButton { helpOtherApps = 0, helpRateApp = 1, helpClose = 2 };

}  // namespace

void AppDelegate::helpBTNClicked()
{
    AlertRequest help;
    help.icon = QMessageBox::Information;
    help.messageText = QStringLiteral("For Questions/Comments/Suggestions/Business Enquiries:");
    help.informativeText = QStringLiteral("Contact:") + contact::supportAddress();
    help.buttons = {QStringLiteral("Check out my other Apps"), QStringLiteral("Rate App"),
                    QStringLiteral("Close")};
    help.escapeButton = helpClose;
    m_dialogs->runAlert(window, help, this, [this](int button) {
        switch (button) {
            case helpOtherApps:
                if (const QUrl page = contact::otherAppsPage(); page.isValid())
                    m_desktopServices.openUrl(page);
                break;
            case helpRateApp:
                m_desktopServices.requestReview();
                break;
            default:
                break;
        }
    });
}

}  // namespace vellinor
