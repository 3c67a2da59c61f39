// The dialog "Vyloučení ze zálohy": the patterns of files and folders a backup leaves out
// (archive/scan/ExclusionPatterns.h), one a line, with the rules and examples beside them; a
// button adds the suggested ones (caches, trash, thumbnails), none of which is ever added
// unasked. Opened from the "Soubory" tab; OK takes the list, Storno or Escape leaves it.
#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class TfoVylouceni : public QDialog {
    Q_OBJECT
public:
    explicit TfoVylouceni(QWidget* parent = nullptr);

    // The patterns shown, and those the user left (trimmed, each once, none empty).
    void SetPatterns(const QStringList& patterns);
    QStringList Patterns() const;

    QLabel* Label1;        // "&Vzory souborů a složek, které se nezálohují:"
    QListWidget* ListBox1; // the patterns; F2 or a double click edits one
    QLabel* Label2;        // "&Nový vzor:"
    QLineEdit* Edit1;      // a new pattern; Enter adds it
    QPushButton* BitBtn1;  // "Přid&at"
    QPushButton* BitBtn2;  // "Odeb&rat"
    QPushButton* BitBtn3;  // "Přidat &doporučené"
    QLabel* Label3;        // the rules with examples
    QPushButton* BitBtn4;  // "OK"
    QPushButton* BitBtn5;  // "Storno"

public slots:
    // Adds the pattern typed in Edit1.
    void BitBtn1Click();
    // Removes the selected patterns.
    void BitBtn2Click();
    // Adds the suggested patterns the list lacks.
    void BitBtn3Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Adds `pattern` unless it is empty or listed; false (the user told why) when it cannot be
    // kept in the settings file.
    bool AddPattern(const QString& pattern);
};
