// A prepared article's picture is tested and CRC-checked from the bytes decoded in
// memory; the verdicts, log lines and files must be those of the checks that read the
// written file back.
#include "pipeline_test_support.h"

#include "decode/prepared_article.h"

#include <gtest/gtest.h>

#include <optional>

using namespace kestrel;
using namespace kestrel::test;

namespace {

enum class Csv { None, Right, Wrong };

struct Filed {
    DecodeResult result = DecodeResult::Nothing;
    QStringList log;
    QStringList files;
};

QByteArray patched(QByteArray p, qsizetype at, const QByteArray &bytes)
{
    p.replace(at, bytes.size(), bytes);
    return p;
}

Filed fileOnce(const QByteArray &article, const QByteArray &name, Csv csv, bool prepared)
{
    PipelineWorld w;
    w.ctx.settings.setChecked(u"chkSaveDecodes", true);
    w.ctx.settings.setChecked(u"chkCSVsavebadcrc", true);
    if (csv != Csv::None) {
        const QByteArray crc = csv == Csv::Right ? "&H" + QByteArray::number(crc32Of(jpegPicture(4000)), 16)
                                                 : QByteArray("&H1234");
        w.csv.addCsvText("series_index", name.toUpper() + ",1," + crc + ",A picture\r\n");
        w.csv.setCsvLoaded(true);
        w.ctx.state.currentArticle.smallIcon = 3;
    }
    std::optional<PreparedArticle> p;
    if (prepared)
        p = prepareArticle(article, true);
    Filed f;
    f.result = w.pipeline.decodeArticle(article, "alt", name, {}, HeaderLines::Present, p ? &*p : nullptr);
    for (const QString &line : std::as_const(w.logged))
        f.log << QString(line).replace(w.dl, QStringLiteral("<dl>"));
    for (const QString &file : w.files())
        f.files << file + QLatin1Char(' ') + QString::fromLatin1(w.read(file).toHex());
    return f;
}

} // namespace

TEST(PreparedArticleChecks, GiveTheVerdictsOfTheWrittenFile)
{
    const QByteArray good = jpegPicture(4000);
    const struct {
        const char *what;
        QByteArray picture;
        QByteArray name;
        Csv csv;
        DecodeResult expected;
    } cases[] = {
        {"passes", good, "pic.jpg", Csv::None, DecodeResult::Stored},
        {"no ident", patched(good, 6, "JFIX"), "pic.jpg", Csv::None, DecodeResult::TestFailed},
        {"no end of image", patched(good, 3998, "xx"), "pic.jpg", Csv::None, DecodeResult::Stored},
        {"no frame", patched(good, 20, "xx"), "pic.jpg", Csv::None, DecodeResult::Stored},
        {"over 300k", jpegPicture(300001), "pic.jpg", Csv::None, DecodeResult::Stored},
        {"gif by name, not tested", patched(good, 6, "JFIX"), "pic.gif", Csv::None, DecodeResult::Stored},
        {"csv crc right", good, "pic.jpg", Csv::Right, DecodeResult::VerifiedMoved},
        {"csv crc wrong", good, "pic.jpg", Csv::Wrong, DecodeResult::CrcFailedKept},
        {"csv crc of another picture", patched(good, 100, "y"), "pic.jpg", Csv::Right,
         DecodeResult::CrcFailedKept},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        for (const QByteArray &body : {yencBody(c.picture), uuencode(c.picture, c.name)}) {
            const QByteArray article = articleReply(body);
            const Filed here = fileOnce(article, c.name, c.csv, false);
            const Filed there = fileOnce(article, c.name, c.csv, true);
            EXPECT_EQ(here.result, c.expected);
            EXPECT_EQ(there.result, here.result);
            EXPECT_EQ(there.log, here.log) << here.log.join('\n').toStdString();
            EXPECT_EQ(there.files, here.files);
        }
    }
}
