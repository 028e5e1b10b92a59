#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace kestrel {

class Context;
class FavouritesModel;

// "Add a newsgroup" window: the "&Add" button. Adds the text as typed unless it is
// blank or already a favourite, then saves the favourites; true when the window closes.
bool addTypedGroup(FavouritesModel &favourites, const QString &text);

// Whether the older picker's button is shown: NEWSGRPS.TXT in the program folder, in
// any letter case.
bool newsgroupsFileExists(const Context &ctx);

// The older picker over NEWSGRPS.TXT: the names of its lines (up to the first blank).
class NewsgroupsPicker {
public:
    explicit NewsgroupsPicker(Context &ctx) : m_ctx(ctx) {}

    // Reads NEWSGRPS.TXT, creating it empty (with a message) when it is missing.
    void load();
    const QList<QByteArray> &names() const { return m_names; }

    // "Search:": the first entry after current whose name contains the trimmed text;
    // -1 (and a message) when there is none.
    int searchNext(int current, const QString &text) const;

    // "&Add Selections": each selected entry, in list order, becomes a favourite unless
    // a favourite of that exact name exists; the favourites are saved once.
    void addSelections(FavouritesModel &favourites, const QList<int> &selected) const;

private:
    Context &m_ctx;
    QList<QByteArray> m_names;
};

} // namespace kestrel
