// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "ui/WrappingButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

WrappingButton::WrappingButton(QWidget *parent)
    : KeepsFocus<QPushButton>(parent)
{
}

void WrappingButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    const QRect textRect = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    style()->drawItemText(&painter, textRect.adjusted(2, 0, -2, 0),
                          Qt::AlignCenter | Qt::TextWordWrap, palette(), isEnabled(), caption,
                          QPalette::ButtonText);
}
