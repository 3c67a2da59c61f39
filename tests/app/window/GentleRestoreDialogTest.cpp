// The gentler restore dialog on two backups made by the window, from the keyboard: a whole
// restore to the original place asks first (Escape restores nothing, Enter goes on) and leaves
// every identical file alone; the search ignores accents and sorts; the versions of one file are
// listed and an older one restored; a file is opened as a private read-only copy; the backups
// are let go of when the dialog closes.
#include "UiTestSupport.h"

#include "app/dialogs/TfoObnova.h"
#include "app/dialogs/TfoVerze.h"
#include "cabinet/component/CabinetLibrary.h"
#include "tests/support/Scratch.h"

#include <QDesktopServices>
#include <QHeaderView>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

// Hears the URLs the program asks the desktop to open.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    OpenedUrls() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open"); }
    ~OpenedUrls() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QList<QUrl> urls;
public slots:
    void Open(const QUrl& url) { urls.append(url); }
};

// Alt + `key` in `window`, made the active window first (a box closed leaves none active here).
void PressAlt(QWidget* window, Qt::Key key) {
    QApplication::setActiveWindow(window);
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, key, Qt::AltModifier);
}

// Runs `act` on the next modal window other than those of `open`, once it is open.
void WhenNextModal(QList<QWidget*> open, std::function<void(QWidget*)> act) {
    uitest::WhenModalWindow([open](QWidget* modal) { return !open.contains(modal); },
                            std::move(act), 2000);
}

QString BoxText(QWidget* box) {
    auto* message = qobject_cast<QMessageBox*>(box);
    return message != nullptr ? message->text() : QStringLiteral("<not a message box>");
}

// The row of `model` below `parent` whose name is `name`.
QModelIndex Child(QAbstractItemModel* model, const QModelIndex& parent, const QString& name) {
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        if (index.data().toString() == name)
            return index;
    }
    ADD_FAILURE() << name.toStdString() << " is not listed";
    return {};
}

class GentleRestoreDialog : public ::testing::Test, public uitest::WindowFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(uitest::CabinetReady()) << CabinetLoadError();
        source = MakeFolder(QStringLiteral("Dokumenty"));
        const QString destination = MakeFolder(QStringLiteral("Zálohy"));
        for (int n = 1; n <= 11; ++n)
            uitest::WriteFile(source + QStringLiteral("/f%1.txt").arg(n, 2, 10, QLatin1Char('0')),
                              QByteArray(n * 100, 'x'));
        uitest::WriteFile(report(), "first version");
        TfoHlavni& w = NewWindow();
        w.Sources.push_back({source, QStringLiteral("*.*")});
        w.CheckBox2->setChecked(true);
        w.Edit9->setText(destination);
        w.Edit8->setText(QStringLiteral("Záloha"));
        w.Edit10->setText(QStringLiteral("2"));
        BackUp();
        uitest::WriteFile(report(), "the second, longer version");
        BackUp();
    }

    QString report() const { return source + QStringLiteral("/2024/Zpráva.odt"); }

    void BackUp() {
        uitest::MessageRecorder messages;
        window().BitBtn3->click();
        ASSERT_TRUE(uitest::WaitForBackupEnd(window()));
        ASSERT_TRUE(messages.shown.empty()) << messages.Texts().join("\n").toStdString();
    }

    // Opens the dialog with Alt+B and runs `act` in it; true when it ran and the dialog closed.
    bool InDialog(const std::function<void(TfoObnova&)>& act) {
        ShowActive();
        bool acted = false;
        uitest::WhenModal([&](QDialog* dialog) {
            auto* restore = qobject_cast<TfoObnova*>(dialog);
            if (restore == nullptr) {
                ADD_FAILURE() << dialog->objectName().toStdString();
                return;
            }
            act(*restore);
            acted = true;
            if (restore->isVisible())
                QTest::keyClick(restore, Qt::Key_Escape);
        });
        PressAlt(&window(), Qt::Key_B);
        return QTest::qWaitFor(
            [&] { return acted && QApplication::activeModalWidget() == nullptr; }, 60000);
    }

    QString source;
};

TEST_F(GentleRestoreDialog, AWholeRestoreToTheOriginalPlaceAsksFirstAndLeavesIdenticalFilesAlone) {
    const auto before = testsupport::TreeContents(source.toStdString());
    ASSERT_EQ(before.size(), 12u);
    ASSERT_TRUE(InDialog([&](TfoObnova& d) {
        // Alt+P with nothing chosen: the whole newest backup. Escape answers the question.
        bool asked = false;
        WhenNextModal({&d}, [&](QWidget* box) {
            EXPECT_TRUE(BoxText(box).startsWith(QStringLiteral("Obnovit celou zálohu z ")))
                << BoxText(box).toStdString();
            EXPECT_TRUE(BoxText(box).contains(QStringLiteral("(souborů: 12)")));
            QTest::keyClick(box, Qt::Key_Escape);
            asked = true;
        });
        PressAlt(&d, Qt::Key_P);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return asked && QApplication::activeModalWidget() == &d; }, 10000));
        QTest::qWait(200);
        EXPECT_FALSE(d.RestoreRunning());

        // Again, Enter confirms: every file there is the backup's, and stays as it is.
        QString told;
        WhenNextModal({&d}, [&](QWidget* question) {
            WhenNextModal({&d, question}, [&](QWidget* result) {
                told = BoxText(result);
                QTest::keyClick(result, Qt::Key_Return);
            });
            QTest::keyClick(question, Qt::Key_Return);
        });
        PressAlt(&d, Qt::Key_P);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !told.isEmpty() && QApplication::activeModalWidget() == &d; }, 30000));
        EXPECT_TRUE(told.startsWith(QStringLiteral("Obnoveno souborů: 0\n"))) << told.toStdString();
        EXPECT_TRUE(told.contains(QStringLiteral("Shodné se zálohou, ponechány beze změny: 12")))
            << told.toStdString();
    }));
    EXPECT_EQ(testsupport::TreeContents(source.toStdString()), before)
        << "no copy beside a file identical to the backup's";
}

TEST_F(GentleRestoreDialog, TheSearchIgnoresAccentsSortsAndAFilesVersionsAreListed) {
    const QString target = MakeFolder(QStringLiteral("Obnova"));
    uitest::FolderChooserStub chooser(target);
    uitest::MessageRecorder messages;
    OpenedUrls opened;
    TfoObnova* dialog = nullptr;
    ASSERT_TRUE(InDialog([&](TfoObnova& d) {
        dialog = &d;
        // The backup list shows its focus: it looks otherwise with the keyboard there.
        d.ListView1->setFocus();
        const QImage focused = d.ListView1->grab().toImage();
        d.Edit1->setFocus();
        EXPECT_NE(d.ListView1->grab().toImage(), focused);
        EXPECT_EQ(d.ListView1->palette().color(QPalette::Inactive, QPalette::Highlight),
                  d.ListView1->palette().color(QPalette::Active, QPalette::Highlight));

        QTest::keyClicks(d.Edit1, QStringLiteral("zprava"));
        QAbstractItemModel* found = d.TreeView1->model();
        ASSERT_EQ(found->rowCount(), 1);
        EXPECT_EQ(found->index(0, 0).data().toString(),
                  QStringLiteral("Dokumenty/2024/Zpráva.odt"));
        // "Hledat ve všech zálohách" by its shortcut: the file of both backups.
        PressAlt(&d, Qt::Key_V);
        ASSERT_TRUE(QTest::qWaitFor([&] { return d.CheckBox1->isChecked(); }, 5000));
        found = d.TreeView1->model();
        EXPECT_EQ(found->rowCount(), 2);
        EXPECT_EQ(found->columnCount(), 4);

        // Sorted by name, the newest backup first among equal names; by size at a click.
        d.Edit1->clear();
        QTest::keyClicks(d.Edit1, QStringLiteral(".TXT"));
        found = d.TreeView1->model();
        ASSERT_EQ(found->rowCount(), 22);
        EXPECT_EQ(found->index(0, 0).data().toString(), QStringLiteral("Dokumenty/f01.txt"));
        EXPECT_EQ(found->index(21, 0).data().toString(), QStringLiteral("Dokumenty/f11.txt"));
        EXPECT_GE(found->index(0, 3).data().toString(), found->index(1, 3).data().toString());
        const QPoint sizeHeader(d.TreeView1->header()->sectionViewportPosition(1) + 5,
                                d.TreeView1->header()->height() / 2);
        QTest::mouseClick(d.TreeView1->header()->viewport(), Qt::LeftButton, {}, sizeHeader);
        EXPECT_EQ(d.TreeView1->header()->sortIndicatorSection(), 1);
        if (d.TreeView1->header()->sortIndicatorOrder() == Qt::AscendingOrder)
            QTest::mouseClick(d.TreeView1->header()->viewport(), Qt::LeftButton, {}, sizeHeader);
        EXPECT_EQ(d.TreeView1->header()->sortIndicatorOrder(), Qt::DescendingOrder);
        EXPECT_EQ(found->index(0, 0).data().toString(), QStringLiteral("Dokumenty/f11.txt"));
        EXPECT_EQ(found->index(21, 0).data().toString(), QStringLiteral("Dokumenty/f01.txt"));
        // The order chosen holds for the next search too.
        d.Edit1->clear();
        QTest::keyClicks(d.Edit1, QStringLiteral("f"));
        EXPECT_EQ(d.TreeView1->model()->index(0, 0).data().toString(),
                  QStringLiteral("Dokumenty/f11.txt"));
        d.TreeView1->sortByColumn(0, Qt::AscendingOrder);

        // From the tree: the versions of the report, the older one restored into a folder.
        PressAlt(&d, Qt::Key_V);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !d.CheckBox1->isChecked(); }, 5000));
        d.Edit1->clear();
        QAbstractItemModel* tree = d.TreeView1->model();
        const QModelIndex report =
            Child(tree, Child(tree, Child(tree, {}, QStringLiteral("Dokumenty")), "2024"),
                  QStringLiteral("Zpráva.odt"));
        d.TreeView1->setCurrentIndex(report);
        bool listed = false;
        WhenNextModal({&d}, [&](QWidget* window) {
            auto* versions = qobject_cast<TfoVerze*>(window);
            ASSERT_NE(versions, nullptr);
            listed = true;
            EXPECT_TRUE(
                versions->Label1->text().contains(QStringLiteral("Dokumenty/2024/Zpráva.odt")));
            QAbstractItemModel* rows = versions->ListView1->model();
            ASSERT_EQ(rows->rowCount(), 2);
            EXPECT_EQ(rows->index(0, 1).data().toString(), QStringLiteral("26 B"));
            EXPECT_EQ(rows->index(1, 1).data().toString(), QStringLiteral("13 B"));
            versions->ListView1->setCurrentIndex(rows->index(1, 0));
            PressAlt(versions, Qt::Key_D);
        });
        PressAlt(&d, Qt::Key_E);
        ASSERT_TRUE(QTest::qWaitFor([&] { return listed && !messages.shown.empty(); }, 30000));
        EXPECT_TRUE(messages.shown.back().text.startsWith(QStringLiteral("Obnoveno souborů: 1")))
            << messages.shown.back().text.toStdString();
        EXPECT_EQ(uitest::ReadFile(target + QStringLiteral("/Dokumenty/2024/Zpráva.odt")),
                  "first version");

        // "Otevřít": a copy no one else can reach or anyone write, handed to the desktop.
        d.TreeView1->setCurrentIndex(report);
        PressAlt(&d, Qt::Key_T);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !opened.urls.isEmpty(); }, 30000));
        const QString copy = opened.urls.front().toLocalFile();
        EXPECT_TRUE(copy.endsWith(QStringLiteral("/Zpráva.odt"))) << copy.toStdString();
        EXPECT_EQ(uitest::ReadFile(copy), "the second, longer version");
        struct stat folder {};
        struct stat file {};
        ASSERT_EQ(::stat(QFile::encodeName(copy.section('/', 0, -2)).constData(), &folder), 0);
        ASSERT_EQ(::stat(QFile::encodeName(copy).constData(), &file), 0);
        EXPECT_EQ(folder.st_mode & 07777, 0700u);
        EXPECT_EQ(file.st_mode & 0222, 0u);
    }));
    // Closed, the dialog holds nothing of the backups any more.
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->ListView1->model()->rowCount(), 0);
    EXPECT_EQ(dialog->TreeView1->model()->rowCount(), 0);
    EXPECT_EQ(messages.shown.size(), 1u) << messages.Texts().join("\n").toStdString();
}

} // namespace

#include "GentleRestoreDialogTest.moc"
