// The item models of the restore dialog over a catalog of backups (app/restore): the list of
// the backups, one backup's files as a tree of folders, and a flat table of files found by a
// search, in one backup or in all of them (or of the versions of one file). The files sort by
// any column, by name unless the user chose otherwise; the order chosen holds for what is shown
// next. They keep indices into the catalog, never copies of
// its names, so that tens of thousands of files cost a few bytes each.
#pragma once

#include "app/restore/BackupCatalog.h"
#include "app/restore/NameSearch.h"

#include <QAbstractItemModel>
#include <QIcon>

#include <cstdint>
#include <vector>

namespace ostrivane::ui {

// The texts the models show: a size, a file's DOS date and time, a backup's time.
QString SizeText(std::uint64_t bytes);
QString DosTimeText(std::uint16_t date, std::uint16_t time);
QString BackupTimeText(std::int64_t made);

// The backups, one row each, in the catalog's order (the newest first).
class BackupListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit BackupListModel(QObject* parent = nullptr);
    // Shows `backups`, which must stay as they are until the next call.
    void SetBackups(const std::vector<restore::Backup>* backups);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const std::vector<restore::Backup>* backups_ = nullptr;
};

// The files' columns' titles ("Název", "Velikost", ...) for headerData.
QVariant FileColumnTitle(int section, Qt::Orientation orientation, int role);

// What the two models of files share: the files' columns with their titles, and the sort by any
// of them, which the rows the view keeps (the current one, the selection) follow. `QtModel` is
// the Qt model the rows are shown as.
template <class QtModel> class SortedFilesModel : public QtModel {
public:
    using QtModel::QtModel;

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        return FileColumnTitle(section, orientation, role);
    }
    void sort(int column, Qt::SortOrder order) override {
        sortColumn_ = column;
        sortOrder_ = order;
        emit this->layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        const QModelIndexList kept = this->persistentIndexList();
        this->changePersistentIndexList(kept, Reorder(kept));
        emit this->layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }

protected:
    // Puts the rows in the order chosen; where each row of `kept` stands now.
    virtual QModelIndexList Reorder(const QModelIndexList& kept) = 0;

    int sortColumn_ = 0;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

// The files of one backup as a tree of folders, the stored names' "\" between them; folders
// first, then files, each by the column chosen (the name, the size or the time).
class BackupTreeModel : public SortedFilesModel<QAbstractItemModel> {
    Q_OBJECT
public:
    explicit BackupTreeModel(QObject* parent = nullptr);
    // Shows the files of `backup` (nothing for nullptr), which must stay as it is.
    void SetBackup(const restore::Backup* backup);

    // The files (indices in the backup's Files) of the rows `rows`, those of every folder among
    // them with everything below it, each once, in the backup's order.
    std::vector<std::uint32_t> FilesOf(const QModelIndexList& rows) const;
    // The file (an index in the backup's Files) of the row `index`; -1 for a folder.
    std::int32_t FileAt(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    QModelIndexList Reorder(const QModelIndexList& kept) override;

    struct Node {
        std::int32_t Parent = -1;
        std::int32_t Row = 0;
        std::int32_t File = -1;   // index in the backup's Files; -1 for a folder
        std::uint32_t NameAt = 0; // the node's own name in the backup's Names
        std::uint16_t NameSize = 0;
        std::uint64_t Bytes = 0;      // a folder: the size of everything below it
        std::uint32_t FirstChild = 0; // its rows: children_[FirstChild, FirstChild + Rows)
        std::uint32_t Rows = 0;
    };
    void Build();
    // Orders every folder's rows by the chosen column and renumbers them.
    void SortRows();
    std::int32_t NodeOf(const QModelIndex& index) const;

    const restore::Backup* backup_ = nullptr;
    std::vector<Node> nodes_; // 0 is the invisible root
    // Every node's rows, one stretch a node (a list for each would cost a file 24 bytes more).
    std::vector<std::int32_t> children_;
    QIcon folderIcon_;
    QIcon fileIcon_;
};

// Files found by a search: one row each, with its path, size, time and, when the search spans
// every backup, the time of its backup.
class FileMatchModel : public SortedFilesModel<QAbstractTableModel> {
    Q_OBJECT
public:
    explicit FileMatchModel(QObject* parent = nullptr);
    // Shows `matches` among `backups` (which must stay as they are); `withBackup` adds the
    // column of the backup's time.
    void SetMatches(const std::vector<restore::Backup>* backups,
                    std::vector<restore::FileRef> matches, bool withBackup);
    const std::vector<restore::FileRef>& Matches() const { return matches_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    QModelIndexList Reorder(const QModelIndexList& kept) override;
    void SortMatches();

    const std::vector<restore::Backup>* backups_ = nullptr;
    std::vector<restore::FileRef> matches_;
    bool withBackup_ = false;
    QIcon fileIcon_;
};

} // namespace ostrivane::ui
