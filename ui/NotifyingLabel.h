// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QLabel>

// A label that announces a change of its caption at once, inside the write,
// and only when the caption really differs. Writing the same text or colour
// again costs a comparison and nothing more: the clock writes both 200 times
// a second.
class NotifyingLabel : public QLabel
{
    Q_OBJECT
public:
    explicit NotifyingLabel(QWidget *parent = nullptr);

    // Hides QLabel::setText so that every write goes through the check.
    void setText(const QString &text);

    QColor foreColor() const { return m_foreColor; }
    void setForeColor(const QColor &color);

Q_SIGNALS:
    void changed();

private:
    QColor m_foreColor;
};
