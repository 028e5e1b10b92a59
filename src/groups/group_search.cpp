#include "groups/group_search.h"

#include "base/clock.h"
#include "base/number_text.h"

#include <QElapsedTimer>

namespace kestrel {

qint64 findNextCandidate(QByteArrayView list, QByteArrayView s, qint64 start)
{
    const qint64 f = list.indexOf(s, qMax<qint64>(start - 1, 0)) + 1;
    if (f == 0)
        return list.size() + 1;
    if (f - 512 > start)
        return list.indexOf('\r', f - 513) + 1;
    return 0;
}

GroupListWalk::GroupListWalk(QByteArray list, QByteArray text, SearchMode mode)
    : m_list(std::move(list)), m_text(std::move(text)), m_mode(mode)
{
}

bool GroupListWalk::matches(QByteArrayView name) const
{
    if (m_mode == SearchMode::StartsWith)
        return m_text.size() <= name.size() && name.startsWith(m_text);
    return name.contains(m_text);
}

// Positions follow the text T = "-" + list: T's position k is the list's byte k - 2
// (0-based). The "-" stands in for the line feed before every later line, so each
// line is T from one CR's following byte up to the next CR, less its first byte.
bool GroupListWalk::step(int maxLines, QList<GroupResultRow> &found)
{
    const qint64 lengthT = m_list.size() + 1;
    const qint64 jump = m_mode == SearchMode::StartsWith ? 512 : 2000;
    for (int n = 0; n < maxLines && !m_done; ++n) {
        const qsizetype cr = m_list.indexOf('\r', qMax<qint64>(m_p - 2, 0));
        const qint64 c = cr < 0 ? 0 : cr + 2;
        m_progress = c;
        if (c == 0 || c + 1 >= lengthT || m_p >= lengthT) {
            m_done = true;
            break;
        }
        const qint64 lineStart = m_p;
        m_p = c + 1;
        if (c - lineStart < 1)
            continue;
        const QByteArrayView whole =
            QByteArrayView(m_list).sliced(lineStart - 1, c - lineStart - 1).trimmed();
        const qsizetype blank = whole.indexOf(' ');
        const QByteArrayView name = blank < 0 ? whole : whole.first(blank + 1);
        if (matches(name)) {
            found.append(makeGroupResult(name.trimmed().toByteArray(), whole));
            ++m_matches;
        } else {
            const qint64 q = findNextCandidate(m_list, m_text, m_p);
            if (q > m_p + jump)
                m_p = q;
        }
        if (m_p > lengthT)
            m_done = true;
    }
    return m_done;
}

GroupSearch::GroupSearch(const Clock &clock, QObject *parent) : QObject(parent), m_clock(clock)
{
    m_next.setSingleShot(true);
    m_next.setInterval(0);
    connect(&m_next, &QTimer::timeout, this, &GroupSearch::slice);
}

void GroupSearch::start(const QByteArray &list, const QByteArray &text, SearchMode mode)
{
    m_walk = std::make_unique<GroupListWalk>(list, text, mode);
    m_stopRequested = false;
    m_startTime = m_clock.now();
    Q_EMIT started(m_walk->progressMaximum());
    m_next.start();
}

qint64 GroupSearch::elapsedSeconds() const
{
    return m_startTime.secsTo(m_clock.now());
}

void GroupSearch::slice()
{
    if (!m_walk)
        return;
    QList<GroupResultRow> found;
    if (!m_stopRequested) {
        QElapsedTimer spent;
        spent.start();
        while (!m_walk->step(256, found) && spent.elapsed() < kSliceMsecs) {
        }
    }
    Q_EMIT rowsFound(found);
    const QString count = numText(m_walk->matchCount()) + QStringLiteral(" matching groups found)");
    const qint64 seconds = elapsedSeconds();
    if (!m_stopRequested && !m_walk->finished()) {
        Q_EMIT progressed(m_walk->progress(), QStringLiteral("Searching... (") + count +
                                                  QStringLiteral("  Time:") + numText(seconds) +
                                                  QStringLiteral(" seconds"));
        m_next.start();
        return;
    }
    const bool aborted = m_stopRequested && !m_walk->finished();
    const QString time = seconds < 1
                             ? QStringLiteral("  Time: Less than 1 second")
                             : QStringLiteral("  Time:") + numText(seconds) + QStringLiteral(" seconds");
    m_lastCount = m_walk->matchCount();
    m_walk.reset();
    m_stopRequested = false;
    Q_EMIT ended(aborted,
                 (aborted ? QStringLiteral("Search Aborted. (") : QStringLiteral("Done! (")) + count + time);
}

} // namespace kestrel
