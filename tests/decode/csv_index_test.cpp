#include "decode/csv_index.h"

#include <gtest/gtest.h>

using namespace kestrel;

namespace {

CsvIndex twoFileIndex()
{
    CsvIndex index;
    index.addCsvText("2002_Sunsets_index", "PIC1.JPG,1000,0A1B2C3D,Red sky\r\n"
                                           "pic2.jpg,2000,1234ABCD,Lower-case record\r\n"
                                           "X.JPG,1,2,Mentions PIC9.JPG inside a line\r\n"
                                           "PIC3.JPG  ,3,3,Blanks after the name\r\n"
                                           "PIC4.JPG\r\n"
                                           "PIC5.JPG,5,5,First of two in one file\r\n"
                                           "PIC5.JPG,5,5,Second of two in one file\r\n"
                                           "PIC1.JPG.BAK,6,6,Longer name\r\n"
                                           "Last.JPG,7,7,No line end");
    index.addCsvText("Beaches", "pic1.jpg,9,9,Later file\nUNIX.JPG,8,8,LF only\n");
    return index;
}

} // namespace

TEST(CsvIndex, FindRecordMatchesWholeNamesAtLineStart)
{
    const CsvIndex index = twoFileIndex();
    struct Case {
        const char *name;
        const char *record;
    };
    const Case cases[] = {
        {"PIC1.JPG", "PIC1.JPG,1000,0A1B2C3D,Red sky\r2002_Sunsets_index"},
        {"pic1.jpg", "PIC1.JPG,1000,0A1B2C3D,Red sky\r2002_Sunsets_index"}, // first file wins
        {"  Pic1.Jpg ", "PIC1.JPG,1000,0A1B2C3D,Red sky\r2002_Sunsets_index"},
        {"PIC2.JPG", "pic2.jpg,2000,1234ABCD,Lower-case record\r2002_Sunsets_index"},
        {"PIC3.JPG", "PIC3.JPG  ,3,3,Blanks after the name\r2002_Sunsets_index"},
        {"pic4.jpg", "PIC4.JPG\r2002_Sunsets_index"}, // record without comma
        {"PIC5.JPG", "PIC5.JPG,5,5,First of two in one file\r2002_Sunsets_index"},
        {"LAST.JPG", "Last.JPG,7,7,No line end\r2002_Sunsets_index"},
        {"unix.jpg", "UNIX.JPG,8,8,LF only\rBeaches"},
        {"PIC1.JPG.BAK", "PIC1.JPG.BAK,6,6,Longer name\r2002_Sunsets_index"},
        {"PIC9.JPG", ""}, // only inside a line
        {"IC1.JPG", ""},  // tail of another name
        {"PIC1", ""},     // head of another name
        {"PIC1.JPG,1000", ""},
        {"", ""},
        {"   ", ""},
        {"NOPE.JPG", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(index.csvFindRecord(c.name), QByteArray(c.record)) << c.name;
}

TEST(CsvIndex, SeriesNameLiesBetweenFirstAndLastUnderscore)
{
    const std::pair<const char *, const char *> cases[] = {
        {"2002_Sunsets_index", "Sunsets"},
        {"a_b_c_d", "b_c"},
        {"Beaches", "Beaches"},
        {"one_two", "two"},
        {"_x_", "x"},
        {"a__", ""},
        {"", ""},
    };
    for (const auto &[name, series] : cases)
        EXPECT_EQ(csvSeriesName(name), QByteArray(series)) << name;
}

TEST(CsvIndex, BinaryJunkLoadsAndKeepsLookupsSound)
{
    QByteArray junk;
    for (int i = 0; i < 20000; ++i)
        junk.append(char((i * 131 + (i >> 3)) & 0xFF));
    junk.append("\nREAL.JPG,1,FFFFFFFF,after junk\r\n");
    junk.append(QByteArray("\0\0,\r\r\n,,,\n\n\r", 13));
    CsvIndex index;
    index.addCsvText("junk", junk);
    EXPECT_EQ(index.csvFindRecord("real.jpg"), "REAL.JPG,1,FFFFFFFF,after junk\rjunk");
    EXPECT_EQ(index.csvFindRecord(QByteArray("\0\0", 2)), QByteArray("\0\0,\r\rjunk", 9));
    EXPECT_EQ(index.csvFindRecord("missing"), "");
}

TEST(CsvIndex, ManyNamesAllFoundAfterTableGrowth)
{
    QByteArray text;
    for (int i = 0; i < 5000; ++i)
        text += "P" + QByteArray::number(i) + ".JPG," + QByteArray::number(i) + ",0,d\r\n";
    CsvIndex index;
    index.addCsvText("a_big_b", text);
    for (int i = 0; i < 5000; i += 7) {
        const QByteArray name = "p" + QByteArray::number(i) + ".jpg";
        EXPECT_TRUE(index.csvFindRecord(name).startsWith(name.toUpper() + ',')) << name.constData();
    }
    EXPECT_EQ(index.csvFindRecord("P5000.JPG"), "");
}
