// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QStringList>

#include <optional>

// The start of the earliest minute after the current one at which the local
// clock text matches an armed slot's caption (as the ring does) or equals the
// pending snooze text, if any comes within the next days. A minute that a
// change to summer time skips never comes; a minute that the change back
// repeats comes twice.
std::optional<QDateTime> nextDueMinute(const QDateTime &now, const QStringList &armedCaptions,
                                       const QString &snoozeText);
