// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QPixmap>

// One of the program's own pictures, read as the format it is stored in.
// Left to guess, Qt loads every image plugin it has to sniff the file, which
// costs the start-up several libraries.
QPixmap readPicture(const QString &path, const char *format);
