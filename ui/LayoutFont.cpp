// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "ui/LayoutFont.h"

#include <QFont>
#include <QStringList>

void substituteLayoutFont()
{
    static const QString layoutFont = QStringLiteral("MS Sans Serif");
    if (QFont::substitutes(layoutFont).isEmpty())
        QFont::insertSubstitutions(layoutFont,
                                   {QStringLiteral("Liberation Sans"),
                                    QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
}
