#include "app/widgets/FittingLabel.h"

FittingLabel::FittingLabel(QWidget* parent) : QLabel(parent) {
    QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
}

void FittingLabel::SetFullText(const QString& text) {
    setText(text);
    setToolTip(text);
}
