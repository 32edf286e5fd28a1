#pragma once

// DesktopServices on a freedesktop.org desktop: the file manager through its D-Bus interface
// (org.freedesktop.FileManager1), web addresses and files through the desktop's default
// handlers. Linux has no system rating prompt: a review request is counted and logged.

#include "app/desktop/desktop_services.h"

namespace vellinor {

class LinuxDesktopServices final : public DesktopServices {
public:
    Status revealFile(const QString& path) override;
    void openUrl(const QUrl& url) override;
    Status openInTextEditor(const QString& path) override;
    [[nodiscard]] bool handlesScheme(const QString& scheme) const override;
    void requestReview() override;

    [[nodiscard]] int reviewRequests() const { return m_reviewRequests; }

private:
    int m_reviewRequests = 0;
};

}  // namespace vellinor
