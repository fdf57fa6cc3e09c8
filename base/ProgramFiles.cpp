// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "base/ProgramFiles.h"

#include <QCoreApplication>
#include <QDir>

QStringList programFileCandidates(const QString &name, const QString &installedDir)
{
    QStringList candidates;
    for (const QString &dir : {QCoreApplication::applicationDirPath(), installedDir}) {
        const QString path = QDir(dir).filePath(name);
        if (!dir.isEmpty() && !candidates.contains(path))
            candidates.append(path);
    }
    return candidates;
}
