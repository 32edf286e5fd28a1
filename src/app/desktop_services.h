#pragma once

// What the application asks of the desktop: reveal a file in the file manager, open a web
// address, open a file in a text editor, and ask for a rating. An interface, so the window can
// be exercised without a desktop.

#include <QString>
#include <QUrl>

namespace vellinor {

class DesktopServices {
public:
    DesktopServices() = default;
    virtual ~DesktopServices() = default;
    DesktopServices(const DesktopServices&) = delete;
    DesktopServices& operator=(const DesktopServices&) = delete;

    // Shows the file manager with the file at `path` selected.
    virtual void revealFile(const QString& path) = 0;
    virtual void openUrl(const QUrl& url) = 0;
    virtual void openInTextEditor(const QString& path) = 0;
    // Asks the system for its rate-this-application prompt; the system decides whether to show it.
    virtual void requestReview() = 0;
};

}  // namespace vellinor
