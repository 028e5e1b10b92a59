// The download session's side of an asynchronous article sink: the articles it took
// and the results it reports for them, in the order they were handed over.
#include "circle/download_session.h"

#include "circle/session_state.h"

#include "base/context.h"

#include <algorithm>

namespace kestrel {

// The articles the sink took count among the unanswered ones: they are given up by the
// sink and go back on the list with the rest, in list order. Whatever of them was
// filed already is no longer among them, so none is filed twice.
void DownloadSession::takeBackHandedOver(std::vector<InFlight> &back)
{
    if (m_handedOver.empty())
        return;
    m_sink.dropTaken();
    for (InFlight &article : m_handedOver)
        if (!article.discard)
            back.push_back(std::move(article));
    m_handedOver.clear();
}

// The parts of a picture that went back on the list or was dropped may still wait in
// the sink: it neither files nor keeps them, and their reports end nothing here.
void DownloadSession::forgetHandedOver(qint64 order)
{
    for (InFlight &article : m_handedOver)
        if (article.order == order)
            article.discard = true;
}

void DownloadSession::articleFiled(SinkResult result)
{
    if (m_handedOver.empty())
        return;
    const bool forgotten = m_handedOver.front().discard;
    if (!forgotten && result == SinkResult::NotStored) {
        // It stays first among the handed-over ones, so it goes back ahead of them.
        articleNotStored();
        return;
    }
    if (!forgotten && result == SinkResult::NoFolder) {
        abortDownload();
        return;
    }
    const InFlight filed = std::move(m_handedOver.front());
    m_handedOver.pop_front();
    if (!forgotten && result == SinkResult::PictureDropped)
        pictureDroppedLater(filed);
    if (m_showRunTotals)
        showRunProgress(true);
    updateInHand();
    // Every connection ran out of work while this article was being filed: the run
    // ends with it, as it would have with the last answer.
    if (m_state.downloadBusy && !anyInFlight() && nextEntry() < 0)
        endRun();
}

// A part failed its checks when its turn came to be filed, while the connection that
// fetched it went on: the rest of the picture goes as on an answer at once, and the
// requests it leaves room for go out.
void DownloadSession::pictureDroppedLater(const InFlight &part)
{
    DownloadLane *holder = nullptr;
    for (DownloadLane &lane : m_lanes)
        if (std::any_of(lane.window.begin(), lane.window.end(),
                        [&](const InFlight &a) { return a.order == part.order; }))
            holder = &lane;
    dropRestOfPicture(part);
    if (!holder || !m_state.downloadBusy || holder->awaiting != DownloadLane::Awaiting::Nothing)
        return;
    if (holder->window.empty()) {
        updateInHand();
        advance(*holder);
    } else {
        fillWindow(*holder, false);
    }
}

void DownloadSession::sinkWorking()
{
    for (DownloadLane &lane : m_lanes)
        if (lane.inRun)
            touchConnection(lane);
}

} // namespace kestrel
