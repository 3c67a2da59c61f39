// A label for a line that may be longer than its place: it shows as much of the text as fits,
// ending in "…", and offers the whole text as its tip. Its width follows its layout, never the
// text, so a long text cannot push its neighbours aside.
#pragma once

#include <QLabel>
#include <QString>

class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void SetFullText(const QString& text);
    const QString& FullText() const { return fullText_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Elide();

    QString fullText_;
};
