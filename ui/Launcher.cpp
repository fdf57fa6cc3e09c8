// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "ui/Launcher.h"
#include "ui/Seam.h"

#include <QDesktopServices>

namespace Launcher {

void setHandler(Handler h)
{
    seamHandler<Handler>() = std::move(h);
}

void openUrl(const QUrl &url)
{
    if (seamHandler<Handler>()) {
        seamHandler<Handler>()(url);
        return;
    }
    QDesktopServices::openUrl(url);
}

} // namespace Launcher
