// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "ui/MsgBox.h"
#include "ui/Seam.h"

#include <QMessageBox>

namespace MsgBox {

void setHandler(Handler h)
{
    seamHandler<Handler>() = std::move(h);
}

Answer show(const QString &prompt, Buttons buttons, Icon icon, const QString &title)
{
    Request request{prompt, title.isEmpty() ? QStringLiteral("Vellwake") : title, buttons, icon};
    if (seamHandler<Handler>())
        return seamHandler<Handler>()(request);

    QMessageBox box(icon == Critical ? QMessageBox::Critical : QMessageBox::NoIcon, request.title,
                    request.prompt);
    box.setStandardButtons(buttons == OkCancel ? QMessageBox::Ok | QMessageBox::Cancel
                                               : QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    // Closing the box or pressing Esc counts as Cancel.
    box.setEscapeButton(buttons == OkCancel ? QMessageBox::Cancel : QMessageBox::Ok);
    const int chosen = box.exec();
    if (buttons == OkOnly)
        return Ok;
    return chosen == QMessageBox::Ok ? Ok : Cancel;
}

} // namespace MsgBox
