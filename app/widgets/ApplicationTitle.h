// The application title: the text the taskbar and the tray show. It is kept in one place so that
// the main window's title and the tray tip can follow every change of it (during a backup it
// carries the progress).
#pragma once

#include <QObject>
#include <QString>

namespace ostrivane::ui {

class ApplicationTitleNotifier : public QObject {
    Q_OBJECT
signals:
    void Changed(const QString& title);
};

// Sets the title and tells the followers when it changed.
void SetApplicationTitle(const QString& title);
QString ApplicationTitle();

// Emits Changed whenever SetApplicationTitle changes the title.
ApplicationTitleNotifier& ApplicationTitleChanges();

// The title the program starts with.
inline const QString kProgramTitle = QStringLiteral("quenza Ostrivane");

} // namespace ostrivane::ui
