#include "DesktopTestEnvironment.h"

#include <QDir>
#include <QFile>

void SetVariable(const char* name, const std::optional<QByteArray>& value) {
    if (value)
        qputenv(name, *value);
    else
        qunsetenv(name);
}

static std::optional<QByteArray> ReadVariable(const char* name) {
    if (!qEnvironmentVariableIsSet(name))
        return std::nullopt;
    return qgetenv(name);
}

void DesktopEnvironmentTest::SetUp() {
    ASSERT_TRUE(root_.isValid());
    oldHome_ = ReadVariable("HOME");
    oldConfig_ = ReadVariable("XDG_CONFIG_HOME");
    ASSERT_TRUE(QDir().mkpath(Home()));
    qputenv("HOME", Home().toUtf8());
    qputenv("XDG_CONFIG_HOME", Config().toUtf8());
}

void DesktopEnvironmentTest::TearDown() {
    SetVariable("HOME", oldHome_);
    SetVariable("XDG_CONFIG_HOME", oldConfig_);
}

QString DesktopEnvironmentTest::MakeProgram(const QString& folderName) {
    const QString folder = Root() + "/" + folderName;
    EXPECT_TRUE(QDir().mkpath(folder));
    QFile exe(folder + "/ostrivane");
    EXPECT_TRUE(exe.open(QIODevice::WriteOnly));
    exe.write("#!/bin/sh\n");
    exe.close();
    QFile icon(folder + "/ostrivane.png");
    EXPECT_TRUE(icon.open(QIODevice::WriteOnly));
    icon.write("png");
    return folder + "/ostrivane";
}

QString DesktopEnvironmentTest::MakeInstalledProgram(QString& starter) {
    const QString exe = MakeProgram("usr/lib/ostrivane");
    starter = Root() + "/usr/bin/ostrivane";
    EXPECT_TRUE(QDir().mkpath(Root() + "/usr/bin"));
    EXPECT_TRUE(QFile::copy(exe, starter));
    EXPECT_TRUE(QFile::setPermissions(starter, QFile::permissions(starter) | QFile::ExeOwner));
    return exe;
}

QMap<QString, QString> ReadDesktopEntry(const QString& path) {
    QMap<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return keys;
    bool inGroup = false;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        if (line.startsWith('[')) {
            inGroup = line == "[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (inGroup && equals > 0) {
            EXPECT_FALSE(keys.contains(line.left(equals))) << "key twice: " << line.toStdString();
            keys.insert(line.left(equals), line.mid(equals + 1));
        }
    }
    return keys;
}

QString UnescapeString(const QString& value) {
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar next = value[++i];
        if (next == 'n')
            out += '\n';
        else if (next == 't')
            out += '\t';
        else if (next == 'r')
            out += '\r';
        else if (next == 's')
            out += ' ';
        else
            out += next;
    }
    return out;
}

std::optional<QStringList> ParseExec(const QString& value) {
    const QString text = UnescapeString(value);
    const QString reserved = " \t\n\"'\\><~|&;$*?#()`";
    QStringList arguments;
    QString current;
    bool inArgument = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == ' ') {
            if (inArgument)
                arguments << current;
            current.clear();
            inArgument = false;
            continue;
        }
        inArgument = true;
        if (c == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\') {
                    if (i + 1 == text.size() || !QString("\"`$\\").contains(text[i + 1]))
                        return std::nullopt;
                    ++i;
                } else if (text[i] == '`' || text[i] == '$') {
                    return std::nullopt; // must have been escaped
                }
                if (text[i] == '%') {
                    if (i + 1 == text.size() || text[i + 1] != '%')
                        return std::nullopt;
                    ++i;
                }
                current += text[i];
            }
            if (i == text.size())
                return std::nullopt; // quote never closed
            continue;
        }
        if (reserved.contains(c))
            return std::nullopt; // reserved character outside quotes
        if (c == '%') {
            if (i + 1 == text.size() || text[i + 1] != '%')
                return std::nullopt;
            ++i;
        }
        current += c;
    }
    if (inArgument)
        arguments << current;
    return arguments;
}
