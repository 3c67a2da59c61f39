#include "app/dialogs/TfoVyberSouboru.h"

#include "app/widgets/BrowseForFolder.h"
#include "app/widgets/DialogControls.h"
#include "app/widgets/EnterAsTab.h"
#include "app/widgets/LeaveField.h"
#include "app/widgets/MessageBoxes.h"
#include "app/widgets/TextTrim.h"
#include "settings/SettingsStore.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>

using ostrivane::TrimBlanks;

namespace ui = ostrivane::ui;

namespace {

constexpr int kClientWidth = 369;
constexpr int kClientHeight = 115;

} // namespace

TfoVyberSouboru::TfoVyberSouboru(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("foVyberSouboru"));
    setWindowTitle(QStringLiteral("Vyberte soubory do zálohy ..."));
    setFixedSize(kClientWidth, kClientHeight);
    setAttribute(Qt::WA_QuitOnClose, false);
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    Label1 = new QLabel(QStringLiteral("Adresář souborů"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 6, 200, 16);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(8, 22, 329, 21);

    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setText(QStringLiteral("..."));
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    SpeedButton1->setGeometry(340, 22, 21, 21);

    Label2 = new QLabel(QStringLiteral("Maska souborů"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(8, 48, 200, 16);

    Edit2 = new QLineEdit(QStringLiteral("*.*"), this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(8, 64, 121, 21);

    BitBtn2 = ui::MakeButton(QStringLiteral("BitBtn2"), QStringLiteral("&OK"), this);
    BitBtn2->setGeometry(205, 62, 75, 25);
    BitBtn1 = ui::MakeButton(QStringLiteral("BitBtn1"), QStringLiteral("&Storno"), this);
    BitBtn1->setGeometry(286, 62, 75, 25);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(0, kClientHeight - 19, kClientWidth, 19);

    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, BitBtn2);
    setTabOrder(BitBtn2, BitBtn1);

    new ostrivane::ui::EnterAsTab(this); // owned by the dialog

    connect(BitBtn2, &QPushButton::clicked, this, &TfoVyberSouboru::BitBtn2Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TfoVyberSouboru::BitBtn1Click);
    connect(SpeedButton1, &QToolButton::clicked, this, &TfoVyberSouboru::SpeedButton1Click);
    ostrivane::ui::OnLeaveField(Edit1, [this] { Edit1Exit(); });
    connect(Edit1, &QLineEdit::textEdited, this, [this] { rootEmptied_ = false; });
}

void TfoVyberSouboru::BitBtn2Click() {
    const auto refuse = [this](QLineEdit* field, const QString& message) {
        ostrivane::ui::ShowMessage(this, message);
        field->setFocus(Qt::OtherFocusReason);
    };
    // A name that the settings file cannot hold would come back garbled after a restart.
    const auto storable = [](const QString& text) {
        return ostrivane::settings::IsStorable(text.toStdString());
    };
    // The text that leaving the field emptied is the root it was made of.
    const bool root = rootEmptied_ && TrimBlanks(Edit1->text()).isEmpty();
    const QString folder = root ? QStringLiteral("/") : TrimBlanks(Edit1->text());
    if (!QFileInfo(folder).isDir())
        return refuse(Edit1, QStringLiteral("Adresář nebo disk neexistuje !"));
    if (!storable(folder))
        return refuse(
            Edit1,
            QStringLiteral("Název adresáře obsahuje znaky, které nelze uložit do nastavení !"));
    const QString mask = TrimBlanks(Edit2->text());
    if (mask.isEmpty())
        return refuse(Edit2, QStringLiteral("Zadejte masku souborů !"));
    if (!storable(mask))
        return refuse(
            Edit2,
            QStringLiteral("Maska souborů obsahuje znaky, které nelze uložit do nastavení !"));
    if (root)
        Edit1->setText(folder); // the entry holds the root by its name
    accept();
}

void TfoVyberSouboru::BitBtn1Click() {
    reject();
}

void TfoVyberSouboru::SpeedButton1Click() {
    // The browser opens at the folder in the field when there is one.
    QString folder = TrimBlanks(Edit1->text());
    if (BrowseForFolder(QStringLiteral("Vyberte adresář pro ukládání archivu..."), QString(),
                        folder, this))
        Edit1->setText(folder);
    Edit1Exit();
}

void TfoVyberSouboru::Edit1Exit() {
    const QString folder = TrimBlanks(Edit1->text());
    if (folder.endsWith(QLatin1Char('/'))) {
        Edit1->setText(folder.chopped(1));
        rootEmptied_ = folder.size() == 1;
    }
}

void TfoVyberSouboru::showEvent(QShowEvent* event) {
    rootEmptied_ = false;
    QDialog::showEvent(event);
}

void TfoVyberSouboru::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}
