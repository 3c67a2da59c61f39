#include "app/TfoOprogramu.h"

#include <QDesktopServices>
#include <QEvent>

TfoOprogramu::TfoOprogramu(QWidget* parent)
    : QDialog(parent), urlOpener_([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
    setObjectName("foOprogramu");
    setWindowTitle(QStringLiteral("O programu quenza Ostrivane"));
    setFixedSize(321, 203);
}

QString TfoOprogramu::WebAddress() {
    return QStringLiteral("https://www.quenza.cz/ostrivane");
}

void TfoOprogramu::SetUrlOpener(UrlOpener opener) {
    urlOpener_ = std::move(opener);
}

void TfoOprogramu::BitBtn1Click() {
    accept();
}

void TfoOprogramu::Label1Click() {
    urlOpener_(QUrl(WebAddress()));
}

void TfoOprogramu::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TfoOprogramu::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
}

void TfoOprogramu::FormShow() {}

void TfoOprogramu::WM_MyMessage() {}
