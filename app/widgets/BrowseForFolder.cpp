#include "app/widgets/BrowseForFolder.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace ostrivane::ui {

namespace {

std::optional<QString> ChooseWithFileDialog(QWidget* parent, const QString& title,
                                            const QString& root, const QString& start) {
    // The static dialog is application modal, so no other window of the program takes input
    // while it is open.
    const QString directory = start.isEmpty() ? root : start;
    const QString chosen = QFileDialog::getExistingDirectory(
        parent, title, directory, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

FolderChooser& Chooser() {
    static FolderChooser chooser = ChooseWithFileDialog;
    return chooser;
}

} // namespace

void SetFolderChooser(FolderChooser chooser) {
    Chooser() = chooser ? std::move(chooser) : FolderChooser(ChooseWithFileDialog);
}

} // namespace ostrivane::ui

bool BrowseForFolder(const QString& Title, const QString& Root, QString& Folder, QWidget* parent) {
    if (!QFileInfo(Folder).isDir())
        Folder.clear();
    if (parent == nullptr)
        parent = QApplication::activeWindow();
    // With nothing to start from, the browser opens at the user's home, not at whatever the
    // working folder happens to be.
    const QString start = Folder.isEmpty() && Root.isEmpty() ? QDir::homePath() : Folder;
    const std::optional<QString> chosen = ostrivane::ui::Chooser()(parent, Title, Root, start);
    if (!chosen)
        return false;
    Folder = *chosen;
    return true;
}
