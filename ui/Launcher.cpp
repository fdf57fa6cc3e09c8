// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "ui/Launcher.h"

#include <QDesktopServices>

namespace Launcher {

namespace {
Handler &handler()
{
    static Handler h;
    return h;
}
} // namespace

void setHandler(Handler h)
{
    handler() = std::move(h);
}

void openUrl(const QUrl &url)
{
    if (handler()) {
        handler()(url);
        return;
    }
    QDesktopServices::openUrl(url);
}

} // namespace Launcher
