// SPDX-License-Identifier: MIT
#include "field_input_filter.h"

#include "charset.h"

#include <QApplication>
#include <QLineEdit>
#include <QToolTip>
#include <algorithm>

namespace norvane {

namespace {

// The characters that end a line: CR, LF, VT, FF, NEL and the Unicode line and paragraph
// separators.
bool isLineBreak(QChar c)
{
    switch (c.unicode()) {
    case u'\n':
    case u'\v':
    case u'\f':
    case u'\r':
    case 0x0085:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return false;
    }
}

// What of an insertion goes into the field. Sets `leftOut` when characters without a byte were
// dropped.
QString filterInsertion(const QString &inserted, bool &leftOut)
{
    QString kept;
    for (const QChar c : inserted) {
        if (isLineBreak(c))
            break;
        if (c.category() == QChar::Other_Control)
            continue;
        if (!isRepresentable(c)) {
            leftOut = true;
            continue;
        }
        kept.append(c);
    }
    return kept;
}

} // namespace

FieldInputFilter::FieldInputFilter(QLineEdit *field)
    : QValidator(field), m_field(field), m_before(field->text())
{
    connect(field, &QLineEdit::textChanged, this, [this](const QString &text) { m_before = text; });
}

void FieldInputFilter::setTextUnfiltered(QLineEdit &field, const QString &text)
{
    const QValidator *validator = field.validator();
    field.setValidator(nullptr);
    field.setText(text);
    field.setValidator(validator);
}

QValidator::State FieldInputFilter::validate(QString &input, int &pos) const
{
    // The edit kept a head and a tail of the text before it and inserted what lies between.
    // The cursor stands at the end of an insertion; bounding the tail by it places the insertion
    // right where a run of equal characters leaves it open.
    const qsizetype afterCursor = std::clamp<qsizetype>(input.size() - pos, 0, input.size());
    const qsizetype tailLimit = std::min({m_before.size(), input.size(), afterCursor});
    qsizetype tail = 0;
    while (tail < tailLimit &&
           m_before.at(m_before.size() - 1 - tail) == input.at(input.size() - 1 - tail))
        ++tail;
    const qsizetype headLimit = std::min(m_before.size(), input.size()) - tail;
    qsizetype head = 0;
    while (head < headLimit && m_before.at(head) == input.at(head))
        ++head;

    const QString inserted = input.mid(head, input.size() - tail - head);
    bool leftOut = false;
    const QString kept = filterInsertion(inserted, leftOut);
    if (leftOut)
        signalLeftOut();
    // What is kept is a part of what was inserted: the same length means nothing was dropped.
    if (kept.size() != inserted.size()) {
        input = input.left(head) + kept + input.right(tail);
        pos = int(head + kept.size());
    }
    return Acceptable;
}

void FieldInputFilter::signalLeftOut() const
{
    QApplication::beep();
    QToolTip::showText(m_field->mapToGlobal(QPoint(0, m_field->height())),
                       QStringLiteral("Characters that a message cannot hold were left out."),
                       m_field);
}

} // namespace norvane
