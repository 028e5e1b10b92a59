#include "circle/rescan_countdown.h"

#include "base/context.h"
#include "base/number_text.h"

namespace kestrel {

RescanCountdown::RescanCountdown(Context &ctx, std::function<void()> connectScan, QObject *parent)
    : QObject(parent), m_ctx(ctx), m_connectScan(std::move(connectScan))
{
    m_timer1.setInterval(1000);
    connect(&m_timer1, &QTimer::timeout, this, &RescanCountdown::tick);
}

void RescanCountdown::arm(int seconds)
{
    m_ctx.state.RescanArmed = true;
    m_ctx.state.RescanCountdown = seconds;
    m_timer1.start();
}

void RescanCountdown::tick()
{
    AppState &s = m_ctx.state;
    if (!s.RescanArmed) {
        m_timer1.stop();
        m_ctx.WriteLog(QStringLiteral("Re-scan countdown cancelled by user."), true);
        return;
    }
    if (s.RescanCountdown <= 0)
        return;
    --s.RescanCountdown;
    if (s.RescanCountdown > 0) {
        m_ctx.WriteLog(QStringLiteral("Rescan in") + numText(s.RescanCountdown) +
                           QStringLiteral(" seconds (hit X to abort)"),
                       false);
    } else {
        m_ctx.WriteLog(QStringLiteral("Rescan initiated"), false);
        m_timer1.stop();
        m_connectScan();
    }
    if (s.RescanCountdown >= 1 && s.RescanCountdown <= 10)
        m_ctx.PlaySfx(QString::number(s.RescanCountdown) + QStringLiteral(".wav"));
}

} // namespace kestrel
