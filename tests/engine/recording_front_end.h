#pragma once

#include "base/context.h"
#include "base/front_end.h"
#include "base/ini_file.h"

#include <QFileInfo>
#include <QStringList>

namespace kestrel::test {

// A front end that records what the sequences ask of it, and which program files
// exist at each step, so tests can check the order of effects.
class RecordingFrontEnd final : public FrontEnd {
public:
    explicit RecordingFrontEnd(Context &ctx) : m_ctx(ctx) {}

    mutable QStringList calls; // const getters record too
    QList<int> progress;
    PlacementNow placement{0, 100, 200, 9465, 6180};
    std::array<int, 8> widths{61, 20, 151, 41, 41, 41, 61, 21};
    std::array<int, 8> createdWidths{};
    WindowPlacement applied;

    void showWait() override { calls << "showWait"; }
    void setWaitMaximum(int) override {}
    void setWaitProgress(int v) override { progress << v; }
    void setWaitMessage(const QString &) override {}
    bool waitAbortRequested() const override { return false; }
    void createMainWindow() override
    {
        calls << "createMainWindow";
        m_ctx.playSfx(QStringLiteral("startup.wav"));
    }
    void applyPlacement(const WindowPlacement &p) override
    {
        calls << "applyPlacement";
        applied = p;
    }
    void createColumns(const std::array<int, 8> &w) override
    {
        calls << "createColumns";
        createdWidths = w;
    }
    void showMainWindow() override { calls << "showMainWindow"; }
    PlacementNow currentPlacement() const override
    {
        calls << "currentPlacement" + existing();
        return placement;
    }
    std::array<int, 8> columnWidths() const override { return widths; }
    void hideMainWindow() override { calls << "hideMainWindow" + existing(); }

private:
    // Whether the settings file exists yet and holds the window placement:
    // ":KESTREL.INI(no Sizing)", ":KESTREL.INI(Sizing)" or nothing.
    QString existing() const
    {
        const QString path = m_ctx.state.file(QStringLiteral("KESTREL.INI"));
        if (!QFileInfo::exists(path))
            return {};
        return IniFile(path).read("Sizing", "WindowState").isEmpty() ? ":KESTREL.INI(no Sizing)"
                                                                     : ":KESTREL.INI(Sizing)";
    }

    Context &m_ctx;
};

} // namespace kestrel::test
