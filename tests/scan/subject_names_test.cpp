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
        {"pic.JPG", ExtractJpgName, "pic.JPG"},
        {"[abc] Some Name - file01.jpg (1/1)", ExtractJpgName, "file01.jpg"},
        {"Re: [1/1] pic.jpg", ExtractJpgName, "pic.jpg"},
        {"Re:[1/1]pic.jpg", ExtractJpgName, "pic.jpg"},
        {"my pic .jpg", ExtractJpgName, "pic.JPG"},
        {"a.jpg and b.jpg and c.jpg", ExtractJpgName, "b.jpg"},
        {"Nice picture (1/1)", ExtractJpgName, "Nice picture.jpg"},
        {"", ExtractJpgName, ".jpg"},
        {"", ExtractGifName, ".gif"},
        {"", ExtractPngName, ".png"},
        {"(pic.gif)", ExtractGifName, "(pic.gif"},
        {"(pic.jpg)", ExtractJpgName, "pic.jpg"},
        {"Re:pic.gif", ExtractGifName, "Re:pic.gif"},
        {"Re:pic.png", ExtractPngName, "Re:pic.png"},
        {"C:\\pics\\x.jpg", ExtractJpgName, "picsx.jpg"},
        {"1,/1.jpg", ExtractJpgName, ".jpg"},
        {"  series {vol 2} \"x.jpg\" yEnc", ExtractJpgName, "x.jpg"},
        {"a.gif b.gif", ExtractGifName, "b.gif"},
        {"pic.jpg.jpg", ExtractJpgName, ".jpg"},
        {"no picture [2/3]", ExtractPngName, "no picture 23.png"},
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
        StripToken(t, c.token);
        EXPECT_EQ(t, QByteArray(c.expected)) << c.text << " - " << c.token;
    }
}

TEST(SubjectNames, ForceToQueueVariantFollowsTheSubject)
{
    bool gifOrPng = false;
    EXPECT_EQ(ExtractNameByExtension("pic.png (1/1)", &gifOrPng), "pic.png");
    EXPECT_TRUE(gifOrPng);
    EXPECT_EQ(ExtractNameByExtension("(a.GIF) and b.png", &gifOrPng), "(a.GIF");
    EXPECT_TRUE(gifOrPng);
    EXPECT_EQ(ExtractNameByExtension("Re: x.jpg", &gifOrPng), "x.jpg");
    EXPECT_FALSE(gifOrPng);
}

} // namespace
} // namespace kestrel
