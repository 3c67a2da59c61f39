// A titled group of radio buttons with one selected item or none, addressed by index.
#pragma once

#include <QGroupBox>
#include <QList>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    // The items are named after the group: objectName() + "Item" + index.
    TRadioGroup(const QString& objectName, const QString& title, const QStringList& items,
                QWidget* parent);

    // The selected item's index, -1 when none is selected.
    int ItemIndex() const;
    // Selects item `index`; below 0 selects nothing, beyond the last item selects the last one.
    void SetItemIndex(int index);

    const QList<QRadioButton*>& Items() const { return items_; }

private:
    QButtonGroup* group_;
    QList<QRadioButton*> items_;
};
