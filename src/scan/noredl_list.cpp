#include "scan/noredl_list.h"

#include "base/text_util.h"

#include "base/atomic_file.h"
#include "base/context.h"
#include "base/number_text.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <string>
#include <string_view>

namespace kestrel {

NoRedlList::NoRedlList(Context &ctx, QObject *parent) : QObject(parent), m_ctx(ctx) {}

void NoRedlList::rebuildIndex()
{
    m_index.clear();
    // About 13 bytes a name in practice; the index grows if the guess is low.
    m_index.reserve(size_t(m_text.size() / 13 + 16));
    m_index.insertAll(text());
}

void NoRedlList::loadNoRedl()
{
    QFile f(m_ctx.state.file(QStringLiteral("NOREDL.TXT")));
    if (f.exists() && f.open(QIODevice::ReadOnly)) {
        m_text.resize(size_t(std::max<qint64>(0, f.size())));
        const qint64 got = m_text.empty() ? 0 : f.read(m_text.data(), qint64(m_text.size()));
        m_text.resize(size_t(std::max<qint64>(0, got)));
        // The file holds the list upper-cased; one that does not yet is rewritten whole at
        // the next addition, later additions are appended.
        const bool hadLower =
            std::any_of(m_text.begin(), m_text.end(), [](char c) { return c >= 'a' && c <= 'z'; });
        upperAsciiInPlace(m_text.data(), qsizetype(m_text.size()));
        rebuildIndex();
        m_savedSize = got == f.size() && !hadLower ? got : -1;
    }
    Q_EMIT sizeChanged(sizeCaption());
}

SaveResult NoRedlList::saveNoRedl() const
{
    SaveResult result = writeFileAtomic(m_ctx.state.file(QStringLiteral("NOREDL.TXT")),
                                        QByteArray::fromRawData(m_text.data(), qsizetype(m_text.size())));
    m_savedSize = result.ok() ? qint64(m_text.size()) : -1;
    return result;
}

void NoRedlList::saveAddition(size_t from)
{
    // The list only grows between saves, and its file is the text itself, so adding a
    // name is appending its bytes: far cheaper than rewriting a list of a million names
    // for every picture. Anything unexpected on disk gets the whole file rewritten.
    const QString path = m_ctx.state.file(QStringLiteral("NOREDL.TXT"));
    if (m_savedSize == qint64(from) && QFileInfo(path).size() == m_savedSize &&
        appendToFile(path, QByteArray::fromRawData(m_text.data() + from, qsizetype(m_text.size() - from)))) {
        m_savedSize = qint64(m_text.size());
        return;
    }
    // A failed append may have left part of the name; the whole rewrite puts the file
    // right, and when that fails too the list is saved again at shutdown.
    m_savedSize = -1;
    m_ctx.reportSave(saveNoRedl());
}

bool NoRedlList::containsSlow(QByteArrayView upperName) const
{
    // A name holding a comma spans several list items; look for it as a run of whole
    // items: at the start of the text or right after a comma, and followed by a comma.
    const std::string entry = upperName.toByteArray().toStdString() + ',';
    const std::string_view all(m_text.data(), m_text.size());
    for (size_t p = all.find(entry); p != std::string_view::npos; p = all.find(entry, p + 1))
        if (p == 0 || all[p - 1] == ',')
            return true;
    return false;
}

bool NoRedlList::contains(QByteArrayView name) const
{
    if (name.contains(','))
        return containsSlow(upperAscii(name));
    return m_index.contains(text(), name);
}

void NoRedlList::addToNoRedl(QByteArrayView name)
{
    if (name.size() + 1 < MinEntryLength || contains(name))
        return;
    const size_t savedBefore = m_text.size();
    // Keep the names apart when the file lost its final comma.
    if (!m_text.empty() && m_text.back() != ',')
        m_text.push_back(',');
    const size_t offset = m_text.size();
    const QByteArray upper = upperAscii(name);
    m_text.insert(m_text.end(), upper.cbegin(), upper.cend());
    m_text.push_back(',');
    if (name.contains(','))
        rebuildIndex();
    else
        m_index.insert(text(), uint32_t(offset), uint32_t(name.size()));
    Q_EMIT sizeChanged(sizeCaption());
    saveAddition(savedBefore);
}

void NoRedlList::clear()
{
    m_text.clear();
    m_text.shrink_to_fit();
    m_index.clear();
    m_savedSize = -1;
    Q_EMIT sizeChanged(sizeCaption());
}

bool NoRedlList::resetNoRedl()
{
    const bool yes = m_ctx.prompter.question(
        QStringLiteral("This will clear the 'already download files' list, are you sure you want to "
                       "do this? (if in doubt, answer no, exit and backup the file 'noredl.txt' "
                       "before proceeding)"),
        false);
    if (!yes)
        return false;
    clear();
    return true;
}

QString NoRedlList::sizeCaption() const
{
    // Kilobytes with one decimal and thousands separated: "1,234.5 kb".
    const qint64 tenths = (qint64(m_text.size()) + 50) / 100;
    QString whole = QString::number(tenths / 10);
    for (qsizetype i = whole.size() - 3; i > 0; i -= 3)
        whole.insert(i, QLatin1Char(','));
    return QStringLiteral("Size of downloaded files list: ") + whole + QLatin1Char('.') +
           QString::number(tenths % 10) + QStringLiteral(" kb");
}

QByteArray NoRedlList::checkUUName(const QByteArray &text, const QByteArray &subjectName)
{
    QByteArray result = subjectName;
    if (!text.contains("begin 644"))
        return result;
    const qsizetype lf = text.indexOf('\n');
    QByteArrayView line = QByteArrayView(text).first(lf < 0 ? text.size() : lf);
    line = trimSpaces(line.size() > 9 ? line.sliced(9) : QByteArrayView());
    if (line.endsWith('\r'))
        line.chop(1);
    const QByteArray uuName = trimSpaces(line).toByteArray();
    if (equalsCI(uuName, subjectName)) {
        m_ctx.writeLog(QStringLiteral("Filename subject/uucode match verified"), true);
        return result;
    }
    m_ctx.writeLog(QStringLiteral("Filename subject/uucode MISMATCH!"), true);
    m_ctx.writeLog(QStringLiteral("uucode: ") + displayText(uuName) + QStringLiteral(" subject: ") +
                       displayText(subjectName),
                   true);
    if (m_ctx.settings.checked(u"chkUseNameFromUUE"))
        result = uuName;
    if (contains(uuName)) {
        if (m_ctx.settings.checked(u"chkDeleteUUfoundfile")) {
            m_ctx.writeLog(displayText(uuName) + QStringLiteral(" found in noredl, deleting."), true);
            return QByteArrayLiteral("KILL");
        }
        return result;
    }
    m_ctx.writeLog(displayText(uuName) + QStringLiteral(" not found in noredl, adding."), true);
    addToNoRedl(uuName);
    return result;
}

} // namespace kestrel
