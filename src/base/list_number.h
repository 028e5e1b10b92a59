#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <optional>

namespace kestrel {

// Room for a number as the lists write it: a sign, 19 digits, padding to a few more.
using NumberBuffer = std::array<char, 32>;

// A count or article number in a list column: a whole number, or blank. It becomes
// text only when shown or saved, zero-padded to the column's width. Text read from a
// list file that this spelling would not give back (hand-edited, "0042" in a column
// without padding, words) is kept as it came, so the file is written back unchanged.
class ListNumber {
public:
    ListNumber() = default;
    explicit ListNumber(qint64 value) : m_value(value) {}

    // Empty text is blank; minDigits is the padding of the column the text belongs to.
    static ListNumber fromText(QByteArrayView text, int minDigits);

    bool isBlank() const { return !m_value.has_value(); }
    // Kept text reads as the scan has always read it: the number it starts with
    // (blanks skipped), cut to a whole one, 0 when there is none.
    std::optional<qint64> value() const { return m_value; }
    QByteArray text(int minDigits) const;
    // The same text without an allocation: a number is written into buf, kept text is
    // viewed where it lies. For comparisons, such as sorting a list by the column.
    QByteArrayView textView(NumberBuffer &buf, int minDigits) const;

    bool operator==(const ListNumber &) const = default;

private:
    std::optional<qint64> m_value;
    QByteArray m_keptText; // only for text the number's own spelling would not give back
};

// A whole number as the lists write it: at least minDigits digits, after a "-".
QByteArray paddedNumber(qint64 value, int minDigits);

} // namespace kestrel
