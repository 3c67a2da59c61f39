// The dialog in which one backup source (a folder and a file mask) is entered. Created once and
// reused, so its fields keep their last content between uses.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QToolButton;

class TfoVyberSouboru : public QDialog {
    Q_OBJECT
public:
    explicit TfoVyberSouboru(QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* Edit1; // the folder
    QToolButton* SpeedButton1;
    QLabel* Label2;
    QLineEdit* Edit2;     // the mask
    QPushButton* BitBtn2; // "&OK"
    QPushButton* BitBtn1; // "&Storno"
    QStatusBar* StatusBar1;

public slots:
    void BitBtn2Click();
    void BitBtn1Click();
    void SpeedButton1Click();
    void Edit1Exit();

protected:
    // No default and no cancel button: Escape does not close the dialog.
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // True while the folder field is empty because leaving it took the "/" of the root away:
    // that empty text names the root, an empty field the user never filled names nothing.
    bool rootEmptied_ = false;
};
