// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include "ui/KeepsFocus.h"

#include <QCheckBox>

// A check box with the integer value (0 unchecked, 1 checked) the windows
// work with, a click notification that follows every change of that value,
// whoever made it, and a notification when it takes the keyboard focus.
// A mouse click on a box without the focus gives it the focus first and
// toggles it afterwards, as the press comes before the release.
class NotifyingCheckBox : public KeepsFocus<QCheckBox>
{
    Q_OBJECT
public:
    explicit NotifyingCheckBox(QWidget *parent = nullptr);

    int value() const { return isChecked() ? 1 : 0; }
    void setValue(int value) { setChecked(value != 0); }

Q_SIGNALS:
    // Every change of the value, by the user or by the program.
    void valueChanged();
    void gotFocus();

protected:
    void focusInEvent(QFocusEvent *event) override;
};
