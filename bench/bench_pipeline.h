#pragma once

// The decode pipeline as the engine wires it, over a download folder of its own.
#include "base/context.h"
#include "decode/csv_index.h"
#include "decode/decode_pipeline.h"
#include "engine/list_adapters.h"
#include "scan/noredl_list.h"

#include <QDir>
#include <QTemporaryDir>

namespace kestrel::bench {

struct BenchPipeline {
    QTemporaryDir dir;
    Context ctx{dir.path()};
    NoRedlList noRedl{ctx};
    CsvIndex csv;
    NoRedlFetchedNames fetched{noRedl};
    DecodePipeline pipeline{ctx, fetched, &csv};
    QString dl = dir.path() + QStringLiteral("/dl");

    BenchPipeline()
    {
        QDir().mkpath(dl);
        ctx.settings.setText(u"lblDownloadPath", dl);
    }
};

} // namespace kestrel::bench
