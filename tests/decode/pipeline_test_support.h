#pragma once

#include "codecs_test_support.h"

#include "base/context.h"
#include "decode/csv_index.h"
#include "decode/decode_pipeline.h"
#include "engine/list_adapters.h"
#include "scan/noredl_list.h"
#include "support/temp_program_folder.h"

#include <QDir>
#include <QDirIterator>
#include <QStringList>

namespace kestrel::test {

inline QByteArray uuencode(const QByteArray &data, const QByteArray &name)
{
    auto enc = [](int v) { return char(v ? v + 32 : '`'); };
    QByteArray out = "begin 644 " + name + "\r\n";
    for (qsizetype i = 0; i < data.size(); i += 45) {
        const QByteArray chunk = data.mid(i, 45) + QByteArray(2, '\0');
        out += enc(int(std::min<qsizetype>(45, data.size() - i)));
        for (qsizetype j = 0; j + 2 < chunk.size(); j += 3) {
            const int v = quint8(chunk[j]) << 16 | quint8(chunk[j + 1]) << 8 | quint8(chunk[j + 2]);
            const char quad[4] = {enc(v >> 18 & 63), enc(v >> 12 & 63), enc(v >> 6 & 63), enc(v & 63)};
            out.append(quad, 4);
        }
        out += "\r\n";
    }
    return out + "`\r\nend\r\n";
}

// An ARTICLE reply as the download connection collects it (headers included).
inline QByteArray articleReply(const QByteArray &body, const QByteArray &subject = "pic")
{
    return "220 1 <a@b> article\r\nFrom: x@example.invalid\r\nSubject: " + subject + "\r\n\r\n" + body +
           ".\r\n";
}

inline QByteArray yencBody(const QByteArray &data, bool goodCrc = true)
{
    QByteArray a = yencArticle({data});
    a = a.mid(a.indexOf("\r\n\r\n") + 4);
    if (!goodCrc) {
        const auto hex = [](quint32 v) { return QByteArray::number(v, 16).rightJustified(8, '0'); };
        a.replace("crc32=" + hex(crc32Of(data)), "crc32=" + hex(crc32Of(data) ^ 1));
    }
    return a;
}

// A program folder with a download folder "dl", sound files, a pipeline, and a record
// of every logged line.
struct PipelineWorld {
    TempProgramFolder dir;
    ManualClock clock;
    Context ctx{dir.path(), &clock};
    NoRedlList noRedl{ctx};
    CsvIndex csv;
    NoRedlFetchedNames fetched{noRedl};
    DecodePipeline pipeline{ctx, fetched, &csv};
    QStringList logged;
    QString dl = dir.file(QStringLiteral("dl"));

    PipelineWorld()
    {
        QDir(dir.path()).mkpath(QStringLiteral("dl"));
        QDir(dir.path()).mkpath(QStringLiteral("sfx"));
        dir.write(QStringLiteral("sfx/decode.wav"), "RIFF");
        dir.write(QStringLiteral("sfx/badcode.wav"), "RIFF");
        ctx.settings.setText(u"lblDownloadPath", dl + QLatin1Char('/'));
        QObject::connect(&ctx.log, &OperationsLog::logged,
                         [this](const QString &, const QString &m) { logged << m; });
    }
    // Files left under the download folder, relative and sorted.
    QStringList files() const
    {
        QStringList found;
        QDirIterator it(dl, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next().mid(dl.size() + 1);
        found.sort();
        return found;
    }
    QByteArray read(const QString &relative) const { return dir.read(QStringLiteral("dl/") + relative); }
    QString sound() const { return ctx.sound.lastPlayed(); }
};

} // namespace kestrel::test
