// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "ui/MsgBox.h"

#include "ui/ToolWindow.h"

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

// QMessageBox fixes its size when it shows and at each change of its layout;
// that size goes through setFixedWindowSize, which keeps it safe on Wayland.
class Box : public QMessageBox
{
public:
    using QMessageBox::QMessageBox;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() != QEvent::LayoutRequest)
            return QMessageBox::event(event);
        // Sized by the compositor, the box keeps the size it was given.
        if (sizedByCompositor(this))
            return QDialog::event(event);
        const bool done = QMessageBox::event(event);
        setFixedWindowSize(this, size());
        return done;
    }

    void showEvent(QShowEvent *event) override
    {
        QMessageBox::showEvent(event);
        setFixedWindowSize(this, size());
    }
};

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

    Box box(icon == Critical ? QMessageBox::Critical : QMessageBox::NoIcon, request.title,
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
