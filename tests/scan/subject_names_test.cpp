#include "scan/subject_names.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

using Extract = QByteArray (*)(const QByteArray &);

struct NameCase {
    const char *subject;
    Extract variant;
    const char *expected;
};

TEST(SubjectNames, CutsTheFileNameOutOfSubjects)
{
    const NameCase cases[] = {
        {"pic.JPG", extractJpgName, "pic.JPG"},
        {"[abc] Some Name - file01.jpg (1/1)", extractJpgName, "file01.jpg"},
        {"Re: [1/1] pic.jpg", extractJpgName, "pic.jpg"},
        {"Re:[1/1]pic.jpg", extractJpgName, "pic.jpg"},
        {"my pic .jpg", extractJpgName, "pic.JPG"},
        {"a.jpg and b.jpg and c.jpg", extractJpgName, "b.jpg"},
        {"Nice picture (1/1)", extractJpgName, "Nice picture.jpg"},
        {"", extractJpgName, ".jpg"},
        {"", extractGifName, ".gif"},
        {"", extractPngName, ".png"},
        {"(pic.gif)", extractGifName, "(pic.gif"},
        {"(pic.jpg)", extractJpgName, "pic.jpg"},
        {"Re:pic.gif", extractGifName, "Re:pic.gif"},
        {"Re:pic.png", extractPngName, "Re:pic.png"},
        {"C:\\pics\\x.jpg", extractJpgName, "picsx.jpg"},
        {"1,/1.jpg", extractJpgName, ".jpg"},
        {"  series {vol 2} \"x.jpg\" yEnc", extractJpgName, "x.jpg"},
        {"a.gif b.gif", extractGifName, "b.gif"},
        {"pic.jpg.jpg", extractJpgName, ".jpg"},
        {"no picture [2/3]", extractPngName, "no picture 23.png"},
    };
    for (const NameCase &c : cases)
        EXPECT_EQ(c.variant(c.subject), QByteArray(c.expected)) << c.subject;
}

TEST(SubjectNames, StripTokenRemovesJoinedOccurrencesAndIgnoresCase)
{
    struct Case {
        const char *text, *token, *expected;
    } cases[] = {
        {"11/1/1", "1/1", ""}, // removing the middle one joins a new "1/1"
        {"xAbCy", "abc", "xy"},      {"abc", "ABC", ""},   {"a,b,c", ",", "abc"},
        {"nothing", "z", "nothing"}, {"keep", "", "keep"},
    };
    for (const Case &c : cases) {
        QByteArray t(c.text);
        stripToken(t, c.token);
        EXPECT_EQ(t, QByteArray(c.expected)) << c.text << " - " << c.token;
    }
}

TEST(SubjectNames, ForceToQueueVariantFollowsTheSubject)
{
    bool gifOrPng = false;
    EXPECT_EQ(extractNameByExtension("pic.png (1/1)", &gifOrPng), "pic.png");
    EXPECT_TRUE(gifOrPng);
    EXPECT_EQ(extractNameByExtension("(a.GIF) and b.png", &gifOrPng), "(a.GIF");
    EXPECT_TRUE(gifOrPng);
    EXPECT_EQ(extractNameByExtension("Re: x.jpg", &gifOrPng), "x.jpg");
    EXPECT_FALSE(gifOrPng);
}

} // namespace
} // namespace kestrel
