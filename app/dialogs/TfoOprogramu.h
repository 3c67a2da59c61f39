// The about dialog: program name, version, picture, notice line and a link to the maker's site.
#pragma once

#include <QDialog>
#include <QString>
#include <QUrl>

#include <functional>

class QFrame;
class QLabel;
class QPushButton;

class TfoOprogramu : public QDialog {
    Q_OBJECT
public:
    // Opens a web address; the default hands it to the desktop's browser.
    using UrlOpener = std::function<void(const QUrl&)>;

    explicit TfoOprogramu(QWidget* parent = nullptr);

    // The maker's web address shown and opened by Label1.
    static QString WebAddress();
    // The maker's notice line shown by NoticeLabel.
    static QString NoticeText();

    // Replaces the way Label1Click opens the address (tests use it to watch the call).
    void SetUrlOpener(UrlOpener opener);

public slots:
    void BitBtn1Click();
    void Label1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void FormShow();
    void WM_MyMessage();
    void CentreOnDesktop();

    UrlOpener urlOpener_;
    QFrame* Panel1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Version = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* NoticeLabel = nullptr;
    QPushButton* BitBtn1 = nullptr;
};
