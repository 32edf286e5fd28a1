#pragma once

// What the application asks of the desktop: reveal a file in the file manager, open a web
// address, open a file in a text editor, and ask for a rating. An interface, so the window can
// be exercised without a desktop. What can fail says why, so no button fails in silence.

#include <QString>
#include <QUrl>

#include "base/expected.h"

namespace vellinor {

class DesktopServices {
public:
    DesktopServices() = default;
    virtual ~DesktopServices() = default;
    DesktopServices(const DesktopServices&) = delete;
    DesktopServices& operator=(const DesktopServices&) = delete;

    // Shows the file manager with the file at `path` selected.
    virtual Status revealFile(const QString& path) = 0;
    virtual void openUrl(const QUrl& url) = 0;
    virtual Status openInTextEditor(const QString& path) = 0;
    // Whether some application opens addresses of `scheme` ("appstream" for the software
    // centre's pages).
    [[nodiscard]] virtual bool handlesScheme(const QString& scheme) const = 0;
    // Asks the system for its rate-this-application prompt; the system decides whether to show it.
    virtual void requestReview() = 0;
};

}  // namespace vellinor
