#pragma once

#include <QValidator>

namespace norvane {

// Accepts only text whose every character has a byte in the 8-bit character set, so that what
// the user types or pastes into a field is stored exactly.
class EightBitValidator : public QValidator
{
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString &input, int &pos) const override;
};

} // namespace norvane
