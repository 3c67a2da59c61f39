// The shared folder-browse routine of the source dialog and the destination field.
#pragma once

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace ostrivane::ui {

// Shows a folder chooser (existing folders only) and returns the chosen folder, or nothing when
// the user cancels. `start` is the folder to open at; it may be empty.
using FolderChooser = std::function<std::optional<QString>(
    QWidget* parent, const QString& title, const QString& root, const QString& start)>;

// Replaces the chooser (tests); an empty one puts QFileDialog::getExistingDirectory back.
void SetFolderChooser(FolderChooser chooser);

} // namespace ostrivane::ui

// Opens the folder browser with `Title` above it, starting at `Root` when that is not empty and
// pre-selecting `Folder` when it names an existing folder (otherwise Folder is emptied first);
// with neither, it opens at the user's home.
// True with the chosen folder's full path in Folder when the user confirms; false when the user
// cancels, Folder then keeping its (possibly emptied) text. While the browser is open the rest
// of the program takes no input.
bool BrowseForFolder(const QString& Title, const QString& Root, QString& Folder,
                     QWidget* parent = nullptr);
