// The destination fields: archive name, destination folder and the keep count.
#include "UiTestSupport.h"

#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class DestinationFields : public ::testing::Test, public uitest::WindowFixture {
protected:
    void SetUp() override {
        NewWindow();
        ShowActive();
    }

    // Types into a field with the focus in it, then leaves it with Tab.
    void LeaveWith(QLineEdit* field, const QString& text) {
        field->setFocus();
        field->setText(text);
        QTest::keyClick(field, Qt::Key_Tab);
    }

    uitest::MessageRecorder messages;
};

TEST_F(DestinationFields, LeavingTheNameFieldGivesItTheCabExtension) {
    QLineEdit* name = window().Edit8;
    const std::vector<std::pair<QString, QString>> cases = {
        {"data", "data.cab"},     {"data.zip", "data.cab"},         {"data.tar.gz", "data.cab"},
        {"DATA.CAB", "DATA.cab"}, {"my.cab.old", "my.cab.old"},     {"", ""},
        {"  data  ", "data.cab"}, {" záloha.cab ", " záloha.cab "}, {"   ", "   "},
    };
    for (const auto& [typed, expected] : cases) {
        LeaveWith(name, typed);
        EXPECT_EQ(name->text(), expected) << typed.toStdString();
        EXPECT_EQ(QApplication::focusWidget(), window().Edit9);
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(DestinationFields, LeavingTheFolderFieldRemovesOneSlashPerLeave) {
    QLineEdit* folder = window().Edit9;
    LeaveWith(folder, QStringLiteral("/D/Zálohy/"));
    EXPECT_EQ(folder->text(), QStringLiteral("/D/Zálohy"));
    LeaveWith(folder, QStringLiteral(" /D/Zálohy// "));
    EXPECT_EQ(folder->text(), QStringLiteral("/D/Zálohy/"));
    folder->setFocus();
    QTest::keyClick(folder, Qt::Key_Tab);
    EXPECT_EQ(folder->text(), QStringLiteral("/D/Zálohy"));
    LeaveWith(folder, QStringLiteral(" /D/Zálohy "));
    EXPECT_EQ(folder->text(), QStringLiteral(" /D/Zálohy ")); // unchanged, untrimmed
    LeaveWith(folder, QStringLiteral("/"));
    EXPECT_EQ(folder->text(), QString());
}

TEST_F(DestinationFields, KeepCountTakesDigitsOnly) {
    TfoHlavni& w = window();
    QLineEdit* depth = w.Edit10;
    depth->setFocus();
    depth->clear();
    QTest::keyClicks(depth, QStringLiteral("1a"));
    EXPECT_EQ(depth->text(), QStringLiteral("1"));
    EXPECT_EQ(w.Depth, 1);
    EXPECT_EQ(depth->cursorPosition(), 1);

    depth->setText(QStringLiteral("ab12"));
    EXPECT_EQ(depth->text(), QStringLiteral("12"));
    EXPECT_EQ(w.Depth, 12);

    depth->clear();
    EXPECT_EQ(depth->text(), QString());
    EXPECT_EQ(w.Depth, 1);

    depth->setText(QStringLiteral("0"));
    EXPECT_EQ(w.Depth, 0);

    depth->setText(QStringLiteral("99999999999"));
    EXPECT_EQ(depth->text(), QStringLiteral("99999999999"));
    EXPECT_EQ(w.Depth, 1);

    depth->setText(QStringLiteral("2147483647"));
    EXPECT_EQ(w.Depth, 2147483647);
}

TEST_F(DestinationFields, KeepCountKeepsTheCaretWhereItWas) {
    TfoHlavni& w = window();
    QLineEdit* depth = w.Edit10;
    depth->setFocus();
    depth->setText(QStringLiteral("1234"));
    depth->setCursorPosition(2);
    QTest::keyClick(depth, Qt::Key_X); // "12x34", caret after the x
    EXPECT_EQ(depth->text(), QStringLiteral("1234"));
    EXPECT_EQ(depth->cursorPosition(), 3);
    EXPECT_EQ(w.Depth, 1234);
    QTest::keyClick(depth, Qt::Key_5);
    EXPECT_EQ(depth->text(), QStringLiteral("12354"));
}

TEST_F(DestinationFields, BrowseSetsTheFolderAsChosenWithoutLeaveHandling) {
    TfoHlavni& w = window();
    const QString chosen = MakeFolder(QStringLiteral("cíl")) + QStringLiteral("/");
    w.Edit9->setText(QStringLiteral("/původní"));
    {
        uitest::FolderChooserStub chooser(std::nullopt);
        w.SpeedButton2->click();
        EXPECT_EQ(chooser.titles,
                  QStringList{QStringLiteral("Vyberte adresář pro ukládání archivu...")});
    }
    EXPECT_EQ(w.Edit9->text(), QStringLiteral("/původní"));
    {
        uitest::FolderChooserStub chooser(chosen);
        w.SpeedButton2->click();
    }
    EXPECT_EQ(w.Edit9->text(), chosen); // the trailing "/" stays until the field is left
}

TEST_F(DestinationFields, TheBrowserOpensAtTheFolderInTheFieldElseAtHome) {
    TfoHlavni& w = window();
    const QString there = MakeFolder(QStringLiteral("cíl"));
    uitest::FolderChooserStub chooser(std::nullopt);
    w.Edit9->setText(QStringLiteral(" ") + there + QStringLiteral(" "));
    w.SpeedButton2->click();
    w.Edit9->setText(there + QStringLiteral("/chybí"));
    w.SpeedButton2->click();
    dialog().Edit1->setText(there);
    dialog().SpeedButton1->click();
    dialog().Edit1->clear();
    dialog().SpeedButton1->click();
    // HOME is the fixture's folder.
    EXPECT_EQ(chooser.starts, QStringList({there, Folder(), there, Folder()}));
}

TEST_F(DestinationFields, TheRootPassesTheInputCheckAlsoOnceItsSlashIsGone) {
    TfoHlavni& w = window();
    w.Sources.push_back({Folder(), QStringLiteral("*.*")});
    w.Edit8->setText(QStringLiteral("data.cab"));
    w.Edit9->setText(QStringLiteral("/"));
    EXPECT_TRUE(w.KontrolaVstupu());
    EXPECT_EQ(w.Edit9->text(), QString());
    EXPECT_TRUE(w.KontrolaVstupu()); // the next run, also after a restart
    EXPECT_TRUE(messages.shown.empty()) << messages.Texts().join('|').toStdString();
}

} // namespace
