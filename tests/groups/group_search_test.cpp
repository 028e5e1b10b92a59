#include "groups/group_search.h"
#include "groups/list_numbers.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

QByteArray listOf(const QList<QByteArray> &lines)
{
    QByteArray text = "215 list of newsgroups follows\r\n";
    for (const QByteArray &l : lines)
        text += l + "\r\n";
    return text + ".\r\n";
}

QList<GroupResultRow> searchAll(const QByteArray &list, const QByteArray &text, SearchMode mode)
{
    GroupListWalk walk(list, text, mode);
    QList<GroupResultRow> found;
    int guard = 0;
    while (!walk.step(7, found) && ++guard < 1000000) {
    }
    EXPECT_EQ(walk.matchCount(), found.size());
    return found;
}

QList<QByteArray> namesOf(const QList<GroupResultRow> &rows)
{
    QList<QByteArray> names;
    for (const GroupResultRow &r : rows)
        names.append(r.name);
    return names;
}

const QByteArray kSmallList = listOf({
    "alt.binaries.pictures 3000 2881 y",
    "alt.binaries.pictures.cars 10 11 y",
    "alt.test 5 1 y",
    "comp.pictures 100500 500 m",
    "rec.alt.binaries. 4 2 y",
    "alt.binaries.x 7 y",
});

TEST(GroupSearch, ModesMatchNamesOnlyCaseSensitivelyInFileOrder)
{
    struct Case {
        const char *text;
        SearchMode mode;
        QList<QByteArray> expected;
    };
    const Case cases[] = {
        {"alt.binaries.",
         SearchMode::StartsWith,
         {"alt.binaries.pictures", "alt.binaries.pictures.cars", "alt.binaries.x"}},
        {"Alt.binaries.", SearchMode::StartsWith, {}},
        {"pictures",
         SearchMode::Contains,
         {"alt.binaries.pictures", "alt.binaries.pictures.cars", "comp.pictures"}},
        // A trailing blank only matches where the name ends.
        {"pictures ", SearchMode::Contains, {"alt.binaries.pictures", "comp.pictures"}},
        // Numbers on a line are not part of its name.
        {"2881", SearchMode::Contains, {}},
        // The status line is looked at like a group line.
        {"21", SearchMode::Contains, {"215"}},
        // The closing line is never examined.
        {".", SearchMode::StartsWith, {}},
        {"alt.binaries.pictures.cars.more", SearchMode::StartsWith, {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(namesOf(searchAll(kSmallList, c.text, c.mode)), c.expected) << c.text;
}

TEST(GroupSearch, ResultRowsCarryTheEstimateAndTheNumbers)
{
    struct Case {
        const char *line;
        const char *total;
        const char *first;
        const char *last;
    };
    const Case cases[] = {
        {"a.one 3000 2881 y", "00119", "2881", "3000"},
        {"a.empty 10 11 y", " ? ", "11", "10"},
        {"a.huge 100500 500 m", " ? ", "500", "100500"},
        {"a.edge 91000 1 y", "90999", "1", "91000"},
        {"a.short 7 y", "00007", "y", "7"},
        {"a.backwards 3 10 y", "-00007", "10", "3"},
    };
    for (const Case &c : cases) {
        const QByteArray line(c.line);
        const GroupResultRow row = makeGroupResult(line.left(line.indexOf(' ')), line);
        EXPECT_EQ(row.total, QString::fromLatin1(c.total)) << c.line;
        EXPECT_EQ(row.first, QByteArray(c.first)) << c.line;
        EXPECT_EQ(row.last, QByteArray(c.last)) << c.line;
        EXPECT_EQ(row.smallIcon, 2);
    }
}

// The skip-ahead must never lose a match, however far apart the matches lie and
// whatever raw occurrences of the text sit in between.
TEST(GroupSearch, SkipAheadFindsEveryMatchOfALargeList)
{
    QList<QByteArray> lines;
    QList<QByteArray> wantContains;
    QList<QByteArray> wantStarts;
    for (int i = 0; i < 20000; ++i) {
        QByteArray name = "alt.group" + QByteArray::number(i);
        if (i % 997 == 0) {
            name = "zz.needle.hay" + QByteArray::number(i);
            wantStarts.append(name);
        } else if (i % 313 == 0) {
            name = "alt.has.needle" + QByteArray::number(i);
        }
        if (name.contains("needle"))
            wantContains.append(name);
        // "needle" in the description part must not count, but is a raw occurrence.
        lines.append(name + ' ' + QByteArray::number(i + 5) + ' ' + QByteArray::number(i) +
                     (i % 50 == 0 ? " needle" : " y"));
    }
    const QByteArray list = listOf(lines);
    EXPECT_EQ(namesOf(searchAll(list, "needle", SearchMode::Contains)), wantContains);
    EXPECT_EQ(namesOf(searchAll(list, "zz.needle", SearchMode::StartsWith)), wantStarts);
    EXPECT_TRUE(searchAll(list, "absent", SearchMode::Contains).isEmpty());
}

TEST(GroupListNumbers, KilobyteTexts)
{
    EXPECT_EQ(kbWhole(0), QString());
    EXPECT_EQ(kbWhole(511), QString());
    EXPECT_EQ(kbWhole(512), QStringLiteral("1"));
    EXPECT_EQ(kbOneDecimal(512).right(2), QLocale::system().decimalPoint() + QStringLiteral("5"));
    EXPECT_EQ(kbOneDecimal(512).size(), 2); // no digit before the point
    EXPECT_EQ(leadingNumber(" 42x"), 42);
    EXPECT_EQ(leadingNumber("y"), 0);
}

} // namespace
} // namespace kestrel
