#include "circle/rescan_countdown.h"

#include "base/context.h"
#include "base/number_text.h"

namespace kestrel {

RescanCountdown::RescanCountdown(Context &ctx, std::function<void()> connectScan, QObject *parent)
    : QObject(parent), m_ctx(ctx), m_connectScan(std::move(connectScan))
{
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &RescanCountdown::tick);
}

void RescanCountdown::arm(int seconds)
{
    m_ctx.state.rescanArmed = true;
    m_ctx.state.rescanCountdown = seconds;
    m_timer.start();
}

void RescanCountdown::tick()
{
    AppState &s = m_ctx.state;
    if (!s.rescanArmed) {
        m_timer.stop();
        m_ctx.writeLog(QStringLiteral("Re-scan countdown cancelled by user."), true);
        return;
    }
    if (s.rescanCountdown <= 0)
        return;
    --s.rescanCountdown;
    if (s.rescanCountdown > 0) {
        m_ctx.writeLog(QStringLiteral("Rescan in") + numText(s.rescanCountdown) +
                           QStringLiteral(" seconds (hit X to abort)"),
                       false);
    } else {
        m_ctx.writeLog(QStringLiteral("Rescan initiated"), false);
        m_timer.stop();
        m_connectScan();
    }
    if (s.rescanCountdown >= 1 && s.rescanCountdown <= 10)
        m_ctx.playSfx(QString::number(s.rescanCountdown) + QStringLiteral(".wav"));
}

} // namespace kestrel
