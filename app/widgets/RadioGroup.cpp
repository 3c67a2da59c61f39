#include "app/widgets/RadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

TRadioGroup::TRadioGroup(const QString& objectName, const QString& title, const QStringList& items,
                         QWidget* parent)
    : QGroupBox(title, parent), group_(new QButtonGroup(this)) {
    setObjectName(objectName);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 2, 8, 4);
    layout->setSpacing(2);
    for (const QString& caption : items) {
        auto* item = new QRadioButton(caption, this);
        item->setObjectName(objectName + QStringLiteral("Item") + QString::number(items_.size()));
        group_->addButton(item, static_cast<int>(items_.size()));
        layout->addWidget(item);
        items_.append(item);
    }
}

int TRadioGroup::ItemIndex() const {
    return group_->checkedId();
}

void TRadioGroup::SetItemIndex(int index) {
    if (items_.isEmpty())
        return;
    index = std::min(index, static_cast<int>(items_.size()) - 1);
    if (index < 0) {
        // An exclusive group never lets the last checked button go; lift that for a moment.
        group_->setExclusive(false);
        for (QRadioButton* item : items_)
            item->setChecked(false);
        group_->setExclusive(true);
        return;
    }
    items_.at(index)->setChecked(true);
}
