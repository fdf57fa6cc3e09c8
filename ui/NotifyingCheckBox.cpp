// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "ui/NotifyingCheckBox.h"

NotifyingCheckBox::NotifyingCheckBox(QWidget *parent)
    : KeepsFocus<QCheckBox>(parent)
{
    // toggled() also fires on setChecked(), unlike clicked().
    connect(this, &QCheckBox::toggled, this, &NotifyingCheckBox::valueChanged);
}

void NotifyingCheckBox::focusInEvent(QFocusEvent *event)
{
    QCheckBox::focusInEvent(event);
    Q_EMIT gotFocus();
}
