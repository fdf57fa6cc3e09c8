// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "ReferenceWindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ReferenceWindow window;
    window.setWindowTitle(QStringLiteral("Reference clock"));
    window.show();
    return app.exec();
}
