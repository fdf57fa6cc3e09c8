// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <functional>

// The program's message boxes: a text, a title, a button set and an icon,
// returning the button chosen. Tests install a handler that answers instead
// of a real dialog.
namespace MsgBox {

enum Buttons { OkOnly = 0, OkCancel = 1 };
enum Icon { NoIcon = 0, Critical = 16 };
enum Answer { Ok = 1, Cancel = 2 };

struct Request
{
    QString prompt;
    QString title;
    Buttons buttons = OkOnly;
    Icon icon = NoIcon;
};

// An empty title shows the application title, "Vellwake".
Answer show(const QString &prompt, Buttons buttons = OkOnly, Icon icon = NoIcon,
            const QString &title = QString());

using Handler = std::function<Answer(const Request &)>;
// Replaces the real dialogs; an empty handler restores them.
void setHandler(Handler handler);

} // namespace MsgBox
