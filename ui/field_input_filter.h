// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QValidator>

class QLineEdit;

namespace norvane {

// Keeps what the user puts into a single-line field to what a line of a message can carry, one
// byte per character. Only what an edit inserts (typed, pasted, dropped or composed) is filtered:
// it ends at its first line break, control characters in it are dropped, and characters without
// a byte in the character set are left out, with a beep and a short tooltip to say so. The rest
// of the field stays as it was, so the control bytes of a loaded entry survive edits elsewhere.
//
// A filtered edit replaces the field's text, which ends its undo history; a rejected edit is
// never reported as Invalid, because QLineEdit keeps an Invalid text after an undo and would
// then stop reverting later Invalid edits.
class FieldInputFilter : public QValidator
{
    Q_OBJECT
public:
    // A filter for `field`, owned by it; the field takes it with setValidator().
    explicit FieldInputFilter(QLineEdit *field);

    // Puts `text` into the field as it is, bypassing whatever validator the field has: the
    // halves of a stored entry, control bytes included.
    static void setTextUnfiltered(QLineEdit &field, const QString &text);

    State validate(QString &input, int &pos) const override;

private:
    void signalLeftOut() const;

    QLineEdit *m_field;
    QString m_before; // the field's text before the edit under validation
};

} // namespace norvane
