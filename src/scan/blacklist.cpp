#include "scan/blacklist.h"

#include "base/text_util.h"

#include "base/atomic_file.h"
#include "base/context.h"
#include "base/number_text.h"

#include <QFile>

namespace kestrel {

Blacklist::Blacklist(Context &ctx, QObject *parent) : QObject(parent), m_ctx(ctx) {}

void Blacklist::rebuild()
{
    m_keys.clear();
    m_keys.reserve(m_entries.size());
    for (const QByteArray &e : m_entries)
        m_keys.append(upperAscii(trimSpaces(e)));
    m_matcher.build(m_keys);
    Q_EMIT changed();
}

void Blacklist::loadBlacklist()
{
    QFile f(m_ctx.state.file(QStringLiteral("BLKLIST.TXT")));
    if (f.open(QIODevice::ReadOnly)) {
        const QByteArray all = f.readAll();
        forEachLine(all, [this](QByteArrayView line) {
            if (!line.isEmpty())
                m_entries.append(line.toByteArray());
        });
    }
    rebuild();
}

SaveResult Blacklist::saveBlacklist() const
{
    QByteArray out;
    if (!m_entries.isEmpty()) {
        for (const QByteArray &e : m_entries)
            out += e + "\r\n";
        out += "\r\n";
    }
    return writeFileAtomic(m_ctx.state.file(QStringLiteral("BLKLIST.TXT")), out);
}

void Blacklist::addToBlacklist(const QByteArray &entry)
{
    if (trimSpaces(entry).isEmpty())
        return;
    for (const QByteArray &e : m_entries)
        if (equalsCI(e, entry))
            return;
    m_entries.append(entry);
    rebuild();
    m_ctx.reportSave(saveBlacklist());
}

void Blacklist::removeAt(int index)
{
    if (index < 0 || index >= m_entries.size())
        return;
    m_entries.removeAt(index);
    rebuild();
    m_ctx.reportSave(saveBlacklist());
}

QByteArray Blacklist::matchBlacklist(QByteArrayView text) const
{
    if (!m_ctx.settings.checked(u"chkBLemail"))
        return {};
    const int hit = m_matcher.firstMatch(text);
    return hit < 0 ? QByteArray() : m_keys[hit];
}

QStringList Blacklist::displayEntries() const
{
    QStringList out;
    out.reserve(m_entries.size());
    for (const QByteArray &e : m_entries)
        out.append(displayText(e));
    return out;
}

} // namespace kestrel
