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
    const struct {
        const char *what;
        PartEncoding encoding;
        // Changes the body of part k (from 1) as it reaches the assembly.
        std::function<QByteArray(int k, const QByteArray &body)> change;
        QList<int> order; // the parts handed over, by number
        int droppedAt;    // the number of the part that drops the picture; 0: filed
        const char *line; // what the log says about it
    } cases[] = {
        {"yEnc, whole",
         PartEncoding::Yenc,
         nullptr,
         {1, 2, 3, 4},
         0,
         "Picture pic.jpg assembled from 4 parts, CRC32 verified"},
        {"uuencode, whole",
         PartEncoding::Uuencode,
         nullptr,
         {1, 2, 3, 4},
         0,
         "Picture pic.jpg assembled from 4 parts"},
        {"whole-file crc32 wrong",
         PartEncoding::Yenc,
         [&](int, const QByteArray &b) {
             const QByteArray crc = QByteArray::number(crc32Of(picture), 16).rightJustified(8, '0');
             return changeKey(b, " crc32=" + crc, " crc32=0badf00d");
         },
         {1, 2, 3, 4},
         4,
         "pic.jpg fails its CRC32 check (trailer 0badf00d"},
        {"part says another number",
         PartEncoding::Yenc,
         [](int k, const QByteArray &b) { return k == 3 ? changeKey(b, "part=3", "part=4") : b; },
         {1, 2, 3, 4},
         3,
         "Part 3/4 of pic.jpg says it is part 4; picture dropped."},
        {"part says another total",
         PartEncoding::Yenc,
         [](int k, const QByteArray &b) { return k == 2 ? changeKey(b, "total=4", "total=5") : b; },
         {1, 2, 3, 4},
         2,
         "Part 2/4 of pic.jpg says the picture has 5 parts; picture dropped."},
        {"part gives another size",
         PartEncoding::Yenc,
         [](int k, const QByteArray &b) { return k == 2 ? changeKey(b, "size=30000", "size=30001") : b; },
         {1, 2, 3, 4},
         2,
         "Part 2/4 of pic.jpg gives size=30001, the parts before it 30000; picture dropped."},
        {"larger than the largest picture",
         PartEncoding::Yenc,
         [](int, const QByteArray &b) { return changeKey(b, "size=30000", "size=104857601"); },
         {1, 2, 3, 4},
         1,
         "Part 1/4 of pic.jpg gives size=104857601; picture dropped."},
        {"no size at all",
         PartEncoding::Yenc,
         [](int, const QByteArray &b) { return changeKey(b, " size=30000", ""); },
         {1, 2, 3, 4},
         1,
         "Part 1/4 of pic.jpg has no size=; picture dropped."},
        {"part placed elsewhere",
         PartEncoding::Yenc,
         [](int k, const QByteArray &b) { return k == 2 ? changeKey(b, "begin=7501", "begin=7502") : b; },
         {1, 2, 3, 4},
         2,
         "Part 2/4 of pic.jpg begins at byte 7502, not at 7501; picture dropped."},
        {"end that disagrees with the data",
         PartEncoding::Yenc,
         [](int k, const QByteArray &b) { return k == 2 ? changeKey(b, "end=15000", "end=15001") : b; },
         {1, 2, 3, 4},
         2,
         "Part 2/4 of pic.jpg ends at byte 15001, its data at 15000 of 30000; picture dropped."},
        {"a part skipped",
         PartEncoding::Yenc,
         nullptr,
         {1, 3},
         3,
         "Part 3/4 of pic.jpg came out of order (part 2 was due); picture dropped."},
        {"uuencode without its begin line",
         PartEncoding::Uuencode,
         [](int k, const QByteArray &b) { return k == 1 ? b.mid(b.indexOf('\n') + 1) : b; },
         {1, 2, 3, 4},
         1,
         "Part 1/4 of pic.jpg holds nothing to decode; picture dropped."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        PipelineWorld w;
        PictureAssembly assembly(w.pipeline);
        const QList<PartPost> posts = newsd::multiPartPosts(picture, "pic.jpg", 4, c.encoding);
        ASSERT_EQ(posts.size(), 4);
        for (const int k : c.order) {
            const PartPost &post = posts[k - 1];
            const PartOutcome out =
                assembly.partRetrieved(partOf(post, 4, c.change ? c.change(k, post.body) : QByteArray()));
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
