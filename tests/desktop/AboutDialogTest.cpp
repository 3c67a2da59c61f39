// The about dialog: its controls, the link, the button and the minimise rule.
#include "app/dialogs/TfoOprogramu.h"

#include <QApplication>
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

template <typename T> T* Child(QWidget& dialog, const char* name) {
    T* child = dialog.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

TEST(AboutDialog, WindowCaptionSizeAndButtons) {
    TfoOprogramu dialog;
    EXPECT_EQ(dialog.windowTitle(), "O programu quenza Ostrivane");
    EXPECT_EQ(dialog.size(), QSize(321, 203));
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(dialog.font().family(), "MS Sans Serif");
    EXPECT_EQ(dialog.font().pointSize(), 8);
}

TEST(AboutDialog, ControlsAsLaidOut) {
    TfoOprogramu dialog;
    auto* panel = Child<QFrame>(dialog, "Panel1");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->geometry(), QRect(0, 0, 321, 161));
    EXPECT_EQ(panel->palette().color(QPalette::Window), QColor(Qt::white));

    struct Expected {
        const char* name;
        QString text;
        QString family;
        int pixels;
        bool bold;
        QPoint at;
    };
    const Expected labels[] = {
        {"ProductName", "Quenza", "Impact", 21, true, {133, 14}},
        {"Label4", "Ostrivane", "Courier New", 29, true, {133, 36}},
        {"Version", "Verze 1.0.0.1", "Tahoma", 13, false, {133, 69}},
        {"Label1", TfoOprogramu::WebAddress(), "Tahoma", -1, false, {133, 110}},
        {"NoticeLabel", TfoOprogramu::NoticeText(), "Tahoma", -1, false, {32, 136}},
    };
    for (const Expected& e : labels) {
        auto* label = Child<QLabel>(dialog, e.name);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->parentWidget(), panel) << e.name;
        EXPECT_EQ(label->text(), e.text) << e.name;
        EXPECT_EQ(label->font().family(), e.family) << e.name;
        if (e.pixels > 0) {
            EXPECT_EQ(label->font().pixelSize(), e.pixels) << e.name;
        }
        EXPECT_EQ(label->font().bold(), e.bold) << e.name;
        EXPECT_EQ(label->pos(), e.at) << e.name;
        EXPECT_FALSE(label->text().isEmpty());
    }

    // The font actually used is the named one or a text font standing in for it, never a symbol
    // font that a missing Impact may be matched to.
    const QString productFont = QFontInfo(Child<QLabel>(dialog, "ProductName")->font()).family();
    EXPECT_TRUE(productFont == "Impact" || productFont.startsWith("DejaVu Sans"))
        << productFont.toStdString();

    auto* link = Child<QLabel>(dialog, "Label1");
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);

    auto* button = Child<QPushButton>(dialog, "BitBtn1");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "&Zpět");
    EXPECT_EQ(button->geometry(), QRect(128, 171, 75, 25));
    EXPECT_NE(button->parentWidget(), panel);
}

TEST(AboutDialog, PictureIsStretchedIntoItsBox) {
    TfoOprogramu dialog;
    auto* image = Child<QLabel>(dialog, "Image1");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->geometry(), QRect(18, 18, 105, 105));
    const QPixmap pixmap = image->pixmap();
    ASSERT_FALSE(pixmap.isNull()) << "the picture did not load from the resources";
    ASSERT_EQ(pixmap.size(), QSize(105, 105));
    const QImage shown = pixmap.toImage();
    // The sun, drawn at (610, 360) of 732 x 726, lands at the same fraction of the box.
    const QRgb sun = shown.pixel(610 * 105 / 732, 360 * 105 / 726);
    EXPECT_GT(qRed(sun), 200);
    EXPECT_GT(qGreen(sun), 160);
    EXPECT_LT(qBlue(sun), 120);
    // The sky's gradient runs from dark at the top to light at the bottom of the box.
    EXPECT_LT(qBlue(shown.pixel(2, 1)), qBlue(shown.pixel(2, 103)));
}

TEST(AboutDialog, LinkOpensAddressAndDialogStaysOpen) {
    TfoOprogramu dialog;
    QList<QUrl> opened;
    dialog.SetUrlOpener([&](const QUrl& url) { opened << url; });
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

    // The font actually used is the named one or a text font standing in for it, never a symbol
    // font that a missing Impact may be matched to.
    const QString productFont = QFontInfo(Child<QLabel>(dialog, "ProductName")->font()).family();
    EXPECT_TRUE(productFont == "Impact" || productFont.startsWith("DejaVu Sans"))
        << productFont.toStdString();

    auto* link = Child<QLabel>(dialog, "Label1");
    QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.front(), QUrl(TfoOprogramu::WebAddress()));
    EXPECT_EQ(opened.front().scheme(), "https");
    EXPECT_TRUE(dialog.isVisible());

    // Other controls do not open anything.
    QTest::mouseClick(Child<QLabel>(dialog, "Version"), Qt::LeftButton);
    EXPECT_EQ(opened.size(), 1);
}

TEST(AboutDialog, BackButtonClosesModalDialog) {
    TfoOprogramu dialog;
    QTimer::singleShot(0, &dialog, [&] { Child<QPushButton>(dialog, "BitBtn1")->click(); });
    QTimer::singleShot(5000, &dialog, [&] { dialog.done(-1); }); // guard against a hang
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(AboutDialog, EnterMovesFocusAndDoesNotClose) {
    TfoOprogramu dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* button = Child<QPushButton>(dialog, "BitBtn1");
    button->setFocus();
    QSignalSpy clicked(button, &QPushButton::clicked);
    QTest::keyClick(button, Qt::Key_Return);
    EXPECT_EQ(clicked.count(), 0);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 0);
}

TEST(AboutDialog, MinimisingDialogMinimisesTheProgram) {
    QWidget mainWindow;
    mainWindow.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&mainWindow));
    QWidget hiddenWindow; // a hidden window must stay hidden
    TfoOprogramu dialog(&mainWindow);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

    dialog.setWindowState(dialog.windowState() | Qt::WindowMinimized);
    EXPECT_TRUE(mainWindow.isMinimized());
    EXPECT_TRUE(dialog.isMinimized());
    EXPECT_FALSE(hiddenWindow.isVisible());
}

TEST(AboutDialog, OtherStateChangesLeaveTheMainWindowAlone) {
    QWidget mainWindow;
    mainWindow.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&mainWindow));
    TfoOprogramu dialog(&mainWindow);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.setWindowState(Qt::WindowActive);
    EXPECT_FALSE(mainWindow.isMinimized());
}

} // namespace
