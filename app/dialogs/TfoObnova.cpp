#include "app/dialogs/TfoObnova.h"

#include "app/dialogs/BackgroundWork.h"
#include "app/dialogs/RestoreModels.h"
#include "app/dialogs/TfoVerze.h"
#include "app/restore/FileVersions.h"
#include "app/restore/RestoreTexts.h"
#include "app/widgets/BrowseForFolder.h"
#include "app/widgets/DialogControls.h"
#include "app/widgets/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include <malloc.h>

#include <algorithm>
#include <map>
#include <utility>

using ostrivane::restore::Backup;
using ostrivane::restore::FileRef;

namespace ui = ostrivane::ui;

namespace {

constexpr int kWidth = 780;
constexpr int kHeight = 560;
constexpr int kGaugeSteps = 1000;

// The backup list shows where the keyboard is: a frame in the highlight colour while it has the
// focus, and the chosen backup marked as strongly when it has not.
void MakeFocusVisible(QTreeView* view) {
    view->setStyleSheet(
        QStringLiteral("QTreeView { border: 2px solid palette(mid); }"
                       "QTreeView:focus { border: 2px solid palette(highlight); }"));
    QPalette palette = view->palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    view->setPalette(palette);
}

// A stored name as the user knows it ("Dokumenty\a.txt" -> "Dokumenty/a.txt").
QString PathText(std::string_view storedName) {
    return QString::fromUtf8(storedName.data(), static_cast<qsizetype>(storedName.size()))
        .replace(QLatin1Char('\\'), QLatin1Char('/'));
}

// The name of a group of stored names as the user knows it ("b\Data\" -> "b/Data").
QString GroupText(const std::string& prefix) {
    QString text = QString::fromStdString(prefix).replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (text.endsWith(QLatin1Char('/')))
        text.chop(1);
    return text;
}

} // namespace

TfoObnova::TfoObnova(QWidget* parent)
    : QDialog(parent), backupModel_(new ostrivane::ui::BackupListModel(this)),
      treeModel_(new ostrivane::ui::BackupTreeModel(this)),
      matchModel_(new ostrivane::ui::FileMatchModel(this)),
      work_(new ostrivane::ui::BackgroundWork(this)) {
    setObjectName(QStringLiteral("foObnova"));
    setWindowTitle(QStringLiteral("Obnova ze zálohy"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setSizeGripEnabled(true);
    resize(kWidth, kHeight);

    // The backups.
    auto* top = new QWidget(this);
    ListView1 = ui::MakeRowView(QStringLiteral("ListView1"), top);
    ListView1->setRootIsDecorated(false);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setModel(backupModel_);
    MakeFocusVisible(ListView1);
    Label1 =
        ui::MakeLabel(QStringLiteral("Label1"), QStringLiteral("Zá&lohy archivu"), ListView1, top);
    Label1->setTextFormat(Qt::PlainText);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addWidget(Label1);
    topLayout->addWidget(ListView1);

    // The files, with the search above them.
    auto* bottom = new QWidget(this);
    Edit1 = new QLineEdit(bottom);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setPlaceholderText(QStringLiteral("část názvu nebo cesty souboru"));
    Edit1->setClearButtonEnabled(true);
    Label2 = ui::MakeLabel(QStringLiteral("Label2"), QStringLiteral("&Hledat:"), Edit1, bottom);
    CheckBox1 = new QCheckBox(QStringLiteral("Hledat ve &všech zálohách"), bottom);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    TreeView1 = MakeFileView(bottom, 0, Qt::AscendingOrder);
    Label3 =
        ui::MakeLabel(QStringLiteral("Label3"), QStringLiteral("&Soubory:"), TreeView1, bottom);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(Label2);
    searchRow->addWidget(Edit1, 1);
    searchRow->addWidget(CheckBox1);
    auto* bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomLayout->addLayout(searchRow);
    bottomLayout->addWidget(Label3);
    bottomLayout->addWidget(TreeView1);

    Splitter1 = new QSplitter(Qt::Vertical, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(false);
    Splitter1->addWidget(top);
    Splitter1->addWidget(bottom);
    Splitter1->setStretchFactor(1, 3);
    Splitter1->setSizes({kHeight / 4, kHeight * 3 / 4});

    Gauge1 = new QProgressBar(this);
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Gauge1->setRange(0, kGaugeSteps);
    Gauge1->setVisible(false);
    Label4 = new QLabel(this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setTextFormat(Qt::PlainText);

    BitBtn1 = ui::MakeButton(QStringLiteral("BitBtn1"), QStringLiteral("Obnovit na &původní místo"),
                             this, true);
    BitBtn2 = ui::MakeButton(QStringLiteral("BitBtn2"), QStringLiteral("Obnovit &do složky…"), this,
                             true);
    BitBtn3 =
        ui::MakeButton(QStringLiteral("BitBtn3"), QStringLiteral("&Ověřit zálohu"), this, true);
    BitBtn6 =
        ui::MakeButton(QStringLiteral("BitBtn6"), QStringLiteral("V&erze souboru…"), this, true);
    BitBtn7 = ui::MakeButton(QStringLiteral("BitBtn7"), QStringLiteral("O&tevřít"), this, true);
    AddFileActions();
    BitBtn4 = ui::MakeButton(QStringLiteral("BitBtn4"), QStringLiteral("Z&rušit"), this, true);
    BitBtn5 = ui::MakeButton(QStringLiteral("BitBtn5"), QStringLiteral("&Zavřít"), this, true);
    BitBtn4->setVisible(false);
    // Enter in the lists asks for a folder to restore into: the choice that overwrites nothing
    // the user did not point at.
    BitBtn2->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn6);
    buttons->addWidget(BitBtn7);
    buttons->addWidget(BitBtn3);
    buttons->addStretch(1);
    buttons->addWidget(BitBtn4);
    buttons->addWidget(BitBtn5);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Splitter1, 1);
    layout->addWidget(Label4);
    layout->addWidget(Gauge1);
    layout->addLayout(buttons);

    const QList<QWidget*> order = {ListView1, Edit1,   CheckBox1, TreeView1, BitBtn1, BitBtn2,
                                   BitBtn6,   BitBtn7, BitBtn3,   BitBtn4,   BitBtn5};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));

    connect(ListView1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { ShowFiles(); });
    connect(Edit1, &QLineEdit::textChanged, this, &TfoObnova::Edit1Change);
    connect(CheckBox1, &QCheckBox::toggled, this, &TfoObnova::Edit1Change);
    const std::pair<QPushButton*, void (TfoObnova::*)()> clicks[] = {
        {BitBtn1, &TfoObnova::BitBtn1Click}, {BitBtn2, &TfoObnova::BitBtn2Click},
        {BitBtn3, &TfoObnova::BitBtn3Click}, {BitBtn4, &TfoObnova::BitBtn4Click},
        {BitBtn5, &TfoObnova::BitBtn5Click}, {BitBtn6, &TfoObnova::BitBtn6Click},
        {BitBtn7, &TfoObnova::BitBtn7Click}};
    for (const auto& [button, handler] : clicks)
        connect(button, &QPushButton::clicked, this, handler);
    connect(work_, &ostrivane::ui::BackgroundWork::Progress, this, &TfoObnova::ShowProgress,
            Qt::QueuedConnection);
    connect(work_, &ostrivane::ui::BackgroundWork::Finished, this, &TfoObnova::EndWork,
            Qt::QueuedConnection);
}

TfoObnova::~TfoObnova() {
    // The work reads the catalog and writes the summaries, which go before the work's object.
    work_->Stop();
    for (const ostrivane::restore::ViewCopy& copy : viewCopies_)
        ostrivane::restore::RemoveViewCopy(copy);
}

bool TfoObnova::RestoreRunning() const {
    return work_->Running();
}

void TfoObnova::Open(const QString& archive, const std::vector<std::string>& sourceFolders) {
    if (RestoreRunning())
        return;
    archive_ = archive;
    sourceFolders_ = sourceFolders;
    ReleaseCatalog();
    backups_ = ostrivane::restore::ReadCatalog(archive.toStdString());
    // Every backup's names are folded now, so that no keystroke waits for it.
    search_ = std::make_unique<ostrivane::restore::NameSearch>(backups_);
    backupModel_->SetBackups(&backups_);
    Label1->setText(QStringLiteral("Zá&lohy archivu ") +
                    QString(archive).replace(QLatin1Char('&'), QStringLiteral("&&")));
    const QSignalBlocker quietText(Edit1);
    const QSignalBlocker quietScope(CheckBox1);
    Edit1->clear();
    CheckBox1->setChecked(false);
    for (int column = 0; column < backupModel_->columnCount(); ++column)
        ListView1->resizeColumnToContents(column);
    // The newest backup: choosing it shows its files (the list's reset left no row chosen).
    if (!backups_.empty())
        ListView1->setCurrentIndex(backupModel_->index(0, 0));
    else
        ShowFiles();
}

void TfoObnova::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Edit1->setFocus(Qt::OtherFocusReason);
}

int TfoObnova::CurrentRow() const {
    const QModelIndex current = ListView1->currentIndex();
    return current.isValid() ? current.row() : -1;
}

const Backup* TfoObnova::CurrentBackup() const {
    const int row = CurrentRow();
    return row < 0 || static_cast<std::size_t>(row) >= backups_.size()
               ? nullptr
               : &backups_[static_cast<std::size_t>(row)];
}

void TfoObnova::Edit1Change() {
    ShowFiles();
}

void TfoObnova::SetViewModel(QAbstractItemModel* model, bool tree) {
    if (TreeView1->model() != model) {
        QItemSelectionModel* old = TreeView1->selectionModel();
        TreeView1->setModel(model);
        delete old;
        TreeView1->header()->setStretchLastSection(false);
        TreeView1->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    // The name takes what the size, the time and the backup's time leave.
    for (int column = 1; column < model->columnCount(); ++column)
        TreeView1->header()->resizeSection(column, column == 1 ? 90 : 130);
    TreeView1->setRootIsDecorated(tree);
}

void TfoObnova::ShowFiles() {
    const Backup* backup = CurrentBackup();
    const bool everywhere = CheckBox1->isChecked();
    const std::string text = Edit1->text().toStdString();
    if (backups_.empty()) {
        treeModel_->SetBackup(nullptr);
        SetViewModel(treeModel_, true);
        Label4->setText(QStringLiteral("Ve složce nejsou žádné zálohy tohoto archivu."));
    } else if (text.empty() && !everywhere) {
        treeModel_->SetBackup(backup);
        SetViewModel(treeModel_, true);
        QString state = backup == nullptr ? QString()
                                          : QStringLiteral("Souborů v záloze: ") +
                                                QString::number(backup->Files.size());
        if (backup != nullptr && backup->Damaged())
            state += QStringLiteral(" – záloha je poškozená, zbytek nelze přečíst");
        Label4->setText(state);
    } else {
        std::vector<FileRef> found;
        if (everywhere) {
            for (std::uint32_t b = 0; b < backups_.size(); ++b)
                search_->Find(text, b, found);
        } else if (CurrentRow() >= 0) {
            search_->Find(text, static_cast<std::uint32_t>(CurrentRow()), found);
        }
        Label4->setText(QStringLiteral("Nalezeno souborů: ") + QString::number(found.size()));
        matchModel_->SetMatches(&backups_, std::move(found), everywhere);
        SetViewModel(matchModel_, false);
    }
    const bool any = !backups_.empty();
    BitBtn1->setEnabled(any);
    BitBtn2->setEnabled(any);
    BitBtn6->setEnabled(any);
    BitBtn7->setEnabled(any);
    BitBtn3->setEnabled(backup != nullptr);
}

std::vector<TfoObnova::Choice> TfoObnova::ChosenFiles() const {
    const QModelIndexList rows = TreeView1->selectionModel() != nullptr
                                     ? TreeView1->selectionModel()->selectedRows(0)
                                     : QModelIndexList();
    std::vector<Choice> choice;
    if (TreeView1->model() == treeModel_) {
        if (CurrentRow() < 0)
            return {};
        const Backup& backup = backups_[static_cast<std::size_t>(CurrentRow())];
        // Nothing selected: everything shown, the whole backup.
        std::vector<std::uint32_t> files =
            rows.isEmpty() ? std::vector<std::uint32_t>() : treeModel_->FilesOf(rows);
        if (backup.Files.empty() || (!rows.isEmpty() && files.empty()))
            return {};
        choice.push_back({static_cast<std::uint32_t>(CurrentRow()), std::move(files)});
        return choice;
    }
    std::vector<FileRef> refs;
    if (rows.isEmpty()) {
        refs = matchModel_->Matches();
    } else {
        for (const QModelIndex& row : rows)
            refs.push_back(matchModel_->Matches().at(static_cast<std::size_t>(row.row())));
    }
    std::map<std::uint32_t, std::vector<std::uint32_t>> byBackup;
    for (const FileRef& ref : refs)
        byBackup[ref.Backup].push_back(ref.File);
    for (auto& [backup, files] : byBackup) {
        std::sort(files.begin(), files.end());
        choice.push_back({backup, std::move(files)});
    }
    return choice;
}

bool TfoObnova::MayStart() {
    if (RestoreRunning())
        return false;
    if (backupRunning_ && backupRunning_()) {
        ostrivane::ui::ShowMessage(
            this, QStringLiteral("Právě probíhá zálohování. Obnovu spusťte, až skončí."));
        return false;
    }
    // A backup made while the dialog was open has moved the archives along their series: the
    // names listed no longer hold what the list says.
    if (!std::all_of(backups_.begin(), backups_.end(), ostrivane::restore::Unchanged)) {
        Open(archive_, sourceFolders_);
        ostrivane::ui::ShowMessage(
            this, QStringLiteral("Zálohy se mezitím změnily. Seznam záloh je načten znovu, "
                                 "vyberte prosím soubory znovu."));
        return false;
    }
    return true;
}

std::vector<TfoObnova::Choice> TfoObnova::ChoiceToRestore() {
    if (!MayStart())
        return {};
    std::vector<Choice> choice = ChosenFiles();
    if (choice.empty())
        ostrivane::ui::ShowMessage(this, QStringLiteral("Nejsou vybrány žádné soubory k obnově."));
    return choice;
}

void TfoObnova::BitBtn1Click() {
    RestoreToOriginalPlaces(ChoiceToRestore());
}

void TfoObnova::RestoreToOriginalPlaces(std::vector<Choice> choice) {
    if (choice.empty())
        return;
    if (ostrivane::restore::AskBeforeRestoring(choice)) {
        const std::size_t count = ostrivane::restore::ChosenFileCount(backups_, choice);
        const bool whole = choice.size() == 1 && choice[0].Files.empty();
        const QString what =
            whole ? QStringLiteral("celou zálohu z %1 (souborů: %2)")
                        .arg(ostrivane::ui::BackupTimeText(backups_[choice[0].Backup].Made))
                        .arg(count)
                  : QStringLiteral("%1 souborů").arg(count);
        if (!ostrivane::ui::AskOkCancel(
                this, QStringLiteral("Obnova ze zálohy"),
                QStringLiteral("Obnovit %1 na původní místo?\n\nSoubor, který se od zálohy "
                               "změnil, zůstane, jak je, a obnovený se uloží vedle něj; soubor "
                               "shodný se zálohou zůstane beze změny.")
                    .arg(what)))
            return;
    }
    // The user is asked where a group of a backup without its record of the sources belongs.
    auto places = ostrivane::restore::OriginalPlacesOf(
        backups_, choice, sourceFolders_,
        [this](const std::string& prefix) -> std::optional<std::string> {
            const QString title =
                prefix.empty()
                    ? QStringLiteral("Kam patří soubory zálohy, které nejsou v žádné složce?")
                    : QStringLiteral("Původní místo složky „%1“ nelze určit. Kam patří?")
                          .arg(GroupText(prefix));
            QString folder;
            if (!BrowseForFolder(title, QString(), folder, this))
                return std::nullopt;
            return folder.toStdString();
        });
    if (!places)
        return;
    workPlaces_ = std::move(*places);
    StartRestore(std::move(choice), {});
}

void TfoObnova::BitBtn2Click() {
    RestoreIntoFolder(ChoiceToRestore());
}

void TfoObnova::RestoreIntoFolder(std::vector<Choice> choice) {
    if (choice.empty())
        return;
    QString folder;
    if (!BrowseForFolder(QStringLiteral("Vyberte složku, do které se soubory obnoví"), QString(),
                         folder, this))
        return;
    workPlaces_.clear();
    StartRestore(std::move(choice), folder.toStdString());
}

std::optional<ostrivane::restore::FileRef> TfoObnova::CurrentFile() const {
    const QModelIndex current = TreeView1->currentIndex();
    if (!current.isValid())
        return std::nullopt;
    if (TreeView1->model() == treeModel_) {
        const std::int32_t file = treeModel_->FileAt(current);
        if (file < 0 || CurrentRow() < 0)
            return std::nullopt;
        return FileRef{static_cast<std::uint32_t>(CurrentRow()), static_cast<std::uint32_t>(file)};
    }
    return matchModel_->Matches().at(static_cast<std::size_t>(current.row()));
}

void TfoObnova::BitBtn6Click() {
    const std::optional<FileRef> file = CurrentFile();
    if (!file) {
        ostrivane::ui::ShowMessage(this, QStringLiteral("Vyberte v seznamu souborů soubor."));
        return;
    }
    const Backup& backup = backups_[file->Backup];
    const std::string_view name = backup.StoredName(backup.Files[file->File]);
    TfoVerze versions(backups_, ostrivane::restore::FileVersions(backups_, name), PathText(name),
                      this);
    if (versions.exec() != QDialog::Accepted || !MayStart())
        return;
    const FileRef chosen = versions.Version();
    switch (versions.Chosen()) {
    case TfoVerze::Action::RestoreToOriginal:
        RestoreToOriginalPlaces({{chosen.Backup, {chosen.File}}});
        break;
    case TfoVerze::Action::RestoreIntoFolder:
        RestoreIntoFolder({{chosen.Backup, {chosen.File}}});
        break;
    case TfoVerze::Action::Open:
        StartOpen(chosen);
        break;
    case TfoVerze::Action::None:
        break;
    }
}

void TfoObnova::BitBtn7Click() {
    const std::optional<FileRef> file = CurrentFile();
    if (!file) {
        ostrivane::ui::ShowMessage(this, QStringLiteral("Vyberte v seznamu souborů soubor."));
        return;
    }
    if (MayStart())
        StartOpen(*file);
}

void TfoObnova::StartOpen(FileRef ref) {
    const Backup& backup = backups_[ref.Backup];
    const QString name = PathText(backup.StoredName(backup.Files[ref.File]));
    restoreSummary_ = {};
    openedCopy_.reset();
    afterWork_ = [this, name] {
        if (!openedCopy_) {
            if (restoreSummary_.Cancelled)
                return;
            QString why;
            if (!restoreSummary_.Problems.empty())
                why = QStringLiteral(": ") + QString::fromStdString(ostrivane::restore::ProblemText(
                                                 restoreSummary_.Problems.front()));
            ostrivane::ui::ShowError(
                this, QStringLiteral("Soubor „%1“ nelze ze zálohy otevřít%2").arg(name, why));
            return;
        }
        viewCopies_.push_back(*openedCopy_);
        if (!QDesktopServices::openUrl(
                QUrl::fromLocalFile(QString::fromStdString(openedCopy_->File))))
            ostrivane::ui::ShowError(
                this, QStringLiteral("Pro soubor „%1“ není nastavena žádná aplikace, která by jej "
                                     "otevřela.")
                          .arg(QString::fromStdString(openedCopy_->File)));
    };
    BeginWork(QStringLiteral("Otevírám"), backup.Files[ref.File].Size);
    {
        const std::lock_guard<std::mutex> hold(workFileMutex_);
        workFile_ = name.toStdString();
    }
    const std::string tempRoot = QDir::tempPath().toStdString();
    work_->Start([this, ref, tempRoot] {
        ostrivane::restore::RestoreControl control;
        control.Cancel = work_->CancelFlag();
        control.Progress = [this](std::uint64_t bytes) { work_->ReportProgress(bytes); };
        openedCopy_ = ostrivane::restore::CopyForViewing(backups_[ref.Backup], ref.File, tempRoot,
                                                         control, restoreSummary_);
    });
}

void TfoObnova::StartRestore(std::vector<Choice> choice, const std::string& folder) {
    std::uint64_t total = 0;
    for (const Choice& chosen : choice)
        total += ostrivane::restore::ChosenBytes(backups_[chosen.Backup], chosen.Files);
    workChoice_ = std::move(choice);
    restoreSummary_ = {};
    afterWork_ = [this] {
        const QString text =
            QString::fromStdString(ostrivane::restore::RestoreMessage(restoreSummary_));
        if (restoreSummary_.Problems.empty())
            ostrivane::ui::ShowMessage(this, text);
        else
            ostrivane::ui::ShowError(this, text);
    };
    BeginWork(QStringLiteral("Obnovuji"), total);
    work_->Start([this, folder] {
        ostrivane::restore::RestoreControl control;
        control.Cancel = work_->CancelFlag();
        control.Progress = [this](std::uint64_t bytes) { work_->ReportProgress(bytes); };
        control.File = [this](const std::string& name) {
            const std::lock_guard<std::mutex> hold(workFileMutex_);
            workFile_ = name;
        };
        for (std::size_t i = 0; i < workChoice_.size() && !control.Cancel->load(); ++i) {
            const Choice& chosen = workChoice_[i];
            ostrivane::restore::RestoreFiles(backups_[chosen.Backup], chosen.Files, folder,
                                             workPlaces_.empty() ? nullptr : &workPlaces_[i],
                                             control, restoreSummary_);
        }
        restoreSummary_.Cancelled = restoreSummary_.Cancelled || control.Cancel->load();
    });
}

void TfoObnova::BitBtn3Click() {
    const Backup* backup = CurrentBackup();
    if (backup == nullptr || !MayStart())
        return;
    checkSummary_ = {};
    afterWork_ = [this, backup] {
        const QString text =
            QString::fromStdString(ostrivane::restore::CheckMessage(*backup, checkSummary_));
        if (checkSummary_.Bad == 0)
            ostrivane::ui::ShowMessage(this, text);
        else
            ostrivane::ui::ShowError(this, text);
    };
    BeginWork(QStringLiteral("Ověřuji zálohu"), backup->FileBytes());
    work_->Start([this, backup] {
        checkSummary_ = ostrivane::restore::CheckBackup(
            *backup, work_->CancelFlag(),
            [this](std::uint64_t bytes) { work_->ReportProgress(bytes); });
    });
}

void TfoObnova::BitBtn4Click() {
    if (!RestoreRunning())
        return;
    work_->Cancel();
    Label4->setText(QStringLiteral("Ruším…"));
}

void TfoObnova::BitBtn5Click() {
    reject();
}

void TfoObnova::reject() {
    if (RestoreRunning()) {
        BitBtn4Click();
        return;
    }
    QDialog::reject();
}

void TfoObnova::done(int result) {
    QDialog::done(result);
    ReleaseCatalog();
    RenewFileView();
}

QTreeView* TfoObnova::MakeFileView(QWidget* parent, int sortColumn, Qt::SortOrder order) {
    QTreeView* view = ui::MakeRowView(QStringLiteral("TreeView1"), parent);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Sorted by name until the user clicks another column's header.
    view->header()->setSortIndicator(sortColumn, order);
    view->setSortingEnabled(true);
    return view;
}

void TfoObnova::AddFileActions() {
    // The same two as the buttons, from the files' context menu.
    for (QPushButton* button : {BitBtn6, BitBtn7}) {
        auto* action = new QAction(QString(button->text()).remove(QLatin1Char('&')), TreeView1);
        connect(action, &QAction::triggered, button, &QPushButton::click);
        TreeView1->addAction(action);
    }
    TreeView1->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void TfoObnova::RenewFileView() {
    // A view keeps room for as many rows as it ever showed (hundreds of thousands of files
    // found in every backup take tens of MB): a new one takes the old one's place, with its
    // order of sorting.
    QTreeView* old = TreeView1;
    TreeView1 = MakeFileView(old->parentWidget(), old->header()->sortIndicatorSection(),
                             old->header()->sortIndicatorOrder());
    AddFileActions();
    old->parentWidget()->layout()->replaceWidget(old, TreeView1);
    Label3->setBuddy(TreeView1);
    setTabOrder(CheckBox1, TreeView1);
    setTabOrder(TreeView1, BitBtn1);
    SetViewModel(treeModel_, true);
    old->hide();
    connect(old, &QObject::destroyed, [] { ::malloc_trim(0); });
    old->deleteLater();
}

void TfoObnova::ReleaseCatalog() {
    // The views let go of the catalog before it goes.
    treeModel_->SetBackup(nullptr);
    matchModel_->SetMatches(nullptr, {}, false);
    backupModel_->SetBackups(nullptr);
    search_.reset();
    std::vector<ostrivane::restore::Backup>().swap(backups_);
    std::vector<Choice>().swap(workChoice_);
    std::vector<ostrivane::restore::OriginalPlaces>().swap(workPlaces_);
    restoreSummary_ = {};
    // The freed blocks go back to the system: the program lives on in the tray for days.
    ::malloc_trim(0);
}

void TfoObnova::keyPressEvent(QKeyEvent* event) {
    // Enter or the down arrow in the search goes on to the files found.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
         event->key() == Qt::Key_Down) &&
        focusWidget() == Edit1) {
        TreeView1->setFocus(Qt::TabFocusReason);
        if (!TreeView1->currentIndex().isValid() && TreeView1->model() != nullptr)
            TreeView1->setCurrentIndex(TreeView1->model()->index(0, 0));
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfoObnova::BeginWork(const QString& what, std::uint64_t total) {
    workTotal_ = total;
    idleText_ = Label4->text();
    workText_ = what;
    timeLeft_.Start(total, ostrivane::restore::TimeLeft::Clock::now());
    {
        const std::lock_guard<std::mutex> hold(workFileMutex_);
        workFile_.clear();
    }
    for (QWidget* control : std::initializer_list<QWidget*>{Splitter1, BitBtn1, BitBtn2, BitBtn3,
                                                            BitBtn5, BitBtn6, BitBtn7})
        control->setEnabled(false);
    Gauge1->setValue(0);
    Gauge1->setVisible(true);
    BitBtn4->setVisible(true);
    BitBtn4->setEnabled(true);
    BitBtn4->setFocus(Qt::OtherFocusReason);
    Label4->setText(what + QStringLiteral("…"));
}

void TfoObnova::ShowProgress(quint64 done) {
    if (workTotal_ > 0)
        Gauge1->setValue(
            static_cast<int>(std::min<std::uint64_t>(done, workTotal_) * kGaugeSteps / workTotal_));
    // What is being written, and how long the rest takes at the pace so far.
    QString text = workText_;
    {
        const std::lock_guard<std::mutex> hold(workFileMutex_);
        if (!workFile_.empty())
            text += QStringLiteral(": ") + QString::fromStdString(workFile_);
    }
    if (const auto left = timeLeft_.Estimate(done, ostrivane::restore::TimeLeft::Clock::now()))
        text +=
            QStringLiteral(" – ") + QString::fromStdString(ostrivane::restore::TimeLeftText(*left));
    Label4->setText(text);
}

void TfoObnova::EndWork() {
    Gauge1->setValue(kGaugeSteps);
    Gauge1->setVisible(false);
    BitBtn4->setVisible(false);
    for (QWidget* control : std::initializer_list<QWidget*>{Splitter1, BitBtn1, BitBtn2, BitBtn3,
                                                            BitBtn5, BitBtn6, BitBtn7})
        control->setEnabled(true);
    Label4->setText(idleText_);
    emit RestoreEnded();
    if (afterWork_) {
        const std::function<void()> tell = std::move(afterWork_);
        afterWork_ = nullptr;
        tell();
    }
    TreeView1->setFocus(Qt::OtherFocusReason);
}
