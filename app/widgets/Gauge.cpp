#include "app/widgets/Gauge.h"

#include <QPainter>

Gauge::Gauge(QWidget* parent) : QProgressBar(parent) {
    setRange(0, 100);
    setValue(0);
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
}

void Gauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect inside = rect().adjusted(1, 1, -1, -1);
    painter.fillRect(rect(), Qt::black);
    painter.fillRect(inside, Qt::white);
    const int span = maximum() - minimum();
    const int filled =
        span > 0
            ? static_cast<int>(static_cast<qint64>(inside.width()) * (value() - minimum()) / span)
            : 0;
    const QRect fill(inside.left(), inside.top(), filled, inside.height());
    painter.fillRect(fill, Qt::black);
    if (!isTextVisible())
        return;
    // The text once in black over the whole gauge, then in white over the fill alone.
    const QString percent = text();
    painter.setPen(Qt::black);
    painter.drawText(inside, Qt::AlignCenter, percent);
    painter.setClipRect(fill);
    painter.setPen(Qt::white);
    painter.drawText(inside, Qt::AlignCenter, percent);
}
