#pragma once

#include "base/atomic_file.h"
#include "scan/huge_page_allocator.h"
#include "scan/name_index.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <vector>

namespace kestrel {

class Context;

// The names of files already fetched: one upper-case text 'PIC1.JPG,PIC2.GIF,' kept
// byte-exact as NOREDL.TXT holds it, with a hashed index of its whole names beside it.
// A name counts as listed only when it is one of the comma-separated names; a longer
// listed name that merely ends with it does not count.
class NoRedlList : public QObject {
    Q_OBJECT
public:
    static constexpr int MinEntryLength = 7; // name plus comma: names under six characters are never added

    explicit NoRedlList(Context &ctx, QObject *parent = nullptr);

    void loadNoRedl();
    SaveResult saveNoRedl() const;
    // Records a fetched file name (upper-cased) and saves the list at once.
    void addToNoRedl(QByteArrayView name);
    // The whole name is listed, letters compared without case.
    bool contains(QByteArrayView name) const;

    // The name to save a uuencoded picture under, or "KILL" when it must not be
    // saved. text starts at the "begin 644" line; subjectName is the name from the
    // subject.
    QByteArray checkUUName(const QByteArray &text, const QByteArray &subjectName);

    // Asks whether to forget every fetched name; empties the list unless the answer is
    // No. The file follows at the next save. Returns whether the list was emptied.
    bool resetNoRedl();
    void clear();

    QByteArrayView text() const { return QByteArrayView(m_text.data(), qsizetype(m_text.size())); }
    size_t nameCount() const { return m_index.size(); }
    // "Size of downloaded files list: 12.3 kb"
    QString sizeCaption() const;

Q_SIGNALS:
    void sizeChanged(const QString &caption);

private:
    void rebuildIndex();
    bool containsSlow(QByteArrayView upperName) const;
    // Saves what addToNoRedl added after the first `from` bytes.
    void saveAddition(size_t from);

    Context &m_ctx;
    // The list text. A million names are about 16 MB read at random by every
    // duplicate test; huge pages keep those reads from missing the TLB as well.
    std::vector<char, HugePageAllocator<char>> m_text;
    NameIndex m_index;
    // Bytes of m_text the file is known to hold; -1 when unknown.
    mutable qint64 m_savedSize = -1;
};

} // namespace kestrel
