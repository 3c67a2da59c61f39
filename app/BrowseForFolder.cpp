#include "app/BrowseForFolder.h"

#include <QApplication>
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
    const std::optional<QString> chosen = ostrivane::ui::Chooser()(parent, Title, Root, Folder);
    if (!chosen)
        return false;
    Folder = *chosen;
    return true;
}
