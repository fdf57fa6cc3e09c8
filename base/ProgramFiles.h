// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// Where the program looks for a file of its own (its wake-up helper, its
// audio module, its alarm sound), best first: beside the program, as in a
// build tree or a program copied elsewhere, then the directory the package
// installs it to. The caller takes the first that serves. Needs the
// application object.
QStringList programFileCandidates(const QString &name, const QString &installedDir);
