#include "scan/blacklist_matcher.h"

#include "base/text_util.h"

#include <deque>

namespace kestrel {

void BlacklistMatcher::build(const QList<QByteArray> &entries)
{
    m_patterns = 0;
    m_rows.clear();
    std::fill(std::begin(m_classOf), std::end(m_classOf), uint8_t(0));
    m_classes = 1;
    for (const QByteArray &e : entries) {
        if (e.isEmpty())
            continue;
        ++m_patterns;
        for (char c : e) {
            const auto u = uint8_t(asciiUpper(c));
            if (m_classOf[u] == 0 && m_classes < 255)
                m_classOf[u] = uint8_t(m_classes++);
        }
    }
    // Lower-case letters read like their upper-case forms.
    for (int c = 'a'; c <= 'z'; ++c)
        m_classOf[c] = m_classOf[c - 32];

    // Trie first (-1: no edge yet), then the failure links turn it into an automaton.
    const int k = m_classes;
    std::vector<int32_t> next(size_t(k), -1);
    std::vector<int32_t> best(1, None);
    for (int idx = 0; idx < entries.size(); ++idx) {
        const QByteArray &e = entries[idx];
        if (e.isEmpty())
            continue;
        int32_t s = 0;
        for (char c : e) {
            const int cls = m_classOf[uint8_t(c)];
            int32_t &edge = next[size_t(s) * k + cls];
            if (edge < 0) {
                edge = int32_t(best.size());
                best.push_back(None);
                next.resize(next.size() + size_t(k), -1);
            }
            s = next[size_t(s) * k + cls];
        }
        best[size_t(s)] = std::min(best[size_t(s)], int32_t(idx));
    }
    std::vector<int32_t> fail(best.size(), 0);
    std::deque<int32_t> queue;
    for (int cls = 0; cls < k; ++cls) {
        int32_t &edge = next[size_t(cls)];
        if (edge < 0)
            edge = 0;
        else
            queue.push_back(edge);
    }
    while (!queue.empty()) {
        const int32_t s = queue.front();
        queue.pop_front();
        best[size_t(s)] = std::min(best[size_t(s)], best[size_t(fail[size_t(s)])]);
        for (int cls = 0; cls < k; ++cls) {
            int32_t &edge = next[size_t(s) * k + cls];
            const int32_t viaFail = next[size_t(fail[size_t(s)]) * k + cls];
            if (edge < 0) {
                edge = viaFail;
            } else {
                fail[size_t(edge)] = viaFail;
                queue.push_back(edge);
            }
        }
    }
    // Lay the automaton out as rows named by their offsets, so a step is one load.
    const int stride = k + 1;
    m_rows.assign(best.size() * size_t(stride), 0);
    for (size_t st = 0; st < best.size(); ++st) {
        m_rows[st * stride] = best[st];
        for (int cls = 0; cls < k; ++cls)
            m_rows[st * stride + 1 + size_t(cls)] = next[st * k + size_t(cls)] * stride;
    }
    for (int c = 0; c < 256; ++c)
        m_startsEntry[c] = next[m_classOf[c]] != 0;
}

int BlacklistMatcher::firstMatch(QByteArrayView text) const
{
    if (m_patterns == 0)
        return -1;
    int32_t best = None;
    int32_t s = 0;
    const int32_t *rows = m_rows.data();
    const uint8_t *p = reinterpret_cast<const uint8_t *>(text.data());
    const uint8_t *end = p + text.size();
    while (p < end) {
        // In the start state most bytes lead nowhere: skip them without the table.
        if (s == 0) {
            while (p < end && !m_startsEntry[*p])
                ++p;
            if (p == end)
                break;
        }
        s = rows[s + 1 + m_classOf[*p++]];
        const int32_t b = rows[s];
        if (b < best) {
            best = b;
            if (best == 0)
                break;
        }
    }
    return best == None ? -1 : int(best);
}

} // namespace kestrel
