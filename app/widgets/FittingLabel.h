// A label for a line that may be longer than its place: it shows the whole text, on one line where
// it fits and wrapped at its blanks onto more lines where it does not, never cut short; the whole
// text is also its tip. Its width follows its layout, never the text, so a long text cannot push
// its neighbours aside; whoever places it gives it the height heightForWidth asks for.
#pragma once

#include <QLabel>
#include <QString>

class FittingLabel : public QLabel {
    Q_OBJECT
public:
    explicit FittingLabel(QWidget* parent = nullptr);

    void SetFullText(const QString& text);
    QString FullText() const { return text(); }
};
