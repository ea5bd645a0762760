// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

namespace norvane {

// Brings a text to width n: shorter texts are filled out on the right with spaces, longer ones
// are cut on the right.
QByteArray fixedWidth(const QByteArray &text, int n);

} // namespace norvane
