// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include "ui/KeepsFocus.h"

// A push button whose caption wraps onto several lines when it is wider
// than the button, as "Set Alarms" must on its narrow button.
class WrappingButton : public KeepsFocus<QPushButton>
{
    Q_OBJECT
public:
    explicit WrappingButton(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
