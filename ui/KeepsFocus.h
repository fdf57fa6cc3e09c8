// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QPushButton>

// A control that keeps the keyboard focus when the program disables it.
// Qt would hand the focus on to the next control in the tab chain, where the
// next key meant for this control lands: a second space bar on the disabled
// snooze button would uncheck the alarm slot after it. Here the focus stays,
// inert: Space and Return do nothing, Tab moves on, a click goes anywhere.
template<typename Control> class KeepsFocus : public Control
{
public:
    using Control::Control;

protected:
    bool focusNextPrevChild(bool next) override
    {
        // Tab reaches the window, not this disabled control, so only the
        // disabling itself gets here.
        if (!this->isEnabled() && this->window()->focusWidget() == this)
            return true;
        return Control::focusNextPrevChild(next);
    }
};

// The program's plain push buttons.
using CommandButton = KeepsFocus<QPushButton>;
