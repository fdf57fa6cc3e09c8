// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "ui/KeyFilterLineEdit.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>

KeyFilterLineEdit::KeyFilterLineEdit(QWidget *parent)
    : KeepsFocus<QLineEdit>(parent)
{
    // Dropped text would bypass the limit; typing and pasting are the ways in.
    setAcceptDrops(false);
}

void KeyFilterLineEdit::setMaxLength(int length)
{
    m_maxLength = qBound(0, length, 32767);
}

int KeyFilterLineEdit::roomFor() const
{
    const qsizetype kept = text().size() - selectedText().size();
    return int(qMax<qsizetype>(0, m_maxLength - kept));
}

// Each character as the key hook would pass it; what it drops, or turns into
// a control code, never reaches the box.
QString KeyFilterLineEdit::filtered(const QString &text)
{
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text) {
        int code = c.unicode();
        Q_EMIT keyPress(code);
        if (code >= 32 && code != 127)
            kept.append(QChar(char16_t(code)));
    }
    return kept;
}

void KeyFilterLineEdit::insertLimited(const QString &text)
{
    if (isReadOnly())
        return;
    const QString fitting = filtered(text).left(roomFor());
    if (!fitting.isEmpty() || hasSelectedText())
        insert(fitting);
}

void KeyFilterLineEdit::pasteFrom(QClipboard::Mode mode)
{
    QString clip = QGuiApplication::clipboard()->text(mode);
    // A one-line box takes the first line only.
    clip = clip.section(u'\n', 0, 0);
    clip.remove(QLatin1Char('\r'));
    if (!clip.isEmpty())
        insertLimited(clip);
}

void KeyFilterLineEdit::paste()
{
    pasteFrom(QClipboard::Clipboard);
}

void KeyFilterLineEdit::keyPressEvent(QKeyEvent *event)
{
    const QString typed = event->text();
    // Delete and the keys that type nothing are not key presses for the filter;
    // some platforms report Delete as character 127.
    const bool isCharacter
            = !typed.isEmpty() && event->key() != Qt::Key_Delete && typed.at(0).unicode() != 127;
    QString replacement;
    int passedCode = 0;
    if (isCharacter) {
        int original = typed.at(0).unicode();
        // Ctrl+letter is a control code (Ctrl+V is 22) even where the platform
        // reports the plain letter; AltGr arrives as Ctrl+Alt and types letters.
        const Qt::KeyboardModifiers mods = event->modifiers();
        if ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier) && original < 128
            && QChar(char16_t(original)).isLetter())
            original &= 0x1f;
        int code = original;
        Q_EMIT keyPress(code);
        if (code == 0) {
            event->accept();
            return;
        }
        if (code != original)
            replacement = QString(QChar(char16_t(code)));
        passedCode = code;
    }
    if (event->matches(QKeySequence::Paste)) {
        paste();
        event->accept();
        return;
    }
    const QString inserted = replacement.isEmpty() ? typed : replacement;
    if (isCharacter && passedCode >= 32) {
        if (roomFor() < inserted.size()) {
            event->accept();
            return;
        }
        if (!replacement.isEmpty()) {
            insert(replacement);
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void KeyFilterLineEdit::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu();
    // The menu's own Paste would bypass the key hook and the maximum length.
    // Qt names the action in newer versions only; its text names it in all.
    const QString pasteText = QLineEdit::tr("&Paste");
    for (QAction *action : menu->actions()) {
        if (action->objectName() != u"edit-paste" && !action->text().startsWith(pasteText))
            continue;
        disconnect(action, &QAction::triggered, nullptr, nullptr);
        connect(action, &QAction::triggered, this, &KeyFilterLineEdit::paste);
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void KeyFilterLineEdit::inputMethodEvent(QInputMethodEvent *event)
{
    // A composed or committed character is a typed one: same hook, same limit.
    const QString commit = event->commitString();
    if (commit.isEmpty()) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QString kept = filtered(commit);
    const int room = roomFor() + int(qMin<qsizetype>(event->replacementLength(), text().size()));
    kept.truncate(qMax(0, room));
    QInputMethodEvent limited(event->preeditString(), event->attributes());
    limited.setCommitString(kept, event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&limited);
    event->accept();
}

void KeyFilterLineEdit::mouseReleaseEvent(QMouseEvent *event)
{
    // The middle button pastes the selection; QLineEdit would insert it
    // unfiltered and past the limit.
    if (event->button() == Qt::MiddleButton && !isReadOnly()
        && QGuiApplication::clipboard()->supportsSelection()) {
        deselect();
        pasteFrom(QClipboard::Selection);
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}
