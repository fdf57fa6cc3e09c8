// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "ui/MsgBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

namespace MsgBox {

namespace {

Handler &handler()
{
    static Handler installed;
    return installed;
}

} // namespace

void setHandler(Handler h)
{
    handler() = std::move(h);
}

Answer show(const QString &prompt, Buttons buttons, Icon icon, const QString &title)
{
    Request request{prompt, title.isEmpty() ? QStringLiteral("Vellwake") : title, buttons, icon};
    if (handler())
        return handler()(request);

    QMessageBox box(icon == Critical ? QMessageBox::Critical : QMessageBox::NoIcon, request.title,
                    request.prompt);
    box.setStandardButtons(buttons == OkCancel ? QMessageBox::Ok | QMessageBox::Cancel
                                               : QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    // Closing the box or pressing Esc counts as Cancel.
    box.setEscapeButton(buttons == OkCancel ? QMessageBox::Cancel : QMessageBox::Ok);
    // The window that asked gets the keyboard back once the box is answered,
    // with or without a window manager to hand it back.
    const QPointer<QWidget> asking = QApplication::activeWindow();
    const int chosen = box.exec();
    if (asking && asking->isVisible())
        asking->activateWindow();
    if (buttons == OkOnly)
        return Ok;
    return chosen == QMessageBox::Ok ? Ok : Cancel;
}

} // namespace MsgBox
