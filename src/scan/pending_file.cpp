#include "scan/pending_file.h"

#include "base/text_util.h"

#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace kestrel::pendingfile {

namespace {

const QDate kOleEpoch(1899, 12, 30);
constexpr double kMsecsPerDay = 86400000.0;

void putText(QByteArray &out, qsizetype at, QByteArrayView text)
{
    const auto n = quint16(std::min<qsizetype>(text.size(), MaxTextLength));
    qToLittleEndian(n, out.data() + at);
    if (n > 0) // an empty view may hold no pointer at all
        std::memcpy(out.data() + at + 2, text.data(), n);
}

// Reads the records a block at a time: one read call per record made loading a long
// list slow, and the whole file at once would cost as much memory as the file.
class RecordReader {
public:
    static constexpr qint64 BlockRecords = 4 * RecordsPerEntry * 64;

    explicit RecordReader(QIODevice &in) : m_in(in) {}
    qint64 recordCount() const { return m_in.size() / RecordSize; }
    // The record's bytes, or null when it cannot be read. Valid until the next call.
    const char *record(qint64 index)
    {
        if (index < m_first || index >= m_first + m_block.size() / RecordSize) {
            m_block.clear();
            m_first = index;
            if (!m_in.seek(index * RecordSize))
                return nullptr;
            m_block = m_in.read(BlockRecords * RecordSize);
            m_block.truncate(m_block.size() - m_block.size() % RecordSize);
            if (m_block.isEmpty())
                return nullptr;
        }
        return m_block.constData() + (index - m_first) * RecordSize;
    }
    std::optional<QByteArray> text(qint64 index)
    {
        const char *r = record(index);
        if (!r)
            return std::nullopt;
        const auto n = qFromLittleEndian<qint16>(r);
        if (n < 0 || n > MaxTextLength)
            return std::nullopt;
        return QByteArray(r + 2, n);
    }

private:
    QIODevice &m_in;
    QByteArray m_block;
    qint64 m_first = 0;
};

std::optional<PendingEntry> readEntry(RecordReader &rr, qint64 first)
{
    PendingEntry e;
    std::array<QByteArray, 9> texts;
    for (int k = 0; k < 9; ++k) {
        auto t = rr.text(first + k);
        if (!t)
            return std::nullopt;
        texts[size_t(k)] = *t;
    }
    const char *icon = rr.record(first + 9);
    if (!icon)
        return std::nullopt;
    e.smallIcon = qint16(qFromLittleEndian<qint32>(icon));
    const char *selected = rr.record(first + 10);
    if (!selected)
        return std::nullopt;
    e.selected = qFromLittleEndian<qint16>(selected) != 0;
    // Both spellings are read: the bare number and the one with a leading space.
    bool tagOk = false;
    trimmedSpaces(texts[8]).toLongLong(&tagOk);
    if (!tagOk)
        return std::nullopt;
    e.tag = ListNumber::fromText(texts[8], 0);
    e.text = texts[0];
    for (int k = 0; k < PendingSubItemCount; ++k)
        e.sub.setText(PendingColumn(k), texts[size_t(k + 1)]);
    return e;
}

} // namespace

double toOleDate(const QDateTime &t)
{
    const QDateTime local = t.toLocalTime();
    return double(kOleEpoch.daysTo(local.date())) + local.time().msecsSinceStartOfDay() / kMsecsPerDay;
}

QDateTime fromOleDate(double days)
{
    // About the years 100 to 9999: anything outside is not a date.
    if (!std::isfinite(days) || days < -657434 || days > 2958466)
        return {};
    const double whole = std::floor(days);
    const auto ms = qint64(std::llround((days - whole) * kMsecsPerDay));
    return QDateTime(kOleEpoch.addDays(qint64(whole)), QTime(0, 0)).addMSecs(ms);
}

qint64 hourBoundariesBetween(const QDateTime &from, const QDateTime &to)
{
    const QDateTime a = from.toLocalTime();
    const QDateTime b = to.toLocalTime();
    return a.date().daysTo(b.date()) * 24 + b.time().hour() - a.time().hour();
}

QByteArray encode(const QList<PendingEntry> &entries, const QDateTime &savedAt)
{
    const qsizetype records = HeaderRecords + entries.size() * RecordsPerEntry;
    QByteArray out(records * RecordSize, '\0');
    putText(out, 0, Magic);
    qToLittleEndian(qint32(entries.size()), out.data() + RecordSize);
    qToLittleEndian(toOleDate(savedAt), out.data() + 2 * RecordSize);
    qsizetype at = HeaderRecords * RecordSize;
    auto next = [&at] {
        const qsizetype here = at;
        at += RecordSize;
        return here;
    };
    for (const PendingEntry &e : entries) {
        putText(out, next(), e.text);
        for (int k = 0; k < PendingSubItemCount; ++k) {
            const QByteArray column = e.sub.text(PendingColumn(k));
            QByteArrayView v = column;
            if (k == ColSubject)
                v = trimSpaces(v).first(std::min<qsizetype>(trimSpaces(v).size(), SubjectLength));
            putText(out, next(), v);
        }
        putText(out, next(), e.tag.text(0));
        qToLittleEndian(qint32(e.smallIcon), out.data() + next());
        qToLittleEndian(qint16(e.selected ? -1 : 0), out.data() + next());
    }
    return out;
}

ReadResult read(QIODevice &in)
{
    ReadResult res;
    RecordReader rr(in);
    const auto magic = rr.text(0);
    if (!magic || *magic != Magic)
        return res;
    res.magicOk = true;
    const char *count = rr.record(1);
    if (!count)
        return res;
    res.declared = qFromLittleEndian<qint32>(count);
    const char *date = rr.record(2);
    if (!date)
        return res;
    res.savedAt = fromOleDate(qFromLittleEndian<double>(date));
    const qint64 fits = std::max<qint64>(0, (rr.recordCount() - HeaderRecords) / RecordsPerEntry);
    const qint64 n = std::clamp<qint64>(res.declared, 0, fits);
    res.dropped = std::max<qint64>(0, res.declared - n);
    res.entries.reserve(n);
    for (qint64 i = 0; i < n; ++i) {
        const auto e = readEntry(rr, HeaderRecords + i * RecordsPerEntry);
        if (!e) {
            ++res.dropped;
            continue;
        }
        if (!trimSpaces(e->text).isEmpty()) {
            res.entries.append(*e);
            res.indices.append(i);
        }
    }
    return res;
}

} // namespace kestrel::pendingfile
