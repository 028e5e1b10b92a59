#include "app/service_loop.h"

#include "base/context.h"
#include "base/number_text.h"
#include "circle/circle.h"
#include "circle/rescan_countdown.h"

namespace kestrel {

namespace {
constexpr int kSecondsWithoutRescan = 90;
}

ServiceLoop::ServiceLoop(Context &ctx, Circle &circle, QObject *parent)
    : QObject(parent), m_ctx(ctx), m_circle(circle)
{
    // Queued: the stop is reported from inside the handler that ended the run (even
    // from inside the countdown's own tick); the countdown is armed once that is over.
    connect(&circle, &Circle::wouldWait, this, &ServiceLoop::onWouldWait, Qt::QueuedConnection);
}

void ServiceLoop::start()
{
    QMetaObject::invokeMethod(
        this, [this] { m_circle.connectScan(); }, Qt::QueuedConnection);
}

int ServiceLoop::secondsToNextScan() const
{
    const SettingsStore &settings = m_ctx.settings;
    return settings.checked(u"chkReScan") ? settings.slider(u"sldRescan") : kSecondsWithoutRescan;
}

void ServiceLoop::onWouldWait(bool error)
{
    RescanCountdown &countdown = m_circle.countdown();
    // A run that ended with new headers, or an emergency reconnect, has armed it already.
    if (countdown.running())
        return;
    const int seconds = secondsToNextScan();
    countdown.arm(seconds);
    if (error)
        m_ctx.writeLog(QStringLiteral("The run ended on an error; trying again in") + numText(seconds) +
                           QStringLiteral(" seconds."),
                       true);
    else
        m_ctx.writeLog(QStringLiteral("Rescan in") + numText(seconds) + QStringLiteral(" seconds."), true);
}

} // namespace kestrel
