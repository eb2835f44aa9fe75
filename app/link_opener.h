// Opens a link with the desktop's program for it, and says when none did.
#pragma once

#include <QUrl>
#include <functional>

namespace quillon {

// Asks the desktop to open url. When no program opens it (no mail program, no browser, no
// xdg-open), failed is called on the caller's thread, at once or once the desktop has answered.
void OpenLinkOnDesktop(const QUrl& url, std::function<void()> failed);

}  // namespace quillon
