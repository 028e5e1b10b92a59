#include "app/demo_setup.h"
#include "newsd/sample_store.h"
#include "nntp/nntp_test_client.h"

#include <QDir>
#include <gtest/gtest.h>

using kestrel::DemoSetup;
using kestrel::newsd::MultiPartSample;
using kestrel::newsd::PartEncoding;

// The server the demo talks to lists every part of its multi-part pictures in the
// overview of its group, within the group's range.
TEST(DemoSetup, SampleServerPostsPicturesInSeveralParts)
{
    DemoSetup demo;
    ASSERT_TRUE(demo.start()) << demo.error().toStdString();
    const QByteArray group = DemoSetup::group();
    kestrel::test::NntpTestClient client(demo.port());
    ASSERT_TRUE(client.read());
    const QByteArrayList status = client.status("GROUP " + group).split(' ');
    ASSERT_EQ(status.size(), 5);
    const auto over = client.command("XOVER " + status[2] + '-' + status[3]);
    ASSERT_TRUE(over);
    const QByteArrayList lines = over->block().toByteArray().split('\n');

    ASSERT_NE(demo.samples(), nullptr);
    const QList<MultiPartSample> samples = demo.samples()->multiPartSamples(group);
    EXPECT_GE(samples.size(), 3);
    int uuencoded = 0;
    for (const MultiPartSample &sample : samples) {
        uuencoded += sample.encoding == PartEncoding::Uuencode;
        const QByteArray of = '/' + QByteArray::number(sample.partNumbers.size()) + ")\t";
        for (qsizetype k = 1; k <= sample.partNumbers.size(); ++k) {
            const QByteArray number = QByteArray::number(sample.partNumbers[k - 1]) + '\t';
            const auto line = std::find_if(lines.begin(), lines.end(),
                                           [&](const QByteArray &l) { return l.startsWith(number); });
            ASSERT_NE(line, lines.end()) << sample.fileName.constData() << " part " << k;
            EXPECT_TRUE(line->contains(sample.fileName)) << line->constData();
            EXPECT_TRUE(line->contains(" (" + QByteArray::number(k) + of)) << line->constData();
        }
    }
    EXPECT_EQ(uuencoded, 1);
    QDir(demo.programFolder()).removeRecursively();
}
