// The main window: its controls, their layout, tab order and handler connections, and start-up.
#include "app/window/TfoHlavni.h"

#include "app/widgets/ApplicationTitle.h"
#include "app/widgets/EnterAsTab.h"
#include "app/widgets/FittingLabel.h"
#include "app/widgets/Gauge.h"
#include "app/widgets/LeaveField.h"
#include "app/widgets/RadioGroup.h"
#include "app/window/BackupWorker.h"
#include "app/window/DesktopNotices.h"
#include "app/window/StartArguments.h"
#include "app/window/TempFolder.h"
#include "cabinet/component/TMakeCab.h"
#include "ostrivane/Version.h"
#include "settings/SettingsRecord.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

namespace {

constexpr int kClientWidth = 437;
constexpr int kClientHeight = 383;
constexpr int kStatusBarHeight = 19;
constexpr int kGaugeHeight = 16;
constexpr int kTimerInterval = 1000;

const QString kStatusText =
    QStringLiteral("quenza Ostrivane ") + QString::fromLatin1(ostrivane::kVersion);

// The controls are placed at fixed positions, as the window was laid out.
QPushButton* MakeButton(const QString& name, const QString& caption, QWidget* parent,
                        const QRect& geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

QLabel* MakeLabel(const QString& name, const QString& caption, QWidget* parent, bool bold,
                  const QRect& geometry) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

QLineEdit* MakeEdit(const QString& name, QWidget* parent, const QRect& geometry) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(geometry);
    return edit;
}

QCheckBox* MakeCheckBox(const QString& name, const QString& caption, QWidget* parent,
                        const QRect& geometry) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    return box;
}

QToolButton* MakeSpeedButton(const QString& name, const QString& caption, QWidget* parent,
                             const QRect& geometry) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setText(caption);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QProgressBar* MakeGauge(const QString& name, QWidget* parent) {
    auto* gauge = new Gauge(parent);
    gauge->setObjectName(name);
    return gauge;
}

} // namespace

QString TfoHlavni::DefaultSettingsPath() {
    return QString::fromStdString(ostrivane::settings::ChooseSettingsPath(
        QCoreApplication::applicationDirPath().toStdString()));
}

TfoHlavni::TfoHlavni(const QString& settingsPath, QWidget* parent)
    : QWidget(parent), settingsPath_(settingsPath),
      startedWithArguments_(ostrivane::ui::StartsHidden(QCoreApplication::arguments())),
      trayAvailable_([] { return QSystemTrayIcon::isSystemTrayAvailable(); }) {
    setObjectName(QStringLiteral("foHlavni"));
    setWindowTitle(ostrivane::ui::ApplicationTitle());
    resize(kClientWidth, kClientHeight);
    setMinimumSize(kClientWidth, kClientHeight);
    setWindowIcon(TrayIconHandle());
    // The layout is made for small dialog text (8 points).
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    BuildControls();
    SetTabOrder();
    ConnectHandlers();
    CreateArchiveComponent();
    desktopNotices_ = new DesktopNotices(this);
    new ostrivane::ui::EnterAsTab(this); // owned by the window

    FormCreate();
}

TfoHlavni::~TfoHlavni() {
    // The backup's thread works on MakeCab1, which goes before the window's children do.
    delete backupWorker_;
}

void TfoHlavni::BuildControls() {
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(4, 4, 354, 324);

    BuildFilesTab();
    BuildScheduleTab();
    BuildSettingsTab();
    PageControl1->setCurrentIndex(0);

    BitBtn7 = MakeButton(QStringLiteral("BitBtn7"), QStringLiteral("&O programu"), this,
                         {362, 26, 72, 25});
    BitBtn3 = MakeButton(QStringLiteral("BitBtn3"), QStringLiteral("&Zálohovat !"), this,
                         {362, 60, 72, 25});
    BitBtn9 =
        MakeButton(QStringLiteral("BitBtn9"), QStringLiteral("O&bnova…"), this, {362, 94, 72, 25});
    BitBtn2 =
        MakeButton(QStringLiteral("BitBtn2"), QStringLiteral("&Skrýt"), this, {362, 268, 72, 25});
    BitBtn1 =
        MakeButton(QStringLiteral("BitBtn1"), QStringLiteral("&Konec"), this, {362, 300, 72, 25});

    Gauge2 = MakeGauge(QStringLiteral("Gauge2"), this);
    Gauge1 = MakeGauge(QStringLiteral("Gauge1"), this);
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    LastBackupPanel = new FittingLabel(StatusBar1);
    LastBackupPanel->setObjectName(QStringLiteral("StatusBar1LastBackup"));
    StatusBar1->addWidget(LastBackupPanel, 1);
    auto* statusText = new QLabel(kStatusText, StatusBar1);
    statusText->setObjectName(QStringLiteral("StatusBar1Text"));
    StatusBar1->addWidget(statusText);
    LayOutBottom();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kTimerInterval);
    // Precise, so that the scheduled second is never skipped.
    Timer1->setTimerType(Qt::PreciseTimer);

    BuildTrayMenu();

    // The schedule controls start as an unticked switch and unticked days have them.
    Panel1->setEnabled(false);
    for (QLineEdit* edit : EditTime)
        edit->setEnabled(false);
}

void TfoHlavni::BuildFilesTab() {
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    PageControl1->addTab(TabSheet1, QStringLiteral("Soubory"));

    StringGrid1 = new QTableWidget(TabSheet1);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setGeometry(0, 0, 346, 164);
    StringGrid1->setColumnCount(2);
    StringGrid1->setHorizontalHeaderLabels(
        {QStringLiteral("Adresář"), QStringLiteral("Maska souborů")});
    StringGrid1->setColumnWidth(0, 245);
    StringGrid1->setColumnWidth(1, 78);
    StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StringGrid1->horizontalHeader()->setHighlightSections(false);
    StringGrid1->horizontalHeader()->setFixedHeight(18);
    StringGrid1->verticalHeader()->setVisible(false);
    StringGrid1->verticalHeader()->setMinimumSectionSize(16);
    StringGrid1->verticalHeader()->setDefaultSectionSize(16);
    StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab leaves the grid instead of walking its cells.
    StringGrid1->setTabKeyNavigation(false);
    StringGrid1->setWordWrap(false);

    Label5 = MakeLabel(QStringLiteral("Label5"), QStringLiteral("Soubory do archívu"), TabSheet1,
                       true, {4, 172, 120, 16});
    BitBtn4 = MakeButton(QStringLiteral("BitBtn4"), QStringLiteral("&Přidat"), TabSheet1,
                         {130, 168, 70, 25});
    BitBtn5 = MakeButton(QStringLiteral("BitBtn5"), QStringLiteral("&Opravit"), TabSheet1,
                         {203, 168, 70, 25});
    BitBtn6 = MakeButton(QStringLiteral("BitBtn6"), QStringLiteral("S&mazat"), TabSheet1,
                         {276, 168, 70, 25});

    Label4 = MakeLabel(QStringLiteral("Label4"), QStringLiteral("Název souboru zálohy"), TabSheet1,
                       false, {4, 203, 150, 16});
    Edit8 = MakeEdit(QStringLiteral("Edit8"), TabSheet1, {158, 200, 188, 21});

    Label3 = MakeLabel(QStringLiteral("Label3"), QStringLiteral("Adresář nebo disk uložení"),
                       TabSheet1, false, {4, 229, 150, 16});
    Edit9 = MakeEdit(QStringLiteral("Edit9"), TabSheet1, {158, 226, 164, 21});
    SpeedButton2 = MakeSpeedButton(QStringLiteral("SpeedButton2"), QStringLiteral("..."), TabSheet1,
                                   {324, 226, 22, 21});

    Label6 = MakeLabel(QStringLiteral("Label6"), QStringLiteral("Uchovávat počet záloh"), TabSheet1,
                       false, {4, 255, 150, 16});
    Edit10 = MakeEdit(QStringLiteral("Edit10"), TabSheet1, {158, 252, 50, 21});

    BitBtn10 = MakeButton(QStringLiteral("BitBtn10"), QStringLiteral("&Vyloučení…"), TabSheet1,
                          {232, 250, 114, 25});

    CheckBox2 =
        MakeCheckBox(QStringLiteral("CheckBox2"), QStringLiteral("Archivovat včetně podadresářů"),
                     TabSheet1, {4, 276, 300, 20});
}

void TfoHlavni::BuildScheduleTab() {
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Automat"));

    CheckBox1 =
        MakeCheckBox(QStringLiteral("CheckBox1"), QStringLiteral("Povol automatickou zálohu"),
                     TabSheet2, {8, 3, 300, 20});

    // The panel fills the page to its last row.
    Panel1 = new QFrame(TabSheet2);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::StyledPanel);
    Panel1->setGeometry(4, 24, 338, 273);

    Label2 = MakeLabel(QStringLiteral("Label2"), QStringLiteral("Den zálohy"), Panel1, true,
                       {8, 3, 96, 16});
    Label1 = MakeLabel(QStringLiteral("Label1"), QStringLiteral("Čas zálohy"), Panel1, true,
                       {110, 3, 96, 16});

    for (int day = 1; day <= 7; ++day) {
        const int top = 20 + (day - 1) * 22;
        const auto index = static_cast<std::size_t>(day - 1);
        CheckBoxX[index] = MakeCheckBox(QStringLiteral("CheckBoxX") + QString::number(day),
                                        QString::fromUtf8(ostrivane::settings::kDayNames[index]),
                                        Panel1, {8, top, 96, 21});
        EditTime[index] =
            MakeEdit(QStringLiteral("Edit") + QString::number(day), Panel1, {110, top, 80, 21});
    }
    SpeedButton1 =
        MakeSpeedButton(QStringLiteral("SpeedButton1"), QStringLiteral("Ostatní dny jako pondělí"),
                        Panel1, {196, EditTime[0]->y(), 134, 21});

    RadioGroup1 = new TRadioGroup(
        QStringLiteral("RadioGroup1"), QStringLiteral(" Název archívu automatické zálohy "),
        {QStringLiteral("Ručně zadat (viz záložka Soubory)"),
         QStringLiteral("Z data a času spuštění (příklad: 200212312345.zip)")},
        Panel1);
    RadioGroup1->setGeometry(4, 174, 326, 58);

    CheckBox4 = MakeCheckBox(QStringLiteral("CheckBox4"),
                             QStringLiteral("Zmeškanou zálohu provést dodatečně"), Panel1,
                             {8, 233, 320, 19});
    CheckBox5 = MakeCheckBox(QStringLiteral("CheckBox5"),
                             QStringLiteral("Zálohovat i při napájení z baterie"), Panel1,
                             {8, 252, 320, 19});
    CheckBox5->setToolTip(QStringLiteral("Jinak automatická záloha počká na připojení napájení."));
}

void TfoHlavni::BuildSettingsTab() {
    TabSheet3 = new QWidget;
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    PageControl1->addTab(TabSheet3, QStringLiteral("Nastavení"));

    Panel3 = new QFrame(TabSheet3);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel3->setGeometry(0, 0, 346, 296);

    CheckBox3 = MakeCheckBox(QStringLiteral("CheckBox3"),
                             QStringLiteral("Spustit program po startu systému"), Panel3,
                             {16, 16, 300, 20});
    BitBtn8 = MakeButton(QStringLiteral("BitBtn8"), QStringLiteral("Vytvořit ikonu na ploše"),
                         Panel3, {16, 48, 170, 25});
}

void TfoHlavni::BuildTrayMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    pmiAbout = PopupMenu1->addAction(QStringLiteral("O programu ..."));
    pmiAbout->setObjectName(QStringLiteral("pmiAbout"));
    PopupMenu1->addSeparator();
    pmiObnova = PopupMenu1->addAction(QStringLiteral("O&bnova ze zálohy…"));
    pmiObnova->setObjectName(QStringLiteral("pmiObnova"));
    pmiRestore = PopupMenu1->addAction(QStringLiteral("&Obnovit"));
    pmiRestore->setObjectName(QStringLiteral("pmiRestore"));
    PopupMenu1->addSeparator();
    pmiClose = PopupMenu1->addAction(QStringLiteral("&Zavřít"));
    pmiClose->setObjectName(QStringLiteral("pmiClose"));
}

void TfoHlavni::SetTabOrder() {
    QList<QWidget*> order = {PageControl1, StringGrid1, BitBtn4, BitBtn5,   BitBtn6,
                             Edit8,        Edit9,       Edit10,  CheckBox2, CheckBox1};
    order.insert(order.indexOf(CheckBox2), BitBtn10);
    for (std::size_t i = 0; i < CheckBoxX.size(); ++i) {
        order.append(CheckBoxX[i]);
        order.append(EditTime[i]);
    }
    for (QRadioButton* item : RadioGroup1->Items())
        order.append(item);
    order.append(CheckBox4);
    order.append(CheckBox5);
    order.append({CheckBox3, BitBtn8, BitBtn7, BitBtn3, BitBtn9, BitBtn2, BitBtn1});
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
}

void TfoHlavni::ConnectHandlers() {
    using ostrivane::ui::OnLeaveField;
    connect(StringGrid1, &QTableWidget::cellDoubleClicked, this,
            [this](int, int) { StringGrid1DblClick(); });
    connect(BitBtn4, &QPushButton::clicked, this, &TfoHlavni::BitBtn4Click);
    connect(BitBtn5, &QPushButton::clicked, this, &TfoHlavni::BitBtn5Click);
    connect(BitBtn6, &QPushButton::clicked, this, &TfoHlavni::BitBtn6Click);
    connect(BitBtn10, &QPushButton::clicked, this, &TfoHlavni::BitBtn10Click);

    OnLeaveField(Edit8, [this] { Edit8Exit(); });
    OnLeaveField(Edit9, [this] { Edit9Exit(); });
    connect(Edit10, &QLineEdit::textChanged, this, &TfoHlavni::Edit10Change);
    connect(SpeedButton2, &QToolButton::clicked, this, &TfoHlavni::SpeedButton2Click);

    // Set programmatically or clicked, a changed tick runs the handler, as a click would.
    connect(CheckBox1, &QCheckBox::toggled, this, &TfoHlavni::CheckBox1Click);
    for (std::size_t i = 0; i < CheckBoxX.size(); ++i) {
        QCheckBox* box = CheckBoxX[i];
        connect(box, &QCheckBox::toggled, this, [this, box] { CheckBoxX1Click(box); });
        QLineEdit* edit = EditTime[i];
        OnLeaveField(edit, [this, edit] { Edit1Exit(edit); });
    }
    AttachTimeFieldChange();
    // A time the schedule cannot read is marked while it stands in the field.
    for (QLineEdit* edit : EditTime)
        connect(edit, &QLineEdit::textChanged, this, &TfoHlavni::MarkUnreadableTimes);
    connect(SpeedButton1, &QToolButton::clicked, this, &TfoHlavni::SpeedButton1Click);
    connect(Timer1, &QTimer::timeout, this, &TfoHlavni::Timer1Timer);

    // Only the user's click changes this box; its state is never loaded.
    connect(CheckBox3, &QCheckBox::clicked, this, &TfoHlavni::CheckBox3Click);
    connect(BitBtn8, &QPushButton::clicked, this, &TfoHlavni::BitBtn8Click);

    connect(BitBtn7, &QPushButton::clicked, this, &TfoHlavni::BitBtn7Click);
    SetBackupButtonHandler(&TfoHlavni::BitBtn3Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TfoHlavni::BitBtn2Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TfoHlavni::BitBtn1Click);
    connect(pmiAbout, &QAction::triggered, this, &TfoHlavni::pmiAboutClick);
    connect(BitBtn9, &QPushButton::clicked, this, &TfoHlavni::BitBtn9Click);
    connect(pmiObnova, &QAction::triggered, this, &TfoHlavni::pmiObnovaClick);
    connect(pmiRestore, &QAction::triggered, this, &TfoHlavni::pmiRestoreClick);
    connect(pmiClose, &QAction::triggered, this, &TfoHlavni::pmiCloseClick);

    connect(&ostrivane::ui::ApplicationTitleChanges(),
            &ostrivane::ui::ApplicationTitleNotifier::Changed, this, [this](const QString& title) {
                setWindowTitle(title);
                SetTrayTip(title);
            });
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) { WMActivateApp(state == Qt::ApplicationActive); });
}

void TfoHlavni::LayOutBottom() {
    const int w = width();
    // The line of the last backup is never cut: where it does not fit beside the version, it
    // wraps, and the status bar and the window grow by the lines it takes. The status bar's own
    // layout says how wide the panel is and what it takes around it.
    StatusBar1->resize(w, StatusBar1->height());
    if (QLayout* layout = StatusBar1->layout())
        layout->activate();
    const int around = StatusBar1->height() - LastBackupPanel->height();
    const int status = std::max(kStatusBarHeight,
                                LastBackupPanel->heightForWidth(LastBackupPanel->width()) + around);
    const int minimum = kClientHeight + status - kStatusBarHeight;
    if (minimumHeight() != minimum)
        setMinimumHeight(minimum);
    if (height() < minimum)
        resize(w, minimum);
    const int h = height();
    StatusBar1->setGeometry(0, h - status, w, status);
    if (QLayout* layout = StatusBar1->layout())
        layout->activate();
    Gauge1->setGeometry(0, h - status - kGaugeHeight - 1, w, kGaugeHeight);
    Gauge2->setGeometry(0, h - status - 2 * kGaugeHeight - 2, w, kGaugeHeight);
}

void TfoHlavni::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOutBottom();
}

void TfoHlavni::FormCreate() {
    NatahniNastaveni();
    InTray_ = false;
    TempDir = ostrivane::ui::SystemTempFolder();
    StartScheduleWatch();
}

void TfoHlavni::FormShow() {
    RefreshStringGrid1();
    CheckBox1Click();
    for (QCheckBox* box : CheckBoxX)
        CheckBoxX1Click(box);
}

template <class T> T* TfoHlavni::FindControl(const QString& name) const {
    for (T* control : findChildren<T*>(name)) {
        if (control->window() == this)
            return control;
    }
    return nullptr;
}

template QLineEdit* TfoHlavni::FindControl<QLineEdit>(const QString&) const;
template QCheckBox* TfoHlavni::FindControl<QCheckBox>(const QString&) const;
template QWidget* TfoHlavni::FindControl<QWidget>(const QString&) const;
