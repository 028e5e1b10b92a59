#pragma once

#include "scan/blacklist.h"
#include "scan/dupe_paths.h"
#include "scan/noredl_list.h"
#include "scan/pending_list_model.h"

#include "base/context.h"
#include "support/temp_program_folder.h"

#include <QDir>

#include <gtest/gtest.h>

namespace kestrel::test {

// A program folder with the lists and the pending list of one engine.
struct ScanWorld {
    TempProgramFolder folder;
    ManualClock clock{QDateTime(QDate(2026, 3, 1), QTime(10, 30, 0))};
    RecordingPrompter prompter;
    Context ctx{folder.path(), &clock, &prompter};
    NoRedlList noRedl{ctx};
    Blacklist blacklist{ctx};
    DupePaths dupePaths{ctx};
    PendingListModel pending{ctx, noRedl, blacklist};

    ScanWorld() { ctx.settings.setChecked(u"chkEnableLogging", true); }

    // Sounds are recorded, never played.
    void enableSounds()
    {
        QDir(folder.path()).mkpath(QStringLiteral("sfx"));
        for (const char *f : {"added.wav", "spam.wav", "other.wav"})
            folder.write(QStringLiteral("sfx/") + QLatin1String(f), "RIFF");
        ctx.settings.setChecked(u"chkSFX", true);
    }

    // A queued entry with the given text and subject.
    void addQueued(const QByteArray &name, const QByteArray &subject = "subject")
    {
        pending.addArticleHeader("a@b.c", subject, "org", "1", "100", "host", 1, false, {}, false, false,
                                 name, "alt.test");
    }
    void addGhosted(const QByteArray &label, const QByteArray &subject)
    {
        pending.addArticleHeader("a@b.c", subject, "org", "1", "100", "host", 1, true, label, false, false,
                                 {}, "alt.test");
    }
    QList<QByteArray> texts() const
    {
        QList<QByteArray> out;
        for (int i = 0; i < pending.count(); ++i)
            out.append(pending.entry(i).text);
        return out;
    }
};

} // namespace kestrel::test
