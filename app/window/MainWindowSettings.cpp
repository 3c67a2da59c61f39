// Loading the main window's fields from the settings file and saving them back.
#include "app/job/InputCheck.h"
#include "app/widgets/MessageBoxes.h"
#include "app/widgets/RadioGroup.h"
#include "app/window/TfoHlavni.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsMessages.h"
#include "settings/TextTrim.h"

#include <QCheckBox>
#include <QLineEdit>

#include <optional>

using namespace ostrivane::settings;
using ostrivane::TrimBlanks;

void TfoHlavni::NatahniNastaveni() {
    const SettingsFile file(settingsPath_);
    // A file that is there but cannot be read would lose its contents if written: the program
    // runs on the defaults and leaves it alone.
    if (file.Unreadable())
        unreadableSettings_ = file.Path();

    Edit9->setText(file.ReadText(kSectionSettings, kKeyDestination, DefaultDestination()));
    Edit8->setText(file.ReadText(kSectionSettings, kKeyArchiveName, kDefaultArchiveName));
    // Its change handling updates Depth.
    Edit10->setText(file.ReadText(kSectionSettings, kKeyDepth, kDefaultDepth));

    CheckBox1->setChecked(file.ReadBool(kSectionSettings, kKeyAutomatic));
    CheckBox2->setChecked(file.ReadBool(kSectionSettings, kKeySubfolders));

    // Filling the time fields is no edit: the copy button stays on Monday's row.
    DetachTimeFieldChange();
    for (int day = 1; day <= kDayCount; ++day) {
        const auto index = static_cast<std::size_t>(day - 1);
        CheckBoxX[index]->setChecked(file.ReadBool(kSectionSettings, DayKey(day)));
        EditTime[index]->setText(file.ReadText(kSectionSettings, DayTimeKey(day), kDefaultTime));
    }
    AttachTimeFieldChange();

    RadioGroup1->SetItemIndex(file.ReadInt(kSectionSettings, kKeyNaming, kDefaultNaming));
    CheckBox4->setChecked(file.ReadInt(kSectionSettings, kKeyCatchUp, kDefaultCatchUp) != 0);

    for (TZaloha& entry : ReadSources(file))
        Sources.push_back(std::move(entry));

    Depth = ostrivane::job::DepthOfField(Edit10->text());
}

void TfoHlavni::TellUnreadableSettings() {
    if (unreadableSettings_.isEmpty())
        return;
    ostrivane::ui::ShowError(this,
                             ostrivane::settings::UnreadableSettingsText(unreadableSettings_));
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
    SettingsFile file(settingsPath_);

    std::optional<QString> refused; // the first text that cannot be stored
    const auto writeText = [&](const QString& key, const QString& text) {
        const QString value = TrimBlanks(text);
        if (!refused && !file.WriteText(kSectionSettings, key, value))
            refused = value;
    };
    writeText(kKeyDestination, Edit9->text());
    writeText(kKeyArchiveName, Edit8->text());
    writeText(kKeyDepth, Edit10->text());
    file.WriteBool(kSectionSettings, kKeyAutomatic, CheckBox1->isChecked());
    file.WriteBool(kSectionSettings, kKeySubfolders, CheckBox2->isChecked());
    for (int day = 1; day <= kDayCount; ++day) {
        const auto index = static_cast<std::size_t>(day - 1);
        file.WriteBool(kSectionSettings, DayKey(day), CheckBoxX[index]->isChecked());
        writeText(DayTimeKey(day), EditTime[index]->text());
    }
    file.WriteInt(kSectionSettings, kKeyNaming, RadioGroup1->ItemIndex());
    file.WriteBool(kSectionSettings, kKeyCatchUp, CheckBox4->isChecked());

    // A text that Windows-1250 cannot hold is never written garbled: nothing is written, the
    // user is told which text it is, and the window stays open so that it can be corrected. A
    // file saved as UTF-8 by an editor may hold one in a line the program keeps.
    if (QString source; !refused && !WriteSources(file, Sources, &source))
        refused = source;
    if (!refused)
        refused = file.UnstorableLine();
    if (refused)
        return QStringLiteral("Text „%1“ nelze uložit do souboru nastavení, obsahuje znaky mimo "
                              "kódování Windows-1250 !")
            .arg(*refused);
    if (!file.Flush())
        return QStringLiteral("Unable to write to %1").arg(file.Path());
    return std::nullopt;
}
