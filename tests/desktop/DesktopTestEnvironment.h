// A private HOME and XDG_CONFIG_HOME for each test, and a reader for the desktop-entry files the
// code under test writes.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

// Sets HOME and XDG_CONFIG_HOME to folders inside a fresh temporary folder and puts the old
// values back afterwards.
class DesktopEnvironmentTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString Root() const { return root_.path(); }
    QString Home() const { return root_.path() + "/home"; }
    QString Config() const { return root_.path() + "/config"; }
    // A program folder with the executable file and its icon beside it.
    QString MakeProgram(const QString& folderName);
    // The installed layout under Root()/usr: the executable in lib/ostrivane (with the icon file
    // beside it) and an executable starter bin/ostrivane, whose path goes to `starter`.
    QString MakeInstalledProgram(QString& starter);

private:
    QTemporaryDir root_;
    std::optional<QByteArray> oldHome_;
    std::optional<QByteArray> oldConfig_;
};

// Sets or clears an environment variable; nullopt clears it.
void SetVariable(const char* name, const std::optional<QByteArray>& value);

// The keys of the [Desktop Entry] group of a file, values still escaped as in the file.
QMap<QString, QString> ReadDesktopEntry(const QString& path);

// An Exec value split back into its arguments following the desktop-entry rules: the string
// escapes first, then double quotes with backslash escapes, then %% as a literal %.
// nullopt when the value breaks the rules (open quote, stray escape, a lone % ...).
std::optional<QStringList> ParseExec(const QString& value);

// Unescapes a string value (\\ \n \t \r \s).
QString UnescapeString(const QString& value);
