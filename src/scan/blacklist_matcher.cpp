#include "blacklist_matcher.h"

#include "text_util.h"

#include <deque>

namespace kestrel {

void BlacklistMatcher::build(const QList<QByteArray> &entries)
{
    m_patterns = 0;
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
    m_next.assign(size_t(k), -1);
    m_best.assign(1, None);
    for (int idx = 0; idx < entries.size(); ++idx) {
        const QByteArray &e = entries[idx];
        if (e.isEmpty())
            continue;
        int32_t s = 0;
        for (char c : e) {
            const int cls = m_classOf[uint8_t(c)];
            int32_t &edge = m_next[size_t(s) * k + cls];
            if (edge < 0) {
                edge = int32_t(m_best.size());
                m_best.push_back(None);
                m_next.resize(m_next.size() + size_t(k), -1);
            }
            s = m_next[size_t(s) * k + cls];
        }
        m_best[size_t(s)] = std::min(m_best[size_t(s)], int32_t(idx));
    }
    std::vector<int32_t> fail(m_best.size(), 0);
    std::deque<int32_t> queue;
    for (int cls = 0; cls < k; ++cls) {
        int32_t &edge = m_next[size_t(cls)];
        if (edge < 0)
            edge = 0;
        else
            queue.push_back(edge);
    }
    while (!queue.empty()) {
        const int32_t s = queue.front();
        queue.pop_front();
        m_best[size_t(s)] = std::min(m_best[size_t(s)], m_best[size_t(fail[size_t(s)])]);
        for (int cls = 0; cls < k; ++cls) {
            int32_t &edge = m_next[size_t(s) * k + cls];
            const int32_t viaFail = m_next[size_t(fail[size_t(s)]) * k + cls];
            if (edge < 0) {
                edge = viaFail;
            } else {
                fail[size_t(edge)] = viaFail;
                queue.push_back(edge);
            }
        }
    }
}

int BlacklistMatcher::firstMatch(QByteArrayView text) const
{
    if (m_patterns == 0)
        return -1;
    int32_t best = None;
    int32_t s = 0;
    const int k = m_classes;
    for (char c : text) {
        s = m_next[size_t(s) * k + m_classOf[uint8_t(c)]];
        const int32_t b = m_best[size_t(s)];
        if (b < best) {
            best = b;
            if (best == 0)
                break;
        }
    }
    return best == None ? -1 : int(best);
}

} // namespace kestrel
