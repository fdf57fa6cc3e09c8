// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include "ui/KeepsFocus.h"

#include <QClipboard>
#include <QLineEdit>

// A one-line text box with the two things the time fields need and
// QLineEdit lacks:
// - keyPress(code) sees the character of every key that would type one,
//   before the box does; setting the code to 0 drops the key, any other value
//   types that character instead;
// - a maximum length that refuses typed characters and drops pasted ones
//   beyond it but, unlike QLineEdit::setMaxLength, never shortens the text
//   already there when it is lowered.
// Text that arrives any other way (Ctrl+V, the context menu, the middle
// button's selection paste, an input method's commit) passes the same hook
// character by character and the same limit, as if it had been typed.
// textChanged() follows every change, the program's own setText() included.
class KeyFilterLineEdit : public KeepsFocus<QLineEdit>
{
    Q_OBJECT
public:
    explicit KeyFilterLineEdit(QWidget *parent = nullptr);

    int maxLength() const { return m_maxLength; }
    void setMaxLength(int length);

    // Pastes the clipboard's characters that the key hook lets through, as
    // far as the maximum length allows.
    void paste();

Q_SIGNALS:
    void keyPress(int &keyAscii);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int roomFor() const;
    QString filtered(const QString &text);
    void insertLimited(const QString &text);
    void pasteFrom(QClipboard::Mode mode);

    int m_maxLength = 32767;
};
