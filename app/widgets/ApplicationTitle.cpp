#include "app/widgets/ApplicationTitle.h"

namespace ostrivane::ui {

namespace {

QString& TitleText() {
    static QString title = kProgramTitle;
    return title;
}

} // namespace

void SetApplicationTitle(const QString& title) {
    if (TitleText() == title)
        return;
    TitleText() = title;
    emit ApplicationTitleChanges().Changed(title);
}

QString ApplicationTitle() {
    return TitleText();
}

ApplicationTitleNotifier& ApplicationTitleChanges() {
    static ApplicationTitleNotifier notifier;
    return notifier;
}

} // namespace ostrivane::ui
