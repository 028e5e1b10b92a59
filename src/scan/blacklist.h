#pragma once

#include "base/atomic_file.h"
#include "scan/blacklist_matcher.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStringList>

namespace kestrel {

class Context;

// The blacklist of sub-strings (BLKLIST.TXT): entries are kept as entered and
// compared trimmed and upper-cased against subjects, posting hosts, organizations and
// From values. Every change is saved at once.
class Blacklist : public QObject {
    Q_OBJECT
public:
    explicit Blacklist(Context &ctx, QObject *parent = nullptr);

    void loadBlacklist();
    SaveResult saveBlacklist() const;
    // Appends an entry unless it is blank or already listed (letters compared without
    // case) and saves the list.
    void addToBlacklist(const QByteArray &entry);
    // Removes one entry and saves; an emptied list is saved as an empty file.
    void removeAt(int index);

    // The first entry in list order found in text, trimmed and upper-cased; empty when
    // none matches or the blacklist is switched off.
    QByteArray matchBlacklist(QByteArrayView text) const;

    const QList<QByteArray> &entries() const { return m_entries; }
    // The entries as a list box shows them.
    QStringList displayEntries() const;

Q_SIGNALS:
    void changed();

private:
    void rebuild();

    Context &m_ctx;
    QList<QByteArray> m_entries;
    QList<QByteArray> m_keys; // trimmed, upper-cased
    BlacklistMatcher m_matcher;
};

} // namespace kestrel
