#include "UiTestSupport.h"

#include "app/widgets/BrowseForFolder.h"
#include "cabinet/component/CabinetLibrary.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>
#include <iconv.h>

#include <memory>

namespace uitest {

namespace {

struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};

QByteArray Convert(const char* to, const char* from, const QByteArray& input) {
    std::unique_ptr<void, IconvCloser> cd(iconv_open(to, from));
    if (cd.get() == reinterpret_cast<void*>(-1)) {
        cd.release();
        ADD_FAILURE() << "iconv cannot convert " << from << " to " << to;
        return {};
    }
    QByteArray in = input;
    QByteArray out(input.size() * 4 + 16, '\0');
    char* inPtr = in.data();
    std::size_t inLeft = static_cast<std::size_t>(in.size());
    char* outPtr = out.data();
    std::size_t outLeft = static_cast<std::size_t>(out.size());
    if (iconv(static_cast<iconv_t>(cd.get()), &inPtr, &inLeft, &outPtr, &outLeft) ==
        static_cast<std::size_t>(-1))
        ADD_FAILURE() << "text not convertible to " << to;
    out.resize(out.size() - static_cast<qsizetype>(outLeft));
    return out;
}

// The lines of the raw file, decoded.
QStringList FileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (QByteArray line : file.readAll().split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(FromWindows1250(line));
    }
    return lines;
}

// Calls `visit(key, value)` for each key line of `section`.
template <class Visit> void ForEachKey(const QString& path, const QString& section, Visit visit) {
    bool inSection = false;
    for (const QString& raw : FileLines(path)) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inSection = line.compare(QLatin1Char('[') + section + QLatin1Char(']'),
                                     Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (inSection && eq > 0)
            visit(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
}

} // namespace

MessageRecorder::MessageRecorder() {
    ostrivane::ui::SetMessageHook([this](const ostrivane::ui::MessageRequest& request) {
        shown.push_back(request);
        if (onShow)
            onShow(request);
        if (answers.empty())
            return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    });
}

MessageRecorder::~MessageRecorder() {
    ostrivane::ui::SetMessageHook({});
}

QStringList MessageRecorder::Texts() const {
    QStringList texts;
    for (const auto& request : shown)
        texts.append(request.text);
    return texts;
}

FolderChooserStub::FolderChooserStub(std::optional<QString> chosen) : result(std::move(chosen)) {
    ostrivane::ui::SetFolderChooser(
        [this](QWidget*, const QString& title, const QString&, const QString& start) {
            titles.append(title);
            starts.append(start);
            return result;
        });
}

FolderChooserStub::~FolderChooserStub() {
    ostrivane::ui::SetFolderChooser({});
}

void WhenModalWindow(std::function<bool(QWidget*)> awaited, std::function<void(QWidget*)> act,
                     int attempts) {
    auto tries = std::make_shared<int>(0);
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [awaited, act, attempts, tries, poll] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal->isVisible() && awaited(modal)) {
            act(modal);
            *poll = nullptr; // break the cycle
            return;
        }
        if (++*tries > attempts) {
            ADD_FAILURE() << "the modal window awaited did not open";
            *poll = nullptr;
            return;
        }
        QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
}

void WhenModal(std::function<void(QDialog*)> act) {
    WhenModalWindow([](QWidget* modal) { return qobject_cast<QDialog*>(modal) != nullptr; },
                    [act](QWidget* modal) {
                        auto* dialog = static_cast<QDialog*>(modal);
                        // Focus moves need the dialog to be the active window.
                        QApplication::setActiveWindow(dialog);
                        dialog->activateWindow();
                        if (!QTest::qWaitForWindowActive(dialog))
                            ADD_FAILURE() << "the dialog did not become active";
                        act(dialog);
                    });
}

bool CabinetReady() {
    return CabinetLoaded() || LoadCabinetLibrary(OSTRIVANE_BUILD_DIR "/libcabinet.so");
}

void WriteFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(content), content.size());
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QByteArray ToWindows1250(const QString& text) {
    return Convert("WINDOWS-1250", "UTF-8", text.toUtf8());
}

QString FromWindows1250(const QByteArray& bytes) {
    return QString::fromUtf8(Convert("UTF-8", "WINDOWS-1250", bytes));
}

void WriteIniFile(const QString& path, const QStringList& lines) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    for (const QString& line : lines)
        file.write(ToWindows1250(line) + "\r\n");
}

QStringList SectionKeys(const QString& path, const QString& section) {
    QStringList keys;
    ForEachKey(path, section, [&](const QString& key, const QString&) { keys.append(key); });
    return keys;
}

std::optional<QString> RawValue(const QString& path, const QString& section, const QString& key) {
    std::optional<QString> found;
    ForEachKey(path, section, [&](const QString& k, const QString& value) {
        if (!found && k.compare(key, Qt::CaseInsensitive) == 0)
            found = value;
    });
    return found;
}

namespace {

std::optional<QByteArray> Variable(const char* name) {
    if (!qEnvironmentVariableIsSet(name))
        return std::nullopt;
    return qgetenv(name);
}

void SetVariable(const char* name, const std::optional<QByteArray>& value) {
    if (value)
        qputenv(name, *value);
    else
        qunsetenv(name);
}

} // namespace

WindowFixture::WindowFixture()
    : oldHome_(Variable("HOME")), oldConfig_(Variable("XDG_CONFIG_HOME")),
      oldState_(Variable("XDG_STATE_HOME")) {
    qputenv("HOME", QFile::encodeName(Folder()));
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_STATE_HOME");
}

WindowFixture::~WindowFixture() {
    dialog_.reset();
    window_.reset();
    SetVariable("HOME", oldHome_);
    SetVariable("XDG_CONFIG_HOME", oldConfig_);
    SetVariable("XDG_STATE_HOME", oldState_);
}

QString WindowFixture::SettingsPath() const {
    return QString::fromStdString(dir_ / "Ostrivane.ini");
}

QString WindowFixture::Folder() const {
    return QString::fromStdString(dir_.Path());
}

QString WindowFixture::MakeFolder(const QString& name) const {
    const QString path = QString::fromStdString(dir_ / name.toStdString());
    EXPECT_TRUE(QDir().mkpath(path));
    return path;
}

TfoHlavni& WindowFixture::NewWindow() {
    dialog_.reset();
    window_.reset();
    window_ = std::make_unique<TfoHlavni>(SettingsPath());
    window_->SetStartedWithArguments(false);
    window_->SetTrayAvailability([] { return true; });
    dialog_ = std::make_unique<TfoVyberSouboru>(window_.get());
    window_->SetSourceDialog(dialog_.get());
    return *window_;
}

bool WaitForBackupEnd(TfoHlavni& window, int timeoutMs) {
    return QTest::qWaitFor([&window] { return !window.BackupRunning(); }, timeoutMs);
}

void WindowFixture::ShowActive() {
    window_->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    QApplication::setActiveWindow(window_.get());
    window_->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window_.get()));
}

} // namespace uitest
