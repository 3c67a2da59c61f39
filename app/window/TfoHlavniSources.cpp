// The backup source list on the "Soubory" tab: the grid and the add, edit and delete buttons.
#include "app/dialogs/TfoVyberSouboru.h"
#include "app/widgets/MessageBoxes.h"
#include "app/widgets/TextTrim.h"
#include "app/window/TfoHlavni.h"

#include <QLineEdit>
#include <QTableWidget>

#include <algorithm>

using ostrivane::TrimBlanks;

namespace {

// The grid's least number of rows, the header row included.
constexpr int kMinRowCount = 20;

void SetCell(QTableWidget* grid, int tableRow, int column, const QString& text) {
    QTableWidgetItem* item = grid->item(tableRow, column);
    if (item == nullptr) {
        item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        grid->setItem(tableRow, column, item); // the grid owns the item
    }
    item->setText(text);
}

} // namespace

// The header is the table's horizontal header, so grid row r is table row r - 1.
int TfoHlavni::RowCount() const {
    return StringGrid1->rowCount() + 1;
}

int TfoHlavni::Row() const {
    return StringGrid1->currentRow() + 1;
}

void TfoHlavni::SetRow(int row) {
    StringGrid1->setCurrentCell(row - 1, 0);
}

QString TfoHlavni::Cells(int column, int row) const {
    if (row == 0)
        return StringGrid1->horizontalHeaderItem(column)->text();
    const QTableWidgetItem* item = StringGrid1->item(row - 1, column);
    return item == nullptr ? QString() : item->text();
}

void TfoHlavni::RefreshStringGrid1() {
    const int selected = StringGrid1->currentRow();
    const int rowCount = std::max(kMinRowCount, static_cast<int>(Sources.size()) + 1);
    StringGrid1->setRowCount(rowCount - 1);
    for (int row = 0; row < rowCount - 1; ++row) {
        SetCell(StringGrid1, row, 0, QString());
        SetCell(StringGrid1, row, 1, QString());
    }
    for (std::size_t k = 0; k < Sources.size(); ++k) {
        SetCell(StringGrid1, static_cast<int>(k), 0, Sources[k].Folder);
        SetCell(StringGrid1, static_cast<int>(k), 1, Sources[k].Mask);
    }
    // The selected row stays where it was (first data row when none was selected yet).
    StringGrid1->setCurrentCell(std::clamp(selected, 0, rowCount - 2), 0);
}

void TfoHlavni::BitBtn4Click() {
    // The entry exists before the dialog is shown: a cancelled add leaves it empty.
    Sources.push_back(TZaloha{});
    if (foVyberSouboru_ != nullptr && foVyberSouboru_->exec() == QDialog::Accepted) {
        Sources.back().Folder = TrimBlanks(foVyberSouboru_->Edit1->text());
        Sources.back().Mask = TrimBlanks(foVyberSouboru_->Edit2->text());
    }
    RefreshStringGrid1();
}

void TfoHlavni::BitBtn5Click() {
    EditSelectedSource();
}

void TfoHlavni::StringGrid1DblClick() {
    EditSelectedSource();
}

void TfoHlavni::EditSelectedSource() {
    const int k = Row() - 1;
    if (k < 0 || k >= static_cast<int>(Sources.size()) || foVyberSouboru_ == nullptr)
        return;
    const auto index = static_cast<std::size_t>(k);
    foVyberSouboru_->Edit1->setText(TrimBlanks(Sources[index].Folder));
    foVyberSouboru_->Edit2->setText(TrimBlanks(Sources[index].Mask));
    if (foVyberSouboru_->exec() == QDialog::Accepted && index < Sources.size()) {
        Sources[index].Folder = TrimBlanks(foVyberSouboru_->Edit1->text());
        Sources[index].Mask = TrimBlanks(foVyberSouboru_->Edit2->text());
    }
    RefreshStringGrid1();
}

void TfoHlavni::BitBtn6Click() {
    const int k = Row() - 1;
    if (k < 0 || k >= static_cast<int>(Sources.size()))
        return;
    if (!ostrivane::ui::AskOkCancel(this, QStringLiteral("Dotaz programu ..."),
                                    QStringLiteral("   Smazat tento záznam souborů ?")))
        return;
    if (k < static_cast<int>(Sources.size()))
        Sources.erase(Sources.begin() + k);
    RefreshStringGrid1();
}
