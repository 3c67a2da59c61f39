#include "app/dialogs/TfoVerze.h"

#include "app/dialogs/RestoreModels.h"
#include "app/widgets/DialogControls.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace ui = ostrivane::ui;

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 320;
// The column of the backup's time in the table of files (RestoreModels).
constexpr int kBackupColumn = 3;

} // namespace

TfoVerze::TfoVerze(const std::vector<ostrivane::restore::Backup>& backups,
                   std::vector<ostrivane::restore::FileRef> versions, const QString& name,
                   QWidget* parent)
    : QDialog(parent), model_(new ostrivane::ui::FileMatchModel(this)) {
    setObjectName(QStringLiteral("foVerze"));
    setWindowTitle(QStringLiteral("Verze souboru"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setSizeGripEnabled(true);
    resize(kWidth, kHeight);

    ListView1 = ui::MakeRowView(QStringLiteral("ListView1"), this);
    ListView1->setRootIsDecorated(false);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    model_->SetMatches(&backups, std::move(versions), true);
    ListView1->setModel(model_);
    // The newest backup first, as the list of backups has them.
    ListView1->header()->setSortIndicator(kBackupColumn, Qt::DescendingOrder);
    ListView1->setSortingEnabled(true);
    for (int column = 0; column < model_->columnCount(); ++column)
        ListView1->resizeColumnToContents(column);

    QString shown = name;
    Label1 = ui::MakeLabel(QStringLiteral("Label1"),
                           QStringLiteral("&Verze souboru %1 (%2):")
                               .arg(shown.replace(QLatin1Char('&'), QStringLiteral("&&")))
                               .arg(model_->rowCount()),
                           ListView1, this);

    BitBtn1 = ui::MakeButton(QStringLiteral("BitBtn1"), QStringLiteral("Obnovit na &původní místo"),
                             this);
    BitBtn2 =
        ui::MakeButton(QStringLiteral("BitBtn2"), QStringLiteral("Obnovit &do složky…"), this);
    BitBtn2->setDefault(true);
    BitBtn3 = ui::MakeButton(QStringLiteral("BitBtn3"), QStringLiteral("O&tevřít"), this);
    BitBtn4 = ui::MakeButton(QStringLiteral("BitBtn4"), QStringLiteral("&Zavřít"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn3);
    buttons->addStretch(1);
    buttons->addWidget(BitBtn4);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(ListView1, 1);
    layout->addLayout(buttons);

    if (model_->rowCount() > 0)
        ListView1->setCurrentIndex(model_->index(0, 0));
    ListView1->setFocus(Qt::OtherFocusReason);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { Choose(Action::RestoreToOriginal); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { Choose(Action::RestoreIntoFolder); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { Choose(Action::Open); });
    connect(BitBtn4, &QPushButton::clicked, this, &QDialog::reject);
    connect(ListView1, &QTreeView::doubleClicked, this, [this] { Choose(Action::Open); });
}

const std::vector<ostrivane::restore::FileRef>& TfoVerze::Versions() const {
    return model_->Matches();
}

void TfoVerze::Choose(Action action) {
    const QModelIndex current = ListView1->currentIndex();
    if (!current.isValid())
        return;
    version_ = model_->Matches().at(static_cast<std::size_t>(current.row()));
    chosen_ = action;
    accept();
}
