// The download session's side of an asynchronous article sink: the articles it took
// and the results it reports for them, in the order they were handed over.
#include "circle/download_session.h"

#include "circle/session_state.h"

#include "base/context.h"

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
        back.push_back(std::move(article));
    m_handedOver.clear();
}

void DownloadSession::articleFiled(SinkResult result)
{
    if (m_handedOver.empty())
        return;
    switch (result) {
    case SinkResult::NotStored:
        // It stays first among the handed-over ones, so it goes back ahead of them.
        articleNotStored();
        return;
    case SinkResult::NoFolder:
        abortDownload();
        return;
    case SinkResult::Done:
    case SinkResult::PictureDropped:
    case SinkResult::Taken:
        break;
    }
    m_handedOver.pop_front();
    if (m_showRunTotals)
        showRunProgress(true);
    updateInHand();
    // Every connection ran out of work while this article was being filed: the run
    // ends with it, as it would have with the last answer.
    if (m_state.downloadBusy && !anyInFlight() && nextEntry() < 0)
        endRun();
}

void DownloadSession::sinkWorking()
{
    for (DownloadLane &lane : m_lanes)
        if (lane.inRun)
            touchConnection(lane);
}

} // namespace kestrel
