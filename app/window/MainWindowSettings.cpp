// Loading the main window's fields from the settings file and saving them back: the file is read
// and written as one record (settings/SettingsStore); the window maps it to its controls and back.
#include "app/job/InputCheck.h"
#include "app/widgets/MessageBoxes.h"
#include "app/widgets/RadioGroup.h"
#include "app/window/TfoHlavni.h"
#include "settings/SettingsMessages.h"
#include "settings/SettingsStore.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>

#include <optional>

using namespace ostrivane::settings;

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

SettingsRecord TfoHlavni::SettingsOfFields() const {
    SettingsRecord record;
    record.Destination = Edit9->text().toStdString();
    record.ArchiveName = Edit8->text().toStdString();
    record.Depth = Edit10->text().toStdString();
    record.Automatic = CheckBox1->isChecked();
    record.Subfolders = CheckBox2->isChecked();
    for (std::size_t day = 0; day < kDayCount; ++day) {
        record.DayTicked[day] = CheckBoxX[day]->isChecked();
        record.DayTime[day] = EditTime[day]->text().toStdString();
    }
    record.Naming = RadioGroup1->ItemIndex();
    record.CatchUp = CheckBox4->isChecked();
    record.RunOnBattery = CheckBox5->isChecked();
    record.Sources = PlainSources(Sources);
    for (const QString& pattern : Exclusions)
        record.Exclusions.push_back({pattern.toStdString()});
    return record;
}

void TfoHlavni::NatahniNastaveni() {
    const LoadedSettings loaded = LoadSettings(settingsPath_.toStdString());
    // A file that is there but cannot be read would lose its contents if written: the program
    // runs on the defaults and leaves it alone.
    if (loaded.Unreadable)
        unreadableSettings_ = QFileInfo(settingsPath_).absoluteFilePath();
    const SettingsRecord& settings = loaded.Record;

    Edit9->setText(Text(settings.Destination));
    Edit8->setText(Text(settings.ArchiveName));
    // Its change handling updates Depth.
    Edit10->setText(Text(settings.Depth));
    CheckBox1->setChecked(settings.Automatic);
    CheckBox2->setChecked(settings.Subfolders);

    // Filling the time fields is no edit: the copy button stays on Monday's row.
    DetachTimeFieldChange();
    for (std::size_t day = 0; day < kDayCount; ++day) {
        CheckBoxX[day]->setChecked(settings.DayTicked[day]);
        EditTime[day]->setText(Text(settings.DayTime[day]));
    }
    AttachTimeFieldChange();

    RadioGroup1->SetItemIndex(settings.Naming);
    CheckBox4->setChecked(settings.CatchUp);
    CheckBox5->setChecked(settings.RunOnBattery);
    for (const SourcePair& source : settings.Sources)
        Sources.push_back({Text(source.Folder), Text(source.Mask)});
    for (const ExclusionPattern& pattern : settings.Exclusions)
        Exclusions.append(Text(pattern.Pattern));

    Depth = ostrivane::job::DepthOfField(Edit10->text().toStdString());
}

void TfoHlavni::TellUnreadableSettings() {
    if (unreadableSettings_.isEmpty())
        return;
    ostrivane::ui::ShowError(this, Text(UnreadableSettingsText(unreadableSettings_.toStdString())));
}

bool TfoHlavni::UlozNastaveni() {
    const std::optional<QString> problem = WriteSettings();
    if (problem)
        ostrivane::ui::ShowError(this, *problem);
    return !problem;
}

void TfoHlavni::CommitSettings() {
    WriteSettings();
}

std::optional<QString> TfoHlavni::WriteSettings() {
    if (!unreadableSettings_.isEmpty())
        return std::nullopt;
    const SaveOutcome saved = SaveSettings(settingsPath_.toStdString(), SettingsOfFields());
    switch (saved.Result) {
    case SaveResult::Saved:
        return std::nullopt;
    case SaveResult::Unstorable:
        // A text that Windows-1250 cannot hold is never written garbled: nothing is written,
        // the user is told which text it is, and the window stays open so that it can be
        // corrected.
        return QStringLiteral("Text „%1“ nelze uložit do souboru nastavení, obsahuje znaky mimo "
                              "kódování Windows-1250 !")
            .arg(Text(saved.Text));
    case SaveResult::NotWritten:
        break;
    }
    return QStringLiteral("Unable to write to %1").arg(QFileInfo(settingsPath_).absoluteFilePath());
}
