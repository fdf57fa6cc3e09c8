// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "ui/NotifyingLabel.h"

NotifyingLabel::NotifyingLabel(QWidget *parent)
    : QLabel(parent)
    , m_foreColor(palette().color(QPalette::WindowText))
{
}

void NotifyingLabel::setText(const QString &text)
{
    if (text == QLabel::text())
        return;
    QLabel::setText(text);
    Q_EMIT changed();
}

void NotifyingLabel::setForeColor(const QColor &color)
{
    if (color == m_foreColor)
        return;
    m_foreColor = color;
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, color);
    setPalette(pal);
}
