#include "app/dialogs/TfoVylouceni.h"

#include "app/widgets/DialogControls.h"
#include "app/widgets/MessageBoxes.h"
#include "app/widgets/TextTrim.h"
#include "archive/scan/ExclusionPatterns.h"
#include "settings/SettingsStore.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using ostrivane::TrimBlanks;

namespace ui = ostrivane::ui;

namespace {

constexpr int kWidth = 460;
constexpr int kHeight = 420;

const QString kRules =
    QStringLiteral("Vzory jako v souborech .gitignore, vůči zdrojové složce:\n"
                   "*.iso – soubory s příponou .iso kdekoli\n"
                   "node_modules/ – složky toho jména kdekoli (lomítko na konci: jen složky)\n"
                   "/Dokumenty/Velké/ – jen tato složka ve zdrojové složce (lomítko na začátku)\n"
                   "**/build/, Fotky/** – ** znamená libovolně mnoho složek\n"
                   "!ponechat.iso – vrátí, co předchozí vzor vynechal\n"
                   "Vynechaná složka se neprochází vůbec; na velikosti písmen záleží.");

} // namespace

TfoVylouceni::TfoVylouceni(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("foVylouceni"));
    setWindowTitle(QStringLiteral("Vyloučení ze zálohy"));
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(kWidth, kHeight);

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBox1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    Label1 = new QLabel(QStringLiteral("&Vzory souborů a složek, které se nezálohují:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setBuddy(ListBox1);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setPlaceholderText(QStringLiteral("například *.iso nebo node_modules/"));
    Label2 = new QLabel(QStringLiteral("&Nový vzor:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setBuddy(Edit1);
    BitBtn1 = ui::MakeButton(QStringLiteral("BitBtn1"), QStringLiteral("Přid&at"), this);
    BitBtn2 = ui::MakeButton(QStringLiteral("BitBtn2"), QStringLiteral("Odeb&rat"), this);
    BitBtn3 = ui::MakeButton(QStringLiteral("BitBtn3"), QStringLiteral("Přidat &doporučené"), this);
    BitBtn3->setToolTip(QStringLiteral("Mezipaměti, koš a náhledy obrázků: ") + [] {
        QStringList all;
        for (const std::string_view p : ostrivane::scan::kSuggestedExclusions)
            all.append(QString::fromUtf8(p.data(), static_cast<qsizetype>(p.size())));
        return all.join(QStringLiteral(", "));
    }());
    Label3 = new QLabel(kRules, this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setTextFormat(Qt::PlainText);
    Label3->setWordWrap(true);
    BitBtn4 = ui::MakeButton(QStringLiteral("BitBtn4"), QStringLiteral("OK"), this);
    BitBtn4->setDefault(true);
    BitBtn5 = ui::MakeButton(QStringLiteral("BitBtn5"), QStringLiteral("Storno"), this);

    auto* newRow = new QHBoxLayout;
    newRow->addWidget(Label2);
    newRow->addWidget(Edit1, 1);
    newRow->addWidget(BitBtn1);
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(BitBtn2);
    listButtons->addWidget(BitBtn3);
    listButtons->addStretch(1);
    auto* closing = new QHBoxLayout;
    closing->addStretch(1);
    closing->addWidget(BitBtn4);
    closing->addWidget(BitBtn5);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(ListBox1, 1);
    layout->addLayout(listButtons);
    layout->addLayout(newRow);
    layout->addWidget(Label3);
    layout->addLayout(closing);

    const QList<QWidget*> order = {ListBox1, BitBtn2, BitBtn3, Edit1, BitBtn1, BitBtn4, BitBtn5};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));

    connect(BitBtn1, &QPushButton::clicked, this, &TfoVylouceni::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TfoVylouceni::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TfoVylouceni::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn5, &QPushButton::clicked, this, &QDialog::reject);
    // An edited pattern is kept trimmed; one edited to nothing goes.
    connect(ListBox1, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        const QString trimmed = TrimBlanks(item->text());
        if (trimmed.isEmpty())
            delete item;
        else if (trimmed != item->text())
            item->setText(trimmed);
    });
}

void TfoVylouceni::SetPatterns(const QStringList& patterns) {
    ListBox1->clear();
    Edit1->clear();
    for (const QString& pattern : patterns)
        AddPattern(pattern);
    if (ListBox1->count() > 0)
        ListBox1->setCurrentRow(0);
}

QStringList TfoVylouceni::Patterns() const {
    QStringList patterns;
    for (int row = 0; row < ListBox1->count(); ++row) {
        const QString pattern = TrimBlanks(ListBox1->item(row)->text());
        if (!pattern.isEmpty() && !patterns.contains(pattern))
            patterns.append(pattern);
    }
    return patterns;
}

bool TfoVylouceni::AddPattern(const QString& text) {
    const QString pattern = TrimBlanks(text);
    if (pattern.isEmpty() || !ListBox1->findItems(pattern, Qt::MatchExactly).isEmpty())
        return true;
    if (!ostrivane::settings::IsStorable(pattern.toStdString())) {
        ostrivane::ui::ShowMessage(
            this, QStringLiteral("Vzor „%1“ obsahuje znaky, které nelze uložit do nastavení !")
                      .arg(pattern));
        return false;
    }
    auto* item = new QListWidgetItem(pattern, ListBox1);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    return true;
}

void TfoVylouceni::BitBtn1Click() {
    if (AddPattern(Edit1->text())) {
        Edit1->clear();
        ListBox1->setCurrentRow(ListBox1->count() - 1);
    }
    Edit1->setFocus(Qt::OtherFocusReason);
}

void TfoVylouceni::BitBtn2Click() {
    for (QListWidgetItem* item : ListBox1->selectedItems())
        delete item;
}

void TfoVylouceni::BitBtn3Click() {
    for (const std::string_view pattern : ostrivane::scan::kSuggestedExclusions)
        AddPattern(QString::fromUtf8(pattern.data(), static_cast<qsizetype>(pattern.size())));
}

void TfoVylouceni::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    // Enter in the field adds what it holds; with the field empty it confirms the dialog.
    if (enter && focusWidget() == Edit1 && !TrimBlanks(Edit1->text()).isEmpty()) {
        BitBtn1Click();
        event->accept();
        return;
    }
    // Delete in the list (not in a pattern being edited there) removes the chosen patterns.
    if (event->key() == Qt::Key_Delete && focusWidget() == ListBox1) {
        BitBtn2Click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
