#include "base/pending_entry.h"

namespace kestrel {

namespace {

// Zero padding keeps the shown numbers in order when the list sorts them as text.
constexpr int kLinesDigits = 5;
constexpr int kCrosspostDigits = 2;

} // namespace

QByteArray PendingSubItems::text(PendingColumn column) const
{
    switch (column) {
    case ColLines:
        return lines.text(kLinesDigits);
    case ColSubject:
        return subject;
    case ColOrganization:
        return organization;
    case ColPostingHost:
        return postingHost;
    case ColEmail:
        return email;
    case ColNewsgroup:
        return newsgroup;
    case ColXposts:
        return crossposts.text(kCrosspostDigits);
    case PendingSubItemCount:
        break;
    }
    return {};
}

void PendingSubItems::setText(PendingColumn column, const QByteArray &text)
{
    switch (column) {
    case ColLines:
        lines = ListNumber::fromText(text, kLinesDigits);
        break;
    case ColSubject:
        subject = text;
        break;
    case ColOrganization:
        organization = text;
        break;
    case ColPostingHost:
        postingHost = text;
        break;
    case ColEmail:
        email = text;
        break;
    case ColNewsgroup:
        newsgroup = text;
        break;
    case ColXposts:
        crossposts = ListNumber::fromText(text, kCrosspostDigits);
        break;
    case PendingSubItemCount:
        break;
    }
}

} // namespace kestrel
