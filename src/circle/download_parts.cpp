// The download session's side of pictures posted in several articles: a picture is
// taken, asked for and given up whole, one request per part.
#include "circle/download_session.h"

#include "circle/article_sink.h"

#include "base/context.h"
#include "base/number_text.h"
#include "nntp/reply_reader.h"

#include <algorithm>

namespace kestrel {

void DownloadSession::describePart(CapturedArticle &article, const InFlight &item)
{
    if (!item.isPart())
        return;
    article.partNumber = item.pendingPart().number;
    article.partTotal = item.entry.parts.total;
    article.entry = item.entry;
}

// The head article is dropped; a part takes its whole picture with it.
void DownloadSession::dropHead(DownloadLane &lane)
{
    const InFlight head = std::move(lane.window.front());
    lane.window.pop_front();
    if (head.isPart() && !head.discard)
        dropRestOfPicture(head);
}

// The picture of `part` will not be finished: its parts not yet asked for are not
// asked, the ones on their way are read and thrown away, the ones handed to the sink
// and not yet filed are not filed, and whatever the sink made of the earlier ones goes.
void DownloadSession::dropRestOfPicture(const InFlight &part)
{
    if (!part.isPart())
        return;
    for (DownloadLane &lane : m_lanes) {
        std::erase_if(lane.window, [&](const InFlight &a) { return a.order == part.order && !a.requested; });
        for (InFlight &a : lane.window)
            if (a.order == part.order)
                a.discard = true;
    }
    forgetHandedOver(part.order);
    m_failedAttempts.remove(part.entry.articleKey());
    m_sink.pictureAbandoned(part.entry);
}

// The answer to a part of a picture dropped meanwhile: read, thrown away, and the run
// goes on.
bool DownloadSession::discardAnswer(DownloadLane &lane)
{
    if (!lane.window.front().discard)
        return false;
    lane.window.pop_front();
    if (!lane.window.empty())
        holdHead(lane);
    updateInHand();
    advance(lane);
    return true;
}

// A part the server no longer has: the picture cannot be whole, so it goes. Its name
// stays off the no-re-download list, as a repost may be whole.
void DownloadSession::partRefused(DownloadLane &lane, const NntpReply &reply)
{
    const InFlight &head = lane.window.front();
    m_ctx.writeLog(QStringLiteral("Part") + numText(head.pendingPart().number) + QLatin1Char('/') +
                       QString::number(head.entry.parts.total) + QStringLiteral(" of ") +
                       displayText(head.entry.text) + QStringLiteral(" not available: ") +
                       displayText(reply.statusLine().toByteArray()) + QStringLiteral("; picture dropped."),
                   true);
}

} // namespace kestrel
