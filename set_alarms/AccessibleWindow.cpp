// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "set_alarms/AccessibleWindow.h"

#include <QAccessibleWidget>
#include <QWidget>

namespace {

QAccessibleInterface *plainWindow(const QString &className, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget || !widget->isWindow()
        || className != QLatin1String(widget->metaObject()->className())
        || widget->metaObject()->superClass() != &QWidget::staticMetaObject)
        return nullptr;
    return new QAccessibleWidget(widget, QAccessible::Window);
}

} // namespace

void exposeAsWindowToAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(plainWindow);
        return true;
    }();
    Q_UNUSED(installed);
}
