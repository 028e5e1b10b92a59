#include "scan/header_filter.h"

#include "base/text_util.h"
#include "scan/blacklist.h"
#include "scan/csv_lookup.h"
#include "scan/dupe_paths.h"
#include "scan/noredl_list.h"
#include "scan/part_counter.h"
#include "scan/pending_list_model.h"
#include "scan/subject_names.h"

#include "base/context.h"

#include <bit>
#include <climits>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kestrel {

std::vector<std::pair<const char *, qint32>> FilterCounters::labelValues() const
{
    return {{"lblNottaJPG", notPicCount}, {"lblKilledByLines", linesKilledCount},
            {"lblDupe", dupeCount},       {"lblSpam", spamCount},
            {"lblSpeed", readCount},      {"lblTooBig", tooBigCount}};
}

namespace {

// A block without a Lines header counts as this many lines, as overview lines do.
constexpr QByteArrayView kMissingLines("1000");
// Without a Bytes field a part is taken as this many bytes a line: a yEnc line of 128
// characters, its line end left for the escapes.
constexpr qint64 kBytesPerLine = 128;

qint32 partLines(double lines)
{
    return qint32(std::round(std::clamp(lines, 0.0, double(INT_MAX))));
}

// The Bytes field of the block (overview lines carry it, some HEAD replies too); 0
// when absent.
double bytesField(QByteArrayView block)
{
    constexpr QByteArrayView name("Bytes:");
    qsizetype at = block.startsWith(name) ? 0 : block.indexOf("\nBytes:");
    if (at < 0)
        return 0;
    if (at > 0)
        ++at;
    qsizetype end = block.indexOf('\r', at);
    if (end < 0)
        end = block.size();
    return numericValue(block.sliced(at + name.size(), end - at - name.size()));
}

enum Field { FSubject, FLines, FXref, FHost, FOrg, FFrom, FieldCount };

struct FieldName {
    QByteArrayView name; // including the colon
    int skip;            // characters from the start of the name to the value
};

constexpr FieldName kFields[FieldCount] = {
    {"Subject:", 9},       {"Lines:", 6}, {"Xref:", 5}, {"NNTP-Posting-Host:", 18},
    {"Organization:", 14}, {"From:", 6},
};

// Position of c in s at or after from; -1 when absent.
qsizetype findByte(QByteArrayView s, char c, qsizetype from)
{
    if (from < 0 || from >= s.size())
        return -1;
    const void *hit = std::memchr(s.data() + from, c, size_t(s.size() - from));
    return hit ? static_cast<const char *>(hit) - s.data() : -1;
}

bool endsAt(QByteArrayView block, qsizetype colon, QByteArrayView name)
{
    const qsizetype start = colon + 1 - name.size();
    return start >= 0 && std::memcmp(block.data() + start, name.data(), size_t(name.size())) == 0;
}

// The value of a field found at start: skip characters, then up to the next CR.
QByteArrayView valueAt(QByteArrayView block, qsizetype start, int skip)
{
    const qsizetype from = start + skip;
    if (from >= block.size())
        return {};
    qsizetype end = findByte(block, '\r', from);
    if (end < 0)
        end = block.size();
    return block.sliced(from, end - from);
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A subject that names a part of a multi-part post: it carries no 1/1 counter but
// a slash followed by a digit other than 1.
bool namesAnotherPart(QByteArrayView s)
{
    bool slashDigit = false;
    const char *d = s.data();
    const qsizetype n = s.size();
    for (qsizetype p = 0; p < n; ++p) {
        const char c = d[p];
        if (c != '/' && c != '\\')
            continue;
        const char before = p > 0 ? d[p - 1] : '\0';
        const char after = p + 1 < n ? d[p + 1] : '\0';
        if (before == '1' && after == '1')
            return false; // "1/1" or "1\1"
        if (c == '/') {
            if (before == '1' && p >= 2 && d[p - 2] == '0' && after == '0' && p + 2 < n && d[p + 2] == '1')
                return false; // "01/01"
            if (isDigit(after) && after != '1')
                slashDigit = true;
        }
    }
    return slashDigit;
}

} // namespace

namespace {

// Calls fn(position) for every colon of the block, in order, until fn returns false.
// Sixteen bytes are compared at once: a header block holds a colon every few dozen
// bytes, too often for memchr's start-up cost to pay.
template <typename Fn> void forEachColon(QByteArrayView block, Fn &&fn)
{
    const char *d = block.data();
    const qsizetype n = block.size();
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i colon = _mm_set1_epi8(':');
    for (; i + 16 <= n; i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(d + i));
        auto mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, colon)));
        while (mask != 0) {
            if (!fn(i + std::countr_zero(mask)))
                return;
            mask &= mask - 1;
        }
    }
#endif
    for (; i < n; ++i)
        if (d[i] == ':' && !fn(i))
            return;
}

} // namespace

HeaderFields parseHeaderFields(QByteArrayView block)
{
    qsizetype found[FieldCount];
    std::fill(std::begin(found), std::end(found), qsizetype(-1));
    int missing = FieldCount;
    forEachColon(block, [&](qsizetype colon) {
        // The byte before the colon tells which name could end here.
        int f = -1;
        switch (colon > 0 ? block[colon - 1] : '\0') {
        case 't':
            f = endsAt(block, colon, kFields[FSubject].name) ? FSubject
                : endsAt(block, colon, kFields[FHost].name)  ? FHost
                                                             : -1;
            break;
        case 's':
            f = FLines;
            break;
        case 'f':
            f = FXref;
            break;
        case 'n':
            f = FOrg;
            break;
        case 'm':
            f = FFrom;
            break;
        default:
            break;
        }
        if (f >= 0 && found[f] < 0 && endsAt(block, colon, kFields[f].name)) {
            found[f] = colon + 1 - kFields[f].name.size();
            --missing;
        }
        return missing > 0;
    });
    const qsizetype cr = findByte(block, '\r', 0);
    const QByteArrayView firstLine = block.first(cr < 0 ? block.size() : cr);
    auto value = [&](Field f, QByteArrayView absent) {
        return found[f] < 0 ? absent : valueAt(block, found[f], kFields[f].skip);
    };
    HeaderFields h;
    h.subject = value(FSubject, firstLine);
    h.lines = value(FLines, kMissingLines);
    h.xref = value(FXref, {});
    h.postingHost = trimSpaces(value(FHost, {}));
    h.organization = value(FOrg, {});
    h.from = value(FFrom, firstLine);
    return h;
}

int countCrossposts(QByteArrayView xref)
{
    int colons = 0;
    for (char c : xref)
        colons += c == ':' ? 1 : 0;
    return std::max(colons, 1);
}

HeaderFilter::HeaderFilter(Context &ctx, FilterCounters &counters, PendingListModel &pending,
                           NoRedlList &noRedl, Blacklist &blacklist, DupePaths &dupePaths,
                           const CsvLookup &csv)
    : m_ctx(ctx), m_counters(counters), m_pending(pending), m_noRedl(noRedl), m_blacklist(blacklist),
      m_dupePaths(dupePaths), m_csv(csv)
{
}

bool HeaderFilter::isSet(CheckKey key) const
{
    return m_ctx.settings.checked(key);
}

int HeaderFilter::checkDuplicate(const QByteArray &fileName) const
{
    if (m_pending.containsName(fileName))
        return 1;
    if (m_noRedl.contains(fileName))
        return 1;
    return m_dupePaths.containsFile(fileName) ? 1 : 0;
}

const char *HeaderFilter::partLimitLabel(const QByteArray &block, double lines,
                                         const PartCounter &counter) const
{
    if (counter.total > kMaxParts)
        return "!Too many parts";
    const double bytes = bytesField(block);
    const double perPart = bytes > 0 ? bytes : lines * kBytesPerLine;
    return perPart * counter.total > double(kMaxPictureBytes) ? "!Too big" : nullptr;
}

bool HeaderFilter::joinPicture(const QByteArray &key, const PartCounter &counter,
                               const QByteArray &articleNumber, double lines)
{
    const int row = m_pending.findPicture(key);
    if (row < 0)
        return false;
    // A part seen before (posted again, or read again) changes nothing.
    m_pending.addPart(
        row, PendingPart{qint16(counter.number), ListNumber::fromText(articleNumber, 0), partLines(lines)});
    return true;
}

void HeaderFilter::filterArticleHeader(const QByteArray &block, const QByteArray &articleNumber)
{
    enum Kind { Accepted = 0, Content = 1, Spam = 2 };
    const HeaderFields h = parseHeaderFields(block);
    QByteArray subject; // copied only when the entry or the name needs it
    int kind = Accepted;
    const char *label = nullptr;
    QByteArray spamEntry;
    bool gif = false;
    bool png = false;
    bool csvMatched = false;
    QByteArray fileName;
    std::optional<PartCounter> counter;
    if (isSet(u"chkMultiPart"))
        counter = findPartCounter(h.subject);
    // A part's picture kind and name come from its subject without the counter.
    const QByteArrayView nameSubject = counter ? QByteArrayView(counter->rest) : h.subject;

    const double lines = numericValue(h.lines);
    if (lines > m_ctx.settings.slider(u"sldLineMax")) {
        kind = Content;
        label = "!Above Max Lines";
        ++m_counters.linesKilledCount;
    } else if (lines < m_ctx.settings.slider(u"sldLineMin")) {
        kind = Content;
        label = "!Below Min Lines";
        ++m_counters.linesKilledCount;
    }
    if (kind == Accepted) {
        const bool allowGif = isSet(u"chkAllowGIF");
        gif = allowGif && containsCI(nameSubject, ".GIF");
        png = isSet(u"chkAllowPNG") && containsCI(nameSubject, ".PNG");
        if (isSet(u"chkRequireJPG") && !gif && !png && !containsCI(nameSubject, ".JPG")) {
            kind = Content;
            label = allowGif ? "!No JPG, GIF, or PNG in subject" : "!No JPG in subject";
            ++m_counters.notPicCount;
        }
    }
    if (kind == Accepted && !counter && namesAnotherPart(h.subject)) {
        kind = Content;
        label = "!No 1/1 or 1\\1 in subject";
        ++m_counters.notPicCount;
    }
    const int crossposts = countCrossposts(h.xref);
    if (kind == Accepted && crossposts > m_ctx.settings.slider(u"sldXposts")) {
        kind = Spam;
        label = "!Too many crossposts";
        ++m_counters.spamCount;
    }
    if (kind == Accepted) {
        const std::pair<QByteArrayView, const char *> tests[] = {
            {h.subject, "!SPAM in subject - "},
            {h.postingHost, "!SPAM in posting host - "},
            {h.organization, "!SPAM in Org - "},
            {h.from, "!SPAM in email address - "},
        };
        for (const auto &[text, prefix] : tests) {
            spamEntry = m_blacklist.matchBlacklist(text);
            if (!spamEntry.isEmpty()) {
                kind = Spam;
                label = prefix;
                ++m_counters.spamCount;
                break;
            }
        }
    }
    if (kind == Accepted && counter) {
        label = partLimitLabel(block, lines, *counter);
        if (label) {
            kind = Content;
            ++m_counters.tooBigCount;
        }
    }
    QByteArray pictureKey;
    if (kind == Accepted && counter) {
        pictureKey = m_currentGroup + '\n' + counter->rest + '\n' + h.from.toByteArray();
        if (joinPicture(pictureKey, *counter, articleNumber, lines)) {
            ++m_counters.scanHeaderCount;
            ++m_counters.readCount;
            m_counters.notify();
            return;
        }
    }
    if (kind == Accepted || isSet(u"chkOverall"))
        subject = h.subject.toByteArray();
    if (kind == Accepted) {
        const QByteArray named = counter ? counter->rest : subject;
        fileName = gif ? extractGifName(named) : png ? extractPngName(named) : extractJpgName(named);
        // Pictures of one name from different posters are different pictures.
        const bool dupe = counter ? m_noRedl.contains(fileName) || m_dupePaths.containsFile(fileName) ||
                                        m_pending.containsSinglePartName(fileName)
                                  : checkDuplicate(fileName) != 0;
        if (dupe) {
            kind = Content;
            label = "!Duplicate";
            ++m_counters.dupeCount;
        }
    }
    if (kind == Accepted && m_csv.csvLoaded()) {
        const QByteArray record = m_csv.csvFindRecord(fileName);
        if (record.isEmpty()) {
            if (isSet(u"chkIgnoreCSV")) {
                kind = Content;
                label = "!Not in CSV";
            }
        } else {
            const qsizetype cr = record.indexOf('\r');
            const QByteArrayView line = QByteArrayView(record).first(cr < 0 ? record.size() : cr);
            const qsizetype comma = line.indexOf(',');
            if (comma >= 0) {
                fileName = trimSpaces(line.first(comma)).toByteArray();
                if (isSet(u"chkCSVusedescrip")) {
                    // The description follows the comma that ends the third field.
                    qsizetype c = comma;
                    for (int k = 0; k < 2 && c >= 0; ++k)
                        c = line.indexOf(',', c + 1);
                    const QByteArray description = c >= 0 ? line.sliced(c + 1).toByteArray() : QByteArray();
                    const QByteArray csvFile = cr < 0 ? QByteArray() : record.mid(cr + 1);
                    subject = m_csv.csvSeriesName(csvFile) + ": " + description;
                }
            }
            csvMatched = true;
        }
    }
    ++m_counters.scanHeaderCount;
    ++m_counters.readCount;

    if (kind != Accepted) {
        if (m_ctx.settings.checked(u"chkSFX"))
            m_ctx.playSfx(kind == Spam ? QStringLiteral("other.wav") : QStringLiteral("spam.wav"));
        if (isSet(u"chkOverall")) {
            QByteArray fullLabel(label);
            fullLabel += spamEntry;
            m_pending.addArticleHeader(h.from.toByteArray(), subject, h.organization.toByteArray(),
                                       articleNumber, h.lines.toByteArray(), h.postingHost.toByteArray(),
                                       crossposts, true, fullLabel, gif, csvMatched, fileName,
                                       m_currentGroup);
        }
    } else if (!isSet(u"chkSpamScan")) {
        PendingParts parts;
        if (counter) {
            parts.total = qint16(counter->total);
            parts.seen = {PendingPart{qint16(counter->number), ListNumber::fromText(articleNumber, 0),
                                      partLines(lines)}};
            parts.firstSeen = m_ctx.clock.now();
            parts.key = pictureKey;
        }
        m_pending.addArticleHeader(h.from.toByteArray(), subject, h.organization.toByteArray(), articleNumber,
                                   h.lines.toByteArray(), h.postingHost.toByteArray(), crossposts, false,
                                   QByteArray(), gif, csvMatched, fileName, m_currentGroup, std::move(parts));
    }
    m_counters.notify();
}

} // namespace kestrel
