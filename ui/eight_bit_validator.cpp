#include "eight_bit_validator.h"

#include "charset.h"

namespace norvane {

QValidator::State EightBitValidator::validate(QString &input, int &) const
{
    return isRepresentable(input) ? Acceptable : Invalid;
}

} // namespace norvane
