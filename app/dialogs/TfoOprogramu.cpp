#include "app/dialogs/TfoOprogramu.h"

#include "app/widgets/EnterAsTab.h"
#include "app/widgets/JpegImage.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStringList>

// The resources live in a static library; registering them here keeps them linked in and
// available to every user of the dialog.
static void RegisterResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(ostrivane);
        return true;
    }();
    (void)registered;
}

namespace {

constexpr QSize kClientSize(321, 203);
constexpr QSize kPictureBox(105, 105);

// The dialog names the Windows fonts it was designed with; where they are missing, a font of the
// same kind stands in. Without the stand-ins fontconfig may answer "Impact" with a symbol font.
QStringList FamilyWithStandIns(const QString& family) {
    if (family == QLatin1String("Impact"))
        return {family, QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")};
    if (family == QLatin1String("Courier New"))
        return {family, QStringLiteral("Liberation Mono"), QStringLiteral("Nimbus Mono PS"),
                QStringLiteral("DejaVu Sans Mono")};
    return {family, QStringLiteral("DejaVu Sans")};
}

QFont DesignFont(const QString& family) {
    QFont font;
    font.setFamilies(FamilyWithStandIns(family));
    font.setStyleHint(family == QLatin1String("Courier New") ? QFont::TypeWriter
                                                             : QFont::SansSerif);
    return font;
}

QFont PixelFont(const QString& family, int pixels, bool bold) {
    QFont font = DesignFont(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QFont& font,
                  QPoint at) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(font);
    label->adjustSize();
    label->move(at);
    return label;
}

} // namespace

TfoOprogramu::TfoOprogramu(QWidget* parent)
    : QDialog(parent), urlOpener_([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
    RegisterResources();
    setObjectName(QStringLiteral("foOprogramu"));
    setWindowTitle(QStringLiteral("O programu quenza Ostrivane"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    QFont dialogFont = DesignFont(QStringLiteral("MS Sans Serif"));
    dialogFont.setPointSize(8);
    setFont(dialogFont);
    setFixedSize(kClientSize);

    // Panel1: the white card behind everything but the button. Its children are Qt-owned.
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    Panel1->setGeometry(0, 0, 321, 161);
    Panel1->setAutoFillBackground(true);
    QPalette white = Panel1->palette();
    white.setColor(QPalette::Window, Qt::white);
    Panel1->setPalette(white);

    Image1 = new QLabel(Panel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(QRect(QPoint(18, 18), kPictureBox));
    const QImage picture = ostrivane::LoadJpeg(QStringLiteral(":/images/oprogramu.jpg"));
    if (!picture.isNull())
        Image1->setPixmap(QPixmap::fromImage(ostrivane::StretchToBox(picture, kPictureBox)));

    const QString tahoma = QStringLiteral("Tahoma");
    ProductName = MakeLabel(Panel1, "ProductName", QStringLiteral("Quenza"),
                            PixelFont(QStringLiteral("Impact"), 21, true), {133, 14});
    Label4 = MakeLabel(Panel1, "Label4", QStringLiteral("Ostrivane"),
                       PixelFont(QStringLiteral("Courier New"), 29, true), {133, 36});
    Version = MakeLabel(Panel1, "Version", QStringLiteral("Verze 1.0.0.1"),
                        PixelFont(tahoma, 13, false), {133, 69});

    QFont linkFont = PixelFont(tahoma, 11, false);
    linkFont.setUnderline(true);
    Label1 = MakeLabel(Panel1, "Label1", WebAddress(), linkFont, {133, 110});
    QPalette blue = Label1->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    Label1->setPalette(blue);
    Label1->setCursor(Qt::PointingHandCursor);
    Label1->installEventFilter(this);

    NoticeLabel =
        MakeLabel(Panel1, "NoticeLabel", NoticeText(), PixelFont(tahoma, 11, false), {32, 136});

    BitBtn1 = new QPushButton(QStringLiteral("&Zpět"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(128, 171, 75, 25);
    // Enter moves the focus like Tab here; it must not press the button.
    BitBtn1->setAutoDefault(false);
    BitBtn1->setDefault(false);
    connect(BitBtn1, &QPushButton::clicked, this, &TfoOprogramu::BitBtn1Click);

    new ostrivane::ui::EnterAsTab(this); // owned by the dialog
}

QString TfoOprogramu::WebAddress() {
    return QStringLiteral("https://www.quenza.cz/ostrivane");
}

QString TfoOprogramu::NoticeText() {
    return QStringLiteral("© 2002–2026 quenza. Šiřte volně, bez záruky.");
}

void TfoOprogramu::SetUrlOpener(UrlOpener opener) {
    urlOpener_ = std::move(opener);
}

void TfoOprogramu::BitBtn1Click() {
    accept();
}

void TfoOprogramu::Label1Click() {
    // The result is not looked at: a desktop without a browser simply opens nothing.
    if (urlOpener_)
        urlOpener_(QUrl(WebAddress()));
}

bool TfoOprogramu::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label1 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        Label1->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        Label1Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TfoOprogramu::showEvent(QShowEvent* event) {
    CentreOnDesktop();
    QDialog::showEvent(event);
    FormShow();
}

void TfoOprogramu::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized))
        WM_MyMessage();
}

void TfoOprogramu::CentreOnDesktop() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void TfoOprogramu::FormShow() {}

// Minimising the about dialog takes the whole program to the taskbar, not the dialog alone:
// every other shown top-level window of the program is minimised with it. Hidden windows stay
// hidden (minimising them would show them).
void TfoOprogramu::WM_MyMessage() {
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window == this || !window->isVisible() || window->isMinimized())
            continue;
        window->setWindowState(window->windowState() | Qt::WindowMinimized);
    }
}
