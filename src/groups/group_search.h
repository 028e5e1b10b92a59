#pragma once

#include "groups/group_results_model.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QTimer>

namespace kestrel {

class Clock;

enum class SearchMode { StartsWith = 0, Contains = 1 };

// Where the next raw occurrence of s at or after start (1-based, in list) makes a jump
// worth while: the line break at or after 512 bytes before it, 0 when it is too close
// (or no line break follows), list.size() + 1 when s does not occur again.
qint64 findNextCandidate(QByteArrayView list, QByteArrayView s, qint64 start);

// Walks a group list (the LIST answer: status line, "name last first flag" lines, the
// "." line) looking for names that start with or contain a text. A line that does not
// match lets the walk jump ahead close to the next raw occurrence of the text, so a
// rare text costs a few memory searches instead of a look at every line. The closing
// line of the text is never examined.
class GroupListWalk {
public:
    GroupListWalk(QByteArray list, QByteArray text, SearchMode mode);

    // Examines at most maxLines lines, appending the matches to found; true once the
    // end is reached.
    bool step(int maxLines, QList<GroupResultRow> &found);
    bool finished() const { return m_done; }
    int matchCount() const { return m_matches; }
    // Where the walk stands, 1..progressMaximum().
    qint64 progress() const { return m_progress; }
    qint64 progressMaximum() const { return m_list.size() + 1; }

private:
    bool matches(QByteArrayView name) const;

    QByteArray m_list;
    QByteArray m_text;
    SearchMode m_mode;
    qint64 m_p = 1; // position in "-" + list, 1-based
    qint64 m_progress = 0;
    int m_matches = 0;
    bool m_done = false;
};

// Runs a walk in slices from the event loop (a zero-timer between slices), so the
// window stays responsive and a stop request is seen between two slices.
class GroupSearch : public QObject {
    Q_OBJECT
public:
    explicit GroupSearch(const Clock &clock, QObject *parent = nullptr);

    void start(const QByteArray &list, const QByteArray &text, SearchMode mode);
    void requestStop() { m_stopRequested = true; }
    bool isRunning() const { return m_walk != nullptr; }
    int matchCount() const { return m_walk ? m_walk->matchCount() : m_lastCount; }

    static constexpr int kSliceMsecs = 15;

Q_SIGNALS:
    void started(qint64 progressMaximum);
    void rowsFound(const QList<GroupResultRow> &rows);
    void progressed(qint64 position, const QString &statusText);
    // statusText: "Done! (...)" or "Search Aborted. (...)".
    void ended(bool aborted, const QString &statusText);

private:
    void slice();
    qint64 elapsedSeconds() const;

    const Clock &m_clock;
    std::unique_ptr<GroupListWalk> m_walk;
    QTimer m_next;
    QDateTime m_startTime;
    bool m_stopRequested = false;
    int m_lastCount = 0;
};

} // namespace kestrel
