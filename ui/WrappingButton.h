// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QPushButton>

// A push button whose caption wraps onto several lines when it is wider
// than the button, as "Set Alarms" must on its narrow button.
class WrappingButton : public QPushButton
{
    Q_OBJECT
public:
    explicit WrappingButton(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
