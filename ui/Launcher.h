// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QUrl>

#include <functional>

// Opens a web address in the user's browser; tests replace the launch.
namespace Launcher {

// The result of the launch is not used: there is nothing more to offer.
void openUrl(const QUrl &url);

using Handler = std::function<void(const QUrl &)>;
void setHandler(Handler handler);

} // namespace Launcher
