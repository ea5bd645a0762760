// SPDX-License-Identifier: MIT
#include "fixed_width.h"

namespace norvane {

QByteArray fixedWidth(const QByteArray &text, int n)
{
    if (n <= 0)
        return {};
    QByteArray result = text.left(n);
    if (result.size() < n)
        result.append(n - result.size(), ' ');
    return result;
}

} // namespace norvane
