// The source list: the grid, add, edit and delete, and the source dialog with its checks.
#include "UiTestSupport.h"

#include "app/widgets/QtCzechTexts.h"
#include "cabinet/component/CabinetLibrary.h"
#include "cabinet/component/TMakeCab.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class SourceList : public ::testing::Test, public uitest::WindowFixture {
protected:
    uitest::MessageRecorder messages;

    // Adds a source through the dialog: types the texts and presses OK (or Storno).
    void AddThroughDialog(const QString& folder, const QString& mask, bool ok = true) {
        uitest::WhenModal([this, folder, mask, ok](QDialog*) {
            dialog().Edit1->setText(folder);
            dialog().Edit2->setText(mask);
            (ok ? dialog().BitBtn2 : dialog().BitBtn1)->click();
        });
        window().BitBtn4->click();
    }
};

TEST_F(SourceList, GridShowsHeaderAndAtLeastTwentyRows) {
    TfoHlavni& w = NewWindow();
    w.show();
    EXPECT_EQ(w.RowCount(), 20);
    EXPECT_EQ(w.Cells(0, 0), QStringLiteral("Adresář"));
    EXPECT_EQ(w.Cells(1, 0), QStringLiteral("Maska souborů"));
    EXPECT_EQ(w.StringGrid1->columnWidth(0), 245);
    EXPECT_EQ(w.StringGrid1->columnWidth(1), 78);
    EXPECT_EQ(w.StringGrid1->rowHeight(0), 16);
    EXPECT_EQ(w.StringGrid1->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(w.StringGrid1->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(w.Row(), 1);
}

TEST_F(SourceList, TwentyFiveSourcesGiveTwentySixRowsInOrder) {
    TfoHlavni& w = NewWindow();
    for (int i = 0; i < 25; ++i)
        w.Sources.push_back({QStringLiteral("/data/%1").arg(i), QStringLiteral("*.%1").arg(i)});
    w.show();
    EXPECT_EQ(w.RowCount(), 26);
    EXPECT_EQ(w.Cells(0, 1), QStringLiteral("/data/0"));
    EXPECT_EQ(w.Cells(0, 25), QStringLiteral("/data/24"));
    EXPECT_EQ(w.Cells(1, 25), QStringLiteral("*.24"));
    // The last one can be scrolled into view.
    w.SetRow(25);
    w.StringGrid1->scrollToItem(w.StringGrid1->item(24, 0));
    EXPECT_TRUE(w.StringGrid1->viewport()->rect().intersects(
        w.StringGrid1->visualItemRect(w.StringGrid1->item(24, 0))));
}

TEST_F(SourceList, DeletingTheOnlySourceLeavesBlankRows) {
    TfoHlavni& w = NewWindow();
    w.Sources.push_back({QStringLiteral("/data"), QStringLiteral("*.*")});
    w.show();
    w.SetRow(1);
    messages.answers = {true};
    w.BitBtn6->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("Dotaz programu ..."));
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("   Smazat tento záznam souborů ?"));
    EXPECT_EQ(messages.shown[0].kind, ostrivane::ui::MessageKind::Question);
    EXPECT_TRUE(w.Sources.empty());
    EXPECT_EQ(w.RowCount(), 20);
    for (int row = 1; row < w.RowCount(); ++row) {
        EXPECT_TRUE(w.Cells(0, row).isEmpty()) << row;
        EXPECT_TRUE(w.Cells(1, row).isEmpty()) << row;
    }
}

TEST_F(SourceList, DeleteMovesLaterEntriesUpAndCancelKeepsThem) {
    TfoHlavni& w = NewWindow();
    for (const char* f : {"/a", "/b", "/c"})
        w.Sources.push_back({QString::fromLatin1(f), QStringLiteral("*.*")});
    w.show();
    w.SetRow(2);
    messages.answers = {false};
    w.BitBtn6->click();
    EXPECT_EQ(w.Sources.size(), 3u);
    messages.answers = {true};
    w.BitBtn6->click();
    ASSERT_EQ(w.Sources.size(), 2u);
    EXPECT_EQ(w.Sources[1].Folder, QStringLiteral("/c"));
    EXPECT_EQ(w.Cells(0, 2), QStringLiteral("/c"));
    EXPECT_EQ(w.Row(), 2); // the selected row stays
}

TEST_F(SourceList, EditAndDeleteOnABlankRowDoNothing) {
    TfoHlavni& w = NewWindow();
    w.Sources.push_back({QStringLiteral("/a"), QStringLiteral("*.*")});
    w.show();
    w.SetRow(5);
    // Any dialog that opens is closed again at once and counted.
    int opened = 0;
    QTimer rejecter;
    QObject::connect(&rejecter, &QTimer::timeout, [&] {
        if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ++opened;
            modal->reject();
        }
    });
    rejecter.start(5);
    emit w.StringGrid1->cellDoubleClicked(4, 0);
    w.BitBtn5->click();
    w.BitBtn6->click();
    QTest::qWait(20);
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(w.Sources.size(), 1u);
    // The same route on a row with an entry does open the dialog.
    w.SetRow(1);
    emit w.StringGrid1->cellDoubleClicked(0, 0);
    EXPECT_EQ(opened, 1);
}

TEST_F(SourceList, CancelledAddLeavesABlankEntryAtTheEnd) {
    const QString folder = MakeFolder(QStringLiteral("a"));
    TfoHlavni& w = NewWindow();
    w.Sources.push_back({folder, QStringLiteral("*.*")});
    w.show();
    AddThroughDialog(folder, QStringLiteral("*.txt"), false);
    ASSERT_EQ(w.Sources.size(), 2u);
    EXPECT_EQ(w.Sources[1], TZaloha{});
    EXPECT_TRUE(w.Cells(0, 2).isEmpty());
    EXPECT_TRUE(w.Cells(1, 2).isEmpty());
    // The blank entry is saved like any other.
    ASSERT_TRUE(w.close());
    EXPECT_EQ(
        uitest::RawValue(SettingsPath(), QStringLiteral("Archivace"), QStringLiteral("Adresář 1")),
        QString());
}

TEST_F(SourceList, EditReplacesTheEntryAndTheNextAddStartsFromItsTexts) {
    const QString a = MakeFolder(QStringLiteral("a"));
    const QString b = MakeFolder(QStringLiteral("b"));
    TfoHlavni& w = NewWindow();
    w.Sources.push_back({QStringLiteral(" ") + a, QStringLiteral("*.txt ")});
    w.show();
    w.SetRow(1);
    QString shownFolder, shownMask;
    uitest::WhenModal([&](QDialog*) {
        shownFolder = dialog().Edit1->text();
        shownMask = dialog().Edit2->text();
        dialog().Edit1->setText(b);
        dialog().BitBtn2->click();
    });
    w.BitBtn5->click();
    EXPECT_EQ(shownFolder, a); // trimmed into the dialog
    EXPECT_EQ(shownMask, QStringLiteral("*.txt"));
    EXPECT_EQ(w.Sources[0], (TZaloha{b, QStringLiteral("*.txt")}));
    EXPECT_EQ(w.Cells(0, 1), b);

    QString addFolder, addMask;
    uitest::WhenModal([&](QDialog* d) {
        addFolder = dialog().Edit1->text();
        addMask = dialog().Edit2->text();
        d->reject();
    });
    w.BitBtn4->click();
    EXPECT_EQ(addFolder, b);
    EXPECT_EQ(addMask, QStringLiteral("*.txt"));
}

TEST_F(SourceList, DoubleClickEditsTheSelectedSource) {
    TfoHlavni& w = NewWindow();
    w.Sources.push_back({QStringLiteral("/a"), QStringLiteral("*.*")});
    w.Sources.push_back({QStringLiteral("/b"), QStringLiteral("*.doc")});
    w.show();
    w.SetRow(2);
    QString shown;
    uitest::WhenModal([&](QDialog* d) {
        shown = dialog().Edit1->text();
        d->reject();
    });
    emit w.StringGrid1->cellDoubleClicked(1, 0);
    EXPECT_EQ(shown, QStringLiteral("/b"));
    EXPECT_EQ(w.Sources[1].Folder, QStringLiteral("/b")); // cancelled: unchanged
}

TEST_F(SourceList, DialogLooksAsSpecified) {
    NewWindow();
    TfoVyberSouboru& d = dialog();
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Vyberte soubory do zálohy ..."));
    EXPECT_EQ(d.size(), QSize(369, 115));
    EXPECT_EQ(d.Edit2->text(), QStringLiteral("*.*"));
    EXPECT_TRUE(d.Edit1->text().isEmpty());
    EXPECT_EQ(d.Label1->text(), QStringLiteral("Adresář souborů"));
    EXPECT_EQ(d.Label2->text(), QStringLiteral("Maska souborů"));
    EXPECT_EQ(d.BitBtn2->text(), QStringLiteral("&OK"));
    EXPECT_EQ(d.BitBtn1->text(), QStringLiteral("&Storno"));
    EXPECT_FALSE(d.BitBtn1->autoDefault() || d.BitBtn1->isDefault());
    EXPECT_FALSE(d.BitBtn2->autoDefault() || d.BitBtn2->isDefault());
    EXPECT_FALSE(d.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(d.windowFlags() & Qt::WindowMaximizeButtonHint);
}

TEST_F(SourceList, DialogChecksFolderThenMask) {
    const QString folder = MakeFolder(QStringLiteral("data"));
    NewWindow();
    TfoVyberSouboru& d = dialog();
    int result = -1;
    uitest::WhenModal([&](QDialog*) {
        d.Edit1->setText(folder + QStringLiteral("/missing"));
        d.BitBtn2->click(); // the folder does not exist
        EXPECT_TRUE(d.isVisible());
        d.Edit1->setText(QStringLiteral("  ") + folder + QStringLiteral("  "));
        d.Edit2->setText(QStringLiteral("   "));
        d.BitBtn2->click(); // a mask of blanks only
        EXPECT_TRUE(d.isVisible());
        d.Edit2->setText(QStringLiteral("*.txt"));
        d.BitBtn2->click();
    });
    result = d.exec();
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(messages.Texts(), (QStringList{QStringLiteral("Adresář nebo disk neexistuje !"),
                                             QStringLiteral("Zadejte masku souborů !")}));
    for (const auto& shown : messages.shown) {
        EXPECT_EQ(shown.caption, QStringLiteral("quenza Ostrivane"));
        EXPECT_EQ(shown.kind, ostrivane::ui::MessageKind::Information);
    }
}

TEST_F(SourceList, FailedCheckPutsTheFocusIntoTheField) {
    const QString folder = MakeFolder(QStringLiteral("data"));
    NewWindow();
    TfoVyberSouboru& d = dialog();
    QWidget* focusAfterFolder = nullptr;
    QWidget* focusAfterMask = nullptr;
    uitest::WhenModal([&](QDialog*) {
        d.Edit2->setFocus();
        d.BitBtn2->click();
        focusAfterFolder = d.focusWidget();
        d.Edit1->setText(folder);
        d.Edit2->clear();
        d.BitBtn2->click();
        focusAfterMask = d.focusWidget();
        d.reject();
    });
    EXPECT_EQ(d.exec(), QDialog::Rejected);
    EXPECT_EQ(focusAfterFolder, d.Edit1);
    EXPECT_EQ(focusAfterMask, d.Edit2);
}

TEST_F(SourceList, UnstorableFolderOrMaskIsRefused) {
    const QString folder = MakeFolder(QStringLiteral("данные"));
    NewWindow();
    TfoVyberSouboru& d = dialog();
    uitest::WhenModal([&](QDialog*) {
        d.Edit1->setText(folder);
        d.BitBtn2->click();
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(d.focusWidget(), d.Edit1);
        d.Edit1->setText(Folder());
        d.Edit2->setText(QStringLiteral("*.日本"));
        d.BitBtn2->click();
        EXPECT_TRUE(d.isVisible());
        d.reject();
    });
    EXPECT_EQ(d.exec(), QDialog::Rejected);
    EXPECT_EQ(
        messages.Texts(),
        (QStringList{
            QStringLiteral("Název adresáře obsahuje znaky, které nelze uložit do nastavení !"),
            QStringLiteral("Maska souborů obsahuje znaky, které nelze uložit do nastavení !")}));
}

TEST_F(SourceList, LeavingTheFolderFieldRemovesOneTrailingSlash) {
    NewWindow();
    TfoVyberSouboru& d = dialog();
    uitest::WhenModal([&](QDialog*) {
        d.Edit1->setFocus();
        d.Edit1->setText(QStringLiteral(" /data/zálohy// "));
        QTest::keyClick(d.Edit1, Qt::Key_Tab);
        EXPECT_EQ(d.Edit1->text(), QStringLiteral("/data/zálohy/"));
        d.Edit1->setFocus();
        QTest::keyClick(d.Edit1, Qt::Key_Return); // Enter leaves the field as Tab does
        EXPECT_EQ(d.Edit1->text(), QStringLiteral("/data/zálohy"));
        EXPECT_EQ(d.focusWidget(), d.Edit2);
        d.Edit1->setFocus();
        d.Edit1->setText(QStringLiteral(" /data "));
        QTest::keyClick(d.Edit1, Qt::Key_Tab);
        EXPECT_EQ(d.Edit1->text(), QStringLiteral(" /data ")); // left as typed
        d.Edit1->setFocus();
        d.Edit1->setText(QStringLiteral("/"));
        QTest::keyClick(d.Edit1, Qt::Key_Tab);
        EXPECT_EQ(d.Edit1->text(), QString());
        d.reject();
    });
    d.exec();
}

TEST_F(SourceList, EnterInTheDialogInsertsNothingAndEscapeDoesNotClose) {
    NewWindow();
    TfoVyberSouboru& d = dialog();
    bool stillOpen = false;
    uitest::WhenModal([&](QDialog*) {
        d.Edit2->setFocus();
        d.Edit2->setText(QStringLiteral("*.txt"));
        QTest::keyClick(d.Edit2, Qt::Key_Return);
        EXPECT_EQ(d.focusWidget(), d.BitBtn2);
        EXPECT_EQ(d.Edit2->text(), QStringLiteral("*.txt"));
        QTest::keyClick(d.BitBtn2, Qt::Key_Return); // moves on, does not press OK
        EXPECT_EQ(d.focusWidget(), d.BitBtn1);
        QTest::keyClick(d.BitBtn1, Qt::Key_Escape);
        stillOpen = d.isVisible();
        d.reject();
    });
    EXPECT_EQ(d.exec(), QDialog::Rejected);
    EXPECT_TRUE(stillOpen);
}

TEST_F(SourceList, BrowseFillsTheFolderAndRemovesItsTrailingSlash) {
    const QString folder = MakeFolder(QStringLiteral("vybraný"));
    NewWindow();
    TfoVyberSouboru& d = dialog();
    {
        uitest::FolderChooserStub chooser(folder + QStringLiteral("/"));
        d.SpeedButton1->click();
        EXPECT_EQ(chooser.titles,
                  QStringList{QStringLiteral("Vyberte adresář pro ukládání archivu...")});
    }
    EXPECT_EQ(d.Edit1->text(), folder);
    {
        // Cancelled: the field keeps its text, still with the trailing-slash rule applied.
        uitest::FolderChooserStub chooser(std::nullopt);
        d.Edit1->setText(folder + QStringLiteral("/"));
        d.SpeedButton1->click();
    }
    EXPECT_EQ(d.Edit1->text(), folder);
}

TEST_F(SourceList, AddedSourceIsStoredTrimmed) {
    const QString folder = MakeFolder(QStringLiteral("dokumenty"));
    TfoHlavni& w = NewWindow();
    w.show();
    AddThroughDialog(QStringLiteral("  ") + folder + QStringLiteral("  "),
                     QStringLiteral(" *.odt"));
    ASSERT_EQ(w.Sources.size(), 1u);
    EXPECT_EQ(w.Sources[0], (TZaloha{folder, QStringLiteral("*.odt")}));
    EXPECT_EQ(w.Cells(0, 1), folder);
    EXPECT_EQ(w.Cells(1, 1), QStringLiteral("*.odt"));
}

// Qt's own texts are Czech like the program's: the question's standard buttons read so.
TEST_F(SourceList, TheDeleteConfirmationSpeaksCzech) {
    const auto czech = ostrivane::ui::InstallQtCzechTexts();
    ASSERT_NE(czech, nullptr) << "Qt's Czech translation is missing";
    TfoHlavni& w = NewWindow();
    w.Sources.push_back({QStringLiteral("/data"), QStringLiteral("*.*")});
    w.show();
    w.SetRow(1);
    ostrivane::ui::SetMessageHook({}); // the real message box
    QStringList buttons;
    QString caption;
    uitest::WhenModal([&](QDialog* d) {
        auto* box = qobject_cast<QMessageBox*>(d);
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        for (QAbstractButton* button : box->buttons())
            buttons.append(button->text());
        box->button(QMessageBox::Cancel)->click();
    });
    w.BitBtn6->click();
    buttons.sort();
    EXPECT_EQ(buttons, QStringList({QStringLiteral("OK"), QStringLiteral("Zrušit")}));
    EXPECT_EQ(caption, QStringLiteral("Dotaz programu ..."));
    EXPECT_EQ(w.Sources.size(), 1u); // cancelled
}

// The root "/" loses its "/" when the field is left, as a drive root its backslash; that emptied
// text names the root, while a field the user left empty names nothing.
TEST_F(SourceList, TheRootIsASourceAndReachesTheRun) {
    ASSERT_TRUE(uitest::CabinetReady()) << CabinetLoadError();
    TfoHlavni& w = NewWindow();
    ShowActive();
    TfoVyberSouboru& d = dialog();
    uitest::WhenModal([&](QDialog*) {
        d.Edit1->clear();
        d.Edit2->setText(QStringLiteral("ostrivane-none-*.x"));
        d.BitBtn2->click();
        EXPECT_TRUE(d.isVisible());
        d.Edit1->setFocus();
        d.Edit1->setText(QStringLiteral("/"));
        QTest::keyClick(d.Edit1, Qt::Key_Tab);
        EXPECT_EQ(d.Edit1->text(), QString());
        d.BitBtn2->click();
        if (d.isVisible()) {
            ADD_FAILURE() << "the root was refused";
            d.reject();
        }
    });
    w.BitBtn4->click();
    EXPECT_EQ(messages.Texts(), QStringList{QStringLiteral("Adresář nebo disk neexistuje !")});
    ASSERT_EQ(w.Sources.size(), 1u);
    EXPECT_EQ(w.Sources[0].Folder, QStringLiteral("/"));
    EXPECT_EQ(w.Cells(0, 1), QStringLiteral("/"));

    w.Edit9->setText(MakeFolder(QStringLiteral("cíl")));
    w.Edit8->setText(QStringLiteral("root.cab"));
    w.BitBtn3->click();
    ASSERT_TRUE(uitest::WaitForBackupEnd(w));
    // Nothing there matches the mask, but the root was searched for it.
    EXPECT_EQ(w.MakeCab1->FileSpec(), std::vector<std::string>{"/ostrivane-none-*.x"});
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_TRUE(messages.shown[1].text.contains(QStringLiteral("Není co archivovat")));
}

} // namespace
