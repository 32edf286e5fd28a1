// AppDelegate: the help sheet.

#include "app/desktop/desktop_services.h"
#include "app/window/app_delegate.h"
#include "app/window/contact.h"

namespace vellinor {

namespace {

}  // namespace

void AppDelegate::helpBTNClicked()
{
    AlertRequest help;
    help.icon = QMessageBox::Information;
    help.messageText = QStringLiteral("For Questions/Comments/Suggestions/Business Enquiries:");
    help.informativeText = QStringLiteral("Contact:") + contact::supportAddress();
    // Linux has no rating prompt: "Rate App" opens the software centre's page, and is left
    // out where no software centre is there to open it.
    const bool canRate = m_desktopServices.handlesScheme(contact::ratingPage().scheme());
    const QString rateApp = QStringLiteral("Rate App");
    help.buttons = {QStringLiteral("Check out my other Apps")};
    if (canRate)
        help.buttons.append(rateApp);
    help.buttons.append(QStringLiteral("Close"));
    help.escapeButton = static_cast<int>(help.buttons.size()) - 1;
    m_dialogs->runAlert(window, help, this, [this, buttons = help.buttons, rateApp](int button) {
        if (button == 0) {
            if (const QUrl page = contact::otherAppsPage(); page.isValid())
                m_desktopServices.openUrl(page);
        } else if (button > 0 && button < buttons.size() && buttons.at(button) == rateApp) {
            m_desktopServices.openUrl(contact::ratingPage());
        }
    });
}

}  // namespace vellinor
