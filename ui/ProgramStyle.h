// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QProxyStyle>

// The platform's own style, less one costly habit: a menu bar, as it is
// built, asks for the arrow it shows when its items overflow, and reading
// that icon makes Qt load every image plugin to sniff the file, a few
// milliseconds of start-up. The program's one-item menu bar never overflows.
class ProgramStyle : public QProxyStyle
{
public:
    QIcon standardIcon(StandardPixmap icon, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;
};
