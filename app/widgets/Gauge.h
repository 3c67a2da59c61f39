// A progress gauge drawn plainly: a black fill on a white background inside a single border, the
// percentage centred, white where it lies on the fill. It paints only when its value changes (no
// style animation), so that a long backup costs the window's thread next to nothing.
#pragma once

#include <QProgressBar>

class Gauge : public QProgressBar {
    Q_OBJECT
public:
    explicit Gauge(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
