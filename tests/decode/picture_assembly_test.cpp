// Putting a picture together from its parts: what each part must agree with, and that
// nothing but a verified whole picture is filed.
#include "pipeline_test_support.h"

#include "decode/picture_assembly.h"
#include "newsd/multipart_posts.h"
#include "support/file_size_limit.h"

#include <gtest/gtest.h>

#include <functional>

using namespace kestrel;
using namespace kestrel::test;
using newsd::PartEncoding;
using newsd::PartPost;

namespace {

// A BODY reply for the part, dot-stuffed as on the wire.
QByteArray bodyReply(const QByteArray &body)
{
    QByteArray stuffed = body.startsWith('.') ? "." + body : body;
    stuffed.replace("\r\n.", "\r\n..");
    return "222 1 <p@x> body\r\n" + stuffed + ".\r\n";
}

RetrievedPart partOf(const PartPost &post, int total, QByteArray body = {})
{
    RetrievedPart part;
    part.key = "alt/1";
    part.number = post.number;
    part.total = total;
    part.article.buffer = bodyReply(body.isEmpty() ? post.body : body);
    part.article.fileName = "pic.jpg";
    part.article.group = "alt";
    return part;
}

// Replaces `from` by `to` in the yEnc key lines of the body (not in its data).
QByteArray changeKey(QByteArray body, const QByteArray &from, const QByteArray &to)
{
    const qsizetype data = body.indexOf("\r\n", body.indexOf("=ypart"));
    const qsizetype trailer = body.lastIndexOf("=yend");
    const QByteArray head = body.left(data).replace(from, to);
    const QByteArray tail = body.mid(trailer).replace(from, to);
    return head + body.mid(data, trailer - data) + tail;
}

} // namespace

TEST(PictureAssembly, OnlyAWholeVerifiedPictureIsFiled)
{
    const QByteArray picture = jpegPicture(30000);
    const QByteArray crc = " crc32=" + QByteArray::number(crc32Of(picture), 16).rightJustified(8, '0');
    const auto Yenc = PartEncoding::Yenc, Uu = PartEncoding::Uuencode;
    const struct {
        const char *what;
        PartEncoding encoding;
        int changed;           // the part whose key lines change, from 1; -1: every part
        const char *from, *to; // what changes in them
        const char *order;     // the parts handed over, by number
        int droppedAt;         // the number of the part that drops the picture; 0: filed
        const char *line;      // what the log says about it
    } cases[] = {
        {"yEnc, whole", Yenc, 0, "", "", "1234", 0, "Picture pic.jpg assembled from 4 parts, CRC32 verified"},
        {"uuencode, whole", Uu, 0, "", "", "1234", 0, "Picture pic.jpg assembled from 4 parts"},
        {"whole-file crc32 wrong", Yenc, -1, crc.constData(), " crc32=0badf00d", "1234", 4,
         "pic.jpg fails its CRC32 check (trailer 0badf00d"},
        {"part says another number", Yenc, 3, "part=3", "part=4", "1234", 3,
         "Part 3/4 of pic.jpg says it is part 4; picture dropped."},
        {"part says another total", Yenc, 2, "total=4", "total=5", "1234", 2,
         "Part 2/4 of pic.jpg says the picture has 5 parts; picture dropped."},
        {"part gives another size", Yenc, 2, "size=30000", "size=30001", "1234", 2,
         "Part 2/4 of pic.jpg gives size=30001, the parts before it 30000; picture dropped."},
        {"larger than the largest picture", Yenc, -1, "size=30000", "size=104857601", "1234", 1,
         "Part 1/4 of pic.jpg gives size=104857601; picture dropped."},
        {"no size at all", Yenc, -1, " size=30000", "", "1234", 1,
         "Part 1/4 of pic.jpg has no size=; picture dropped."},
        {"part placed elsewhere", Yenc, 2, "begin=7501", "begin=7502", "1234", 2,
         "Part 2/4 of pic.jpg begins at byte 7502, not at 7501; picture dropped."},
        {"end that disagrees with the data", Yenc, 2, "end=15000", "end=15001", "1234", 2,
         "Part 2/4 of pic.jpg ends at byte 15001, its data at 15000 of 30000; picture dropped."},
        {"a part skipped", Yenc, 0, "", "", "13", 3,
         "Part 3/4 of pic.jpg came out of order (part 2 was due); picture dropped."},
        // An empty `from` cuts the first line: the begin line.
        {"uuencode without its begin line", Uu, 1, "", "", "1234", 1,
         "Part 1/4 of pic.jpg holds nothing to decode; picture dropped."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        PipelineWorld w;
        PictureAssembly assembly(w.pipeline);
        const QList<PartPost> posts = newsd::multiPartPosts(picture, "pic.jpg", 4, c.encoding);
        ASSERT_EQ(posts.size(), 4);
        for (const char *o = c.order; *o; ++o) {
            const int k = *o - '0';
            const PartPost &post = posts[k - 1];
            QByteArray body = post.body;
            if (c.changed == k || c.changed < 0)
                body = *c.from ? changeKey(body, c.from, c.to) : body.mid(body.indexOf('\n') + 1);
            const PartOutcome out = assembly.partRetrieved(partOf(post, 4, body));
            const PartResult expected = k == c.droppedAt ? PartResult::Dropped
                                        : k == 4         ? PartResult::Finished
                                                         : PartResult::Waiting;
            EXPECT_EQ(out.result, expected) << k;
            if (k == c.droppedAt)
                break;
        }
        EXPECT_FALSE(w.logged.filter(QString::fromLatin1(c.line)).isEmpty())
            << w.logged.join('\n').toStdString();
        EXPECT_EQ(assembly.inProgress(), 0);
        EXPECT_EQ(QDir(PictureAssembly::workFolder(w.dl + u'/')).entryList(QDir::Files | QDir::Hidden),
                  QStringList());
        const QStringList expectedFiles = c.droppedAt ? QStringList() : QStringList{"alt/pic.jpg"};
        EXPECT_EQ(w.files(), expectedFiles);
        if (!c.droppedAt) {
            EXPECT_EQ(w.read("alt/pic.jpg"), picture);
        }
        EXPECT_EQ(w.noRedl.contains("pic.jpg"), !c.droppedAt);
    }
}

// A part the disk will not take, a picture given up halfway, one still unfinished when
// the program ends and one left by a run that could not clean up: no work file stays
// behind, and nothing is filed or recorded.
TEST(PictureAssembly, WorkFilesNeverOutliveTheirPicture)
{
    const QByteArray picture = jpegPicture(60000);
    const QList<PartPost> posts = newsd::multiPartPosts(picture, "pic.jpg", 3, PartEncoding::Yenc);
    ASSERT_EQ(posts.size(), 3);
    const struct {
        const char *what;
        std::function<void(PictureAssembly &)> afterFirstPart;
    } cases[] = {
        {"disk refuses the second part",
         [&](PictureAssembly &a) {
             const FileSizeLimit full(30000);
             EXPECT_EQ(a.partRetrieved(partOf(posts[1], 3)).result, PartResult::NotStored);
         }},
        {"picture abandoned", [](PictureAssembly &a) { a.abandon("alt/1"); }},
        {"program ends", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        PipelineWorld w;
        const QString work = PictureAssembly::workFolder(w.dl + u'/');
        QDir().mkpath(work);
        w.dir.write(QStringLiteral("dl/.kestrel-parts/left-over.part"), "stale");
        {
            PictureAssembly assembly(w.pipeline);
            EXPECT_EQ(assembly.partRetrieved(partOf(posts[0], 3)).result, PartResult::Waiting);
            EXPECT_EQ(QDir(work).entryList(QDir::Files).size(), 1);
            if (c.afterFirstPart) {
                c.afterFirstPart(assembly);
                EXPECT_EQ(assembly.inProgress(), 0);
            }
        }
        EXPECT_EQ(w.files(), QStringList());
        EXPECT_EQ(QDir(work).entryList(QDir::Files | QDir::Hidden), QStringList());
        EXPECT_FALSE(w.noRedl.contains("pic.jpg"));
    }
}
