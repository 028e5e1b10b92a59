#include "ui_fixture.h"

#include "ui/add_group_dialog.h"

#include "scan/favourites.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

using namespace kestrel;
using kestrel::test::UiFixture;

namespace {

struct AddGroupDialogTest : UiFixture {
    FavouritesModel favs{ctx};
};

TEST_F(AddGroupDialogTest, TypedNameIsAddedSavedAndClosesOnlyWhenNotBlank)
{
    AddGroupDialog dialog(ctx, favs);
    dialog.show();
    auto *name = child<QLineEdit>(dialog, "Text1");
    for (const char *blank : {"", "   "}) {
        name->setText(QString::fromLatin1(blank));
        child<QPushButton>(dialog, "cmdOK")->click();
        EXPECT_TRUE(dialog.isVisible());
    }
    EXPECT_EQ(favs.rowCount(), 0);
    name->setText(QStringLiteral("alt.binaries.test"));
    child<QPushButton>(dialog, "cmdOK")->click();
    EXPECT_FALSE(dialog.isVisible());
    ASSERT_EQ(favs.rowCount(), 1);
    EXPECT_EQ(favs.row(0).name, QByteArray("alt.binaries.test"));
    FavouritesModel reloaded(ctx);
    reloaded.loadFavs();
    EXPECT_EQ(reloaded.rowCount(), 1) << "saved at once";
}

TEST_F(AddGroupDialogTest, GroupFileButtonOnlyWhenTheFileExistsInAnyCase)
{
    AddGroupDialog without(ctx, favs);
    EXPECT_TRUE(child<QPushButton>(without, "cmdAdd")->isHidden());
    dir.write(QStringLiteral("NewsGrps.TXT"), "alt.test\n");
    AddGroupDialog with(ctx, favs);
    EXPECT_FALSE(child<QPushButton>(with, "cmdAdd")->isHidden());
    QSignalSpy picker(&with, &AddGroupDialog::groupFilePickerWanted);
    QSignalSpy manager(&with, &AddGroupDialog::groupManagerWanted);
    child<QPushButton>(with, "cmdAdd")->click();
    child<QPushButton>(with, "cmdGrM")->click();
    EXPECT_EQ(picker.count(), 1);
    EXPECT_EQ(manager.count(), 1);
}

} // namespace
