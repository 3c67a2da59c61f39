#include "app/dialogs/RestoreModels.h"

#include "platform/fs/DosDateTime.h"
#include "platform/fs/Paths.h"

#include <QApplication>
#include <QBrush>
#include <QDateTime>
#include <QLocale>
#include <QStyle>

#include <algorithm>
#include <iterator>
#include <map>
#include <string_view>
#include <unordered_map>

namespace ostrivane::ui {

namespace {

enum BackupColumn { kMade, kArchive, kFileCount, kSize, kState, kBackupColumns };
enum FileColumn { kName, kFileSize, kFileTime, kFileColumns };
// The matches of a search through every backup have the backup's time as a fourth column.
constexpr int kMatchBackup = kFileColumns;

QString Text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString PathText(std::string_view storedName) {
    return Text(storedName).replace(QLatin1Char('\\'), QLatin1Char('/'));
}

// The columns' titles, in the order of the columns above.
const char* const kBackupTitles[] = {"Vytvořena", "Archiv", "Souborů", "Velikost", "Stav"};
const char* const kFileTitles[] = {"Název", "Velikost", "Datum a čas", "Záloha"};
static_assert(std::size(kBackupTitles) == kBackupColumns);
static_assert(std::size(kFileTitles) == kMatchBackup + 1);

template <std::size_t N>
QVariant Title(const char* const (&titles)[N], int section, Qt::Orientation orientation, int role) {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        static_cast<std::size_t>(section) >= N)
        return {};
    return QString::fromUtf8(titles[section]);
}

// Names compared as a file manager lists them: letters without regard to ASCII case.
bool NameBefore(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto lower = [](char c) {
            return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
        };
        if (lower(a[i]) != lower(b[i]))
            return lower(a[i]) < lower(b[i]);
    }
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

// A file's DOS date and time as one number that orders them.
std::uint32_t DosStamp(const restore::BackupFile& file) {
    return (static_cast<std::uint32_t>(file.Date) << 16) | file.Time;
}

} // namespace

QString SizeText(std::uint64_t bytes) {
    static const char* const kUnits[] = {"kB", "MB", "GB", "TB"};
    if (bytes < 1000)
        return QString::number(bytes) + QStringLiteral(" B");
    double value = static_cast<double>(bytes) / 1000;
    std::size_t unit = 0;
    while (value >= 999.95 && unit + 1 < std::size(kUnits)) {
        value /= 1000;
        ++unit;
    }
    return QLocale(QLocale::Czech).toString(value, 'f', 1) + QLatin1Char(' ') +
           QLatin1String(kUnits[unit]);
}

QString DosTimeText(std::uint16_t date, std::uint16_t time) {
    const ostrivane::fs::DosFields f = ostrivane::fs::UnpackDosDateTime(date, time);
    return QString::asprintf("%02d.%02d.%04d %02d:%02d", f.Day, f.Month, f.Year, f.Hour, f.Minute);
}

QString BackupTimeText(std::int64_t made) {
    return QDateTime::fromSecsSinceEpoch(made).toString(QStringLiteral("dd.MM.yyyy HH:mm"));
}

QVariant FileColumnTitle(int section, Qt::Orientation orientation, int role) {
    return Title(kFileTitles, section, orientation, role);
}

// ---- BackupListModel ----

BackupListModel::BackupListModel(QObject* parent) : QAbstractTableModel(parent) {}

void BackupListModel::SetBackups(const std::vector<restore::Backup>* backups) {
    beginResetModel();
    backups_ = backups;
    endResetModel();
}

int BackupListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || backups_ == nullptr ? 0 : static_cast<int>(backups_->size());
}

int BackupListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kBackupColumns;
}

QVariant BackupListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || backups_ == nullptr)
        return {};
    const restore::Backup& backup = backups_->at(static_cast<std::size_t>(index.row()));
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case kMade:
            return BackupTimeText(backup.Made);
        case kArchive:
            return Text(ostrivane::fs::NameOf(backup.Archive));
        case kFileCount:
            return QString::number(backup.Files.size());
        case kSize:
            return SizeText(backup.Bytes);
        case kState:
            return backup.Damaged() ? QStringLiteral("poškozená") : QString();
        }
    }
    if (role == Qt::ToolTipRole)
        return backup.Damaged()
                   ? QStringLiteral("Zálohu nelze celou přečíst: ") + Text(backup.Problem)
                   : Text(backup.Archive);
    if (role == Qt::ForegroundRole && backup.Damaged())
        return QBrush(Qt::darkRed);
    if (role == Qt::TextAlignmentRole && (index.column() == kFileCount || index.column() == kSize))
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant BackupListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    return Title(kBackupTitles, section, orientation, role);
}

// ---- BackupTreeModel ----

BackupTreeModel::BackupTreeModel(QObject* parent)
    : SortedFilesModel(parent),
      folderIcon_(QApplication::style()->standardIcon(QStyle::SP_DirIcon)),
      fileIcon_(QApplication::style()->standardIcon(QStyle::SP_FileIcon)) {
    nodes_.emplace_back();
}

void BackupTreeModel::SetBackup(const restore::Backup* backup) {
    // Clearing the search shows the same backup again: its tree is still there.
    if (backup == backup_)
        return;
    beginResetModel();
    backup_ = backup;
    Build();
    endResetModel();
}

void BackupTreeModel::Build() {
    // A new vector, so that a large tree's memory goes back when the dialog lets go of it.
    std::vector<Node>(1).swap(nodes_);
    std::vector<std::int32_t>().swap(children_);
    if (backup_ == nullptr)
        return;
    nodes_.reserve(backup_->Files.size() + backup_->Files.size() / 8 + 1);
    // Each folder by its path (a stretch of a stored name), made when first met.
    std::unordered_map<std::string_view, std::int32_t> folders;
    const auto add = [this](std::int32_t parent, std::int32_t file, std::uint32_t at,
                            std::size_t size) {
        Node node;
        node.Parent = parent;
        node.File = file;
        node.NameAt = at;
        node.NameSize = static_cast<std::uint16_t>(size);
        nodes_.push_back(node);
        ++nodes_[static_cast<std::size_t>(parent)].Rows;
        return static_cast<std::int32_t>(nodes_.size() - 1);
    };
    for (std::size_t i = 0; i < backup_->Files.size(); ++i) {
        const restore::BackupFile& file = backup_->Files[i];
        const std::string_view name = backup_->StoredName(file);
        std::int32_t parent = 0;
        std::size_t start = 0;
        for (std::size_t slash = name.find('\\'); slash != std::string_view::npos;
             slash = name.find('\\', start)) {
            if (slash > start) {
                const auto [folder, made] = folders.try_emplace(name.substr(0, slash), 0);
                if (made)
                    folder->second = add(
                        parent, -1, file.NameAt + static_cast<std::uint32_t>(start), slash - start);
                parent = folder->second;
            }
            start = slash + 1;
        }
        add(parent, static_cast<std::int32_t>(i), file.NameAt + static_cast<std::uint32_t>(start),
            name.size() - start);
        for (std::int32_t up = parent; up > 0; up = nodes_[static_cast<std::size_t>(up)].Parent)
            nodes_[static_cast<std::size_t>(up)].Bytes += file.Size;
    }
    // Each node's rows in one stretch, in the order they were made.
    std::uint32_t first = 0;
    for (Node& node : nodes_) {
        node.FirstChild = first;
        first += node.Rows;
        node.Rows = 0;
    }
    children_.resize(first);
    for (std::size_t id = 1; id < nodes_.size(); ++id) {
        Node& parent = nodes_[static_cast<std::size_t>(nodes_[id].Parent)];
        children_[parent.FirstChild + parent.Rows++] = static_cast<std::int32_t>(id);
    }
    SortRows();
}

void BackupTreeModel::SortRows() {
    if (backup_ == nullptr)
        return;
    const std::string_view names = backup_->Names;
    const auto& files = backup_->Files;
    const auto nameOf = [&](const Node& node) { return names.substr(node.NameAt, node.NameSize); };
    const auto timeOf = [&](const Node& node) {
        return node.File < 0 ? 0u : DosStamp(files[static_cast<std::size_t>(node.File)]);
    };
    const auto sizeOf = [&](const Node& node) {
        return node.File < 0 ? node.Bytes : files[static_cast<std::size_t>(node.File)].Size;
    };
    const bool descending = sortOrder_ == Qt::DescendingOrder;
    // Folders before files whichever the order; equal keys by name.
    const auto before = [&](std::int32_t left, std::int32_t right) {
        const Node& a = nodes_[static_cast<std::size_t>(left)];
        const Node& b = nodes_[static_cast<std::size_t>(right)];
        if ((a.File < 0) != (b.File < 0))
            return a.File < 0;
        const Node& first = descending ? b : a;
        const Node& second = descending ? a : b;
        if (sortColumn_ == kFileSize && sizeOf(first) != sizeOf(second))
            return sizeOf(first) < sizeOf(second);
        if (sortColumn_ == kFileTime && timeOf(first) != timeOf(second))
            return timeOf(first) < timeOf(second);
        if (sortColumn_ == kName || sortColumn_ >= kFileColumns)
            return NameBefore(nameOf(first), nameOf(second));
        return NameBefore(nameOf(a), nameOf(b));
    };
    for (const Node& node : nodes_) {
        const auto rows = children_.begin() + node.FirstChild;
        std::sort(rows, rows + node.Rows, before);
        for (std::uint32_t row = 0; row < node.Rows; ++row)
            nodes_[static_cast<std::size_t>(rows[row])].Row = static_cast<std::int32_t>(row);
    }
}

QModelIndexList BackupTreeModel::Reorder(const QModelIndexList& kept) {
    SortRows();
    // Each row follows its node.
    QModelIndexList moved;
    moved.reserve(kept.size());
    for (const QModelIndex& index : kept) {
        const std::int32_t id = NodeOf(index);
        moved.append(createIndex(nodes_[static_cast<std::size_t>(id)].Row, index.column(),
                                 static_cast<quintptr>(id)));
    }
    return moved;
}

std::int32_t BackupTreeModel::FileAt(const QModelIndex& index) const {
    return index.isValid() ? nodes_[static_cast<std::size_t>(NodeOf(index))].File : -1;
}

std::int32_t BackupTreeModel::NodeOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<std::int32_t>(index.internalId()) : 0;
}

std::vector<std::uint32_t> BackupTreeModel::FilesOf(const QModelIndexList& rows) const {
    if (backup_ == nullptr)
        return {};
    std::vector<char> chosen(backup_->Files.size(), 0);
    std::vector<std::int32_t> pending;
    for (const QModelIndex& row : rows)
        pending.push_back(NodeOf(row));
    while (!pending.empty()) {
        const Node& node = nodes_[static_cast<std::size_t>(pending.back())];
        pending.pop_back();
        if (node.File >= 0)
            chosen[static_cast<std::size_t>(node.File)] = 1;
        const auto rows = children_.begin() + node.FirstChild;
        pending.insert(pending.end(), rows, rows + node.Rows);
    }
    std::vector<std::uint32_t> files;
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        if (chosen[i] != 0)
            files.push_back(static_cast<std::uint32_t>(i));
    }
    return files;
}

QModelIndex BackupTreeModel::index(int row, int column, const QModelIndex& parent) const {
    const Node& node = nodes_[static_cast<std::size_t>(NodeOf(parent))];
    if (row < 0 || column < 0 || column >= kFileColumns ||
        static_cast<std::uint32_t>(row) >= node.Rows)
        return {};
    return createIndex(
        row, column,
        static_cast<quintptr>(children_[node.FirstChild + static_cast<std::uint32_t>(row)]));
}

QModelIndex BackupTreeModel::parent(const QModelIndex& child) const {
    const std::int32_t id = NodeOf(child);
    if (id == 0)
        return {};
    const std::int32_t parent = nodes_[static_cast<std::size_t>(id)].Parent;
    if (parent <= 0)
        return {};
    return createIndex(nodes_[static_cast<std::size_t>(parent)].Row, 0,
                       static_cast<quintptr>(parent));
}

int BackupTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0)
        return 0;
    return static_cast<int>(nodes_[static_cast<std::size_t>(NodeOf(parent))].Rows);
}

int BackupTreeModel::columnCount(const QModelIndex&) const {
    return kFileColumns;
}

QVariant BackupTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || backup_ == nullptr)
        return {};
    const Node& node = nodes_[static_cast<std::size_t>(NodeOf(index))];
    const bool folder = node.File < 0;
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case kName:
            return Text(std::string_view(backup_->Names).substr(node.NameAt, node.NameSize));
        case kFileSize:
            return SizeText(folder ? node.Bytes
                                   : backup_->Files[static_cast<std::size_t>(node.File)].Size);
        case kFileTime:
            if (folder)
                return {};
            const restore::BackupFile& file = backup_->Files[static_cast<std::size_t>(node.File)];
            return DosTimeText(file.Date, file.Time);
        }
    }
    if (role == Qt::DecorationRole && index.column() == kName)
        return folder ? folderIcon_ : fileIcon_;
    if (role == Qt::TextAlignmentRole && index.column() == kFileSize)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

// ---- FileMatchModel ----

FileMatchModel::FileMatchModel(QObject* parent)
    : SortedFilesModel(parent),
      fileIcon_(QApplication::style()->standardIcon(QStyle::SP_FileIcon)) {}

void FileMatchModel::SetMatches(const std::vector<restore::Backup>* backups,
                                std::vector<restore::FileRef> matches, bool withBackup) {
    beginResetModel();
    backups_ = backups;
    matches_ = std::move(matches);
    withBackup_ = withBackup;
    SortMatches();
    endResetModel();
}

void FileMatchModel::SortMatches() {
    if (backups_ == nullptr)
        return;
    const auto fileOf = [this](const restore::FileRef& ref) -> const restore::BackupFile& {
        return (*backups_)[ref.Backup].Files[ref.File];
    };
    const auto nameOf = [&](const restore::FileRef& ref) {
        return (*backups_)[ref.Backup].StoredName(fileOf(ref));
    };
    const bool descending = sortOrder_ == Qt::DescendingOrder;
    // Equal keys by name, then the newest backup first (the catalog's order).
    const auto before = [&](const restore::FileRef& left, const restore::FileRef& right) {
        const restore::FileRef& a = descending ? right : left;
        const restore::FileRef& b = descending ? left : right;
        switch (sortColumn_) {
        case kFileSize:
            if (fileOf(a).Size != fileOf(b).Size)
                return fileOf(a).Size < fileOf(b).Size;
            break;
        case kFileTime:
            if (DosStamp(fileOf(a)) != DosStamp(fileOf(b)))
                return DosStamp(fileOf(a)) < DosStamp(fileOf(b));
            break;
        case kMatchBackup:
            if (a.Backup != b.Backup)
                return a.Backup > b.Backup; // a later index is an older backup
            break;
        default:
            if (nameOf(a) != nameOf(b))
                return NameBefore(nameOf(a), nameOf(b));
            return a.Backup < b.Backup;
        }
        if (nameOf(left) != nameOf(right))
            return NameBefore(nameOf(left), nameOf(right));
        return left.Backup < right.Backup;
    };
    std::stable_sort(matches_.begin(), matches_.end(), before);
}

QModelIndexList FileMatchModel::Reorder(const QModelIndexList& kept) {
    const std::vector<restore::FileRef> old = matches_;
    SortMatches();
    // Each row follows its file.
    std::map<std::pair<std::uint32_t, std::uint32_t>, int> rowOf;
    for (std::size_t row = 0; row < matches_.size(); ++row)
        rowOf[{matches_[row].Backup, matches_[row].File}] = static_cast<int>(row);
    QModelIndexList moved;
    moved.reserve(kept.size());
    for (const QModelIndex& index : kept) {
        const restore::FileRef ref = old.at(static_cast<std::size_t>(index.row()));
        moved.append(this->index(rowOf[{ref.Backup, ref.File}], index.column()));
    }
    return moved;
}

int FileMatchModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(matches_.size());
}

int FileMatchModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kFileColumns + (withBackup_ ? 1 : 0);
}

QVariant FileMatchModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || backups_ == nullptr)
        return {};
    const restore::FileRef match = matches_[static_cast<std::size_t>(index.row())];
    const restore::Backup& backup = (*backups_)[match.Backup];
    const restore::BackupFile& file = backup.Files[match.File];
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case kName:
            return PathText(backup.StoredName(file));
        case kFileSize:
            return SizeText(file.Size);
        case kFileTime:
            return DosTimeText(file.Date, file.Time);
        case kMatchBackup:
            return BackupTimeText(backup.Made);
        }
    }
    if (role == Qt::DecorationRole && index.column() == kName)
        return fileIcon_;
    if (role == Qt::ToolTipRole && index.column() == kMatchBackup)
        return Text(backup.Archive);
    if (role == Qt::TextAlignmentRole && index.column() == kFileSize)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

} // namespace ostrivane::ui
