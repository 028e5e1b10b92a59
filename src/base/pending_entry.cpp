#include "base/pending_entry.h"

namespace kestrel {

namespace {

// Zero padding keeps the shown numbers in order when the list sorts them as text.
constexpr int kLinesDigits = 5;
constexpr int kCrosspostDigits = 2;

} // namespace

const QByteArray *PendingSubItems::textField(PendingColumn column) const
{
    switch (column) {
    case ColSubject:
        return &subject;
    case ColOrganization:
        return &organization;
    case ColPostingHost:
        return &postingHost;
    case ColEmail:
        return &email;
    case ColNewsgroup:
        return &newsgroup;
    case ColLines:
    case ColXposts:
    case PendingSubItemCount:
        break;
    }
    return nullptr;
}

QByteArray PendingSubItems::text(PendingColumn column) const
{
    if (const QByteArray *field = textField(column))
        return *field;
    if (column == ColLines)
        return lines.text(kLinesDigits);
    return column == ColXposts ? crossposts.text(kCrosspostDigits) : QByteArray();
}

QByteArrayView PendingSubItems::textView(PendingColumn column, NumberBuffer &buf) const
{
    if (const QByteArray *field = textField(column))
        return *field;
    if (column == ColLines)
        return lines.textView(buf, kLinesDigits);
    return column == ColXposts ? crossposts.textView(buf, kCrosspostDigits) : QByteArrayView();
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
