#include <QCheckBox>
#include <QComboBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>

#include "app/AppWindows.h"
#include "app/Backdrop.h"
#include "app/MainWindow.h"
#include "app/PictureButton.h"
#include "app/SettingsFile.h"
#include "app/UpDown.h"

namespace tolm {

namespace {

const QColor kRed(0xe0, 0x3c, 0x3c);
const QColor kAmber(0xd9, 0x8e, 0x1c);
const QColor kSlate(0x3d, 0x4b, 0x63);
const QColor kBlue(0x2f, 0x6f, 0xd0);
const QColor kGreen(0x2f, 0x9e, 0x6a);

const char* const kStyle = R"(
QLabel { color: white; background: transparent; }
QCheckBox { color: white; background: transparent; spacing: 6px; }
QCheckBox::indicator { width: 14px; height: 14px; border: 1px solid #8a94a8; border-radius: 3px; background: #0f141c; }
QCheckBox::indicator:checked { background: #e03c3c; border-color: #e03c3c; image: url(:/icons/check.svg); }
QCheckBox::indicator:disabled { border-color: #4a5263; background: #1a1f29; }
QCheckBox:disabled { color: #8a8f9a; }
QLineEdit, QComboBox {
    background: #0f141c; color: #e8ecf2; border: 1px solid #3a4252; border-radius: 4px; padding: 1px 5px;
    selection-background-color: #e03c3c;
}
QLineEdit:disabled, QComboBox:disabled { color: #7d8596; background: #1a1f29; border-color: #2b313d; }
QLineEdit:focus, QComboBox:focus { border-color: #ffd640; }
QCheckBox:focus { color: #ffd640; }
QComboBox QAbstractItemView { background: #0f141c; color: #e8ecf2; selection-background-color: #e03c3c; }
QProgressBar { background: #0f141c; border: 1px solid #3a4252; border-radius: 4px; }
QProgressBar::chunk { background: #e03c3c; border-radius: 3px; }
QGroupBox { color: white; border: 1px solid #3a4252; border-radius: 6px; margin-top: 8px; }
QGroupBox::title { subcontrol-origin: margin; left: 8px; }
QToolTip { background: #ffffe1; color: black; border: 1px solid #696969; padding: 2px; }
)";

QString Icon(const char* name) {
    return QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name));
}

constexpr int kHelpButtonSize = 26;
constexpr int kHelpButtonInset = 16;  // from the window's right edge, as the cards' controls
constexpr int kStatisticsTop = 450;
constexpr int kStatisticsPitch = 22;
constexpr int kStatisticsValueLeft = 755;
constexpr int kListWidth = 172;  // "Compress After Record" whole

}  // namespace

QLabel* TfrmMain::AddLabel(const QString& text, const QRect& geometry, const char* name) {
    auto* label = new QLabel(text, ImageMain);
    if (name) label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    return label;
}

QLineEdit* TfrmMain::AddNumberEdit(const char* name, const QRect& geometry, TUpDown*& upDown, const char* upDownName) {
    auto* edit = new QLineEdit(ImageMain);
    edit->setObjectName(QLatin1String(name));
    edit->setGeometry(geometry);
    edit->setText(QStringLiteral("0"));
    edit->installEventFilter(this);
    upDown = new TUpDown(edit, ImageMain);
    upDown->setObjectName(QLatin1String(upDownName));
    upDown->setGeometry(geometry.right() + 1, geometry.top(), 16, geometry.height());
    return edit;
}

PictureButton* TfrmMain::AddButton(const char* name, const char* icon, const QColor& accent, const QRect& geometry,
                                   const QString& hint) {
    auto* button = new PictureButton(Icon(icon), accent, ImageMain);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    if (!hint.isEmpty()) button->setToolTip(hint);
    return button;
}

QCheckBox* TfrmMain::AddCheckBox(const char* name, const QString& text, const QPoint& at, bool checked) {
    auto* box = new QCheckBox(text, ImageMain);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(at.x(), at.y(), 270, 22);
    box->setChecked(checked);
    return box;
}

QComboBox* TfrmMain::AddList(const char* name, const QStringList& items, const QRect& geometry) {
    auto* list = new QComboBox(ImageMain);
    list->setObjectName(QLatin1String(name));
    list->setEditable(false);
    list->addItems(items);
    list->setGeometry(geometry);
    return list;
}

QRect TfrmMain::HelpButtonGeometry(int windowWidth) {
    return QRect(windowWidth - kHelpButtonInset - kHelpButtonSize, 8, kHelpButtonSize, kHelpButtonSize);
}

void TfrmMain::BuildLeftPanel() {
    // On the backdrop only: boxes and dialogs parented to the window keep the desktop's look.
    ImageMain->setStyleSheet(QString::fromLatin1(kStyle));
    QLabel* title = AddLabel(QString::fromUtf8(kApplicationTitle), QRect(16, 8, 320, 24));
    QFont titleFont = title->font();
    titleFont.setPointSize(12);
    titleFont.setBold(true);
    title->setFont(titleFont);
    ButtonHelp = AddButton("ButtonHelp", "help", kSlate, HelpButtonGeometry(kCompactWidth), QStringLiteral("Help"));

    AddLabel(QStringLiteral("Capture region"), QRect(20, 50, 200, 18));
    RegSelect =
        AddList("RegSelect",
                {QStringLiteral("Region stable - region from windows"),
                 QStringLiteral("Region stable - free hand mode"), QStringLiteral("Region moving by mouse"),
                 QStringLiteral("Region stable - set values by user"), QStringLiteral("Region stable - full screen")},
                QRect(18, 70, 554, 26));
    RegSelect->setCurrentIndex(2);

    struct AreaEdit {
        const char* label;
        const char* edit;
        const char* upDown;
        QLineEdit** field;
        TUpDown** upDownField;
    };
    const AreaEdit areaEdits[] = {{"Left: ", "EditLeft", "UpDownLeft", &EditLeft, &UpDownLeft},
                                  {"Top:", "EditTop", "UpDownTop", &EditTop, &UpDownTop},
                                  {"Width:", "EditWidth", "UpDownWidth", &EditWidth, &UpDownWidth},
                                  {"Height:", "EditHeight", "UpDownHeight", &EditHeight, &UpDownHeight}};
    for (int i = 0; i < 4; ++i) {
        const int x = 18 + i * 140;
        AddLabel(QString::fromLatin1(areaEdits[i].label), QRect(x, 107, 48, 22));
        *areaEdits[i].field = AddNumberEdit(areaEdits[i].edit, QRect(x + 48, 106, 70, 24), *areaEdits[i].upDownField,
                                            areaEdits[i].upDown);
    }
    for (QLineEdit* edit : {EditLeft, EditTop}) edit->setEnabled(false);
    UpDownLeft->setEnabled(false);
    UpDownTop->setEnabled(false);

    AddLabel(QStringLiteral("Output file"), QRect(20, 140, 200, 18));
    EditOutputDir = new QLineEdit(ImageMain);
    EditOutputDir->setObjectName(QStringLiteral("EditOutputDir"));
    EditOutputDir->setGeometry(18, 160, 482, 28);
    EditOutputDir->setFrame(false);
    btnChooseSaveFile =
        AddButton("btnChooseSaveFile", "browse", kSlate, QRect(506, 159, 30, 30), QStringLiteral("Select..."));
    BtnOpenSaveFolder =
        AddButton("BtnOpenSaveFolder", "folder", kSlate, QRect(542, 159, 30, 30), QStringLiteral("Open Folder"));

    RecBut = AddButton("RecBut", "record", kRed, QRect(18, 198, 56, 56), QStringLiteral("Start Record"));
    PauseBut = AddButton("PauseBut", "pause", kAmber, QRect(80, 198, 56, 56), QStringLiteral("Pause"));
    StopBut = AddButton("StopBut", "stop", kSlate, QRect(142, 198, 56, 56), QStringLiteral("Full Stop"));
    btnPreview = AddButton("btnPreview", "preview", kGreen, QRect(226, 204, 44, 44), QStringLiteral("Preview"));
    btnAudioRecord =
        AddButton("btnAudioRecord", "audio", kGreen, QRect(276, 204, 44, 44), QStringLiteral("Record Audio"));
    btnRecordCursor =
        AddButton("btnRecordCursor", "cursor", kGreen, QRect(326, 204, 44, 44), QStringLiteral("Record Cursor"));
    AudVidOptBut =
        AddButton("AudVidOptBut", "options", kBlue, QRect(386, 204, 44, 44), QStringLiteral("Audio Video Options"));
    FilterEffectsBut =
        AddButton("FilterEffectsBut", "effects", kBlue, QRect(436, 204, 44, 44), QStringLiteral("Filter Effects"));
    btnMoreInfo =
        AddButton("btnMoreInfo", "layout", kSlate, QRect(528, 204, 44, 44), QStringLiteral("More Settings..."));
    // Toggles start off except the cursor; Pause and Stop wait for a recording.
    btnPreview->SetOn(false);
    btnAudioRecord->SetOn(false);
    btnRecordCursor->SetOn(true);
    PauseBut->setEnabled(false);
    StopBut->setEnabled(false);

    LabelPreview = AddLabel(QStringLiteral("----"), QRect(18, 254, 554, 18), "LabelPreview");
    LabelPreview->setStyleSheet(QStringLiteral("color: #ff4d4d;"));
    ImagePreview = AddLabel(QString(), kPreviewHome, "ImagePreview");
    ImagePreview->setScaledContents(true);

    LStatus = AddLabel(QStringLiteral("No Status"), QRect(18, 584, 380, 18), "LStatus");
    Progress = new QProgressBar(ImageMain);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setGeometry(18, 606, 380, 14);
    Progress->setRange(0, 100);
    Progress->setValue(0);
    Progress->setTextVisible(false);
    BCancel = AddButton("BCancel", "cancel", kSlate, QRect(410, 588, 40, 40), QStringLiteral("Cancel"));
    BCancel->setEnabled(false);
    ExitBut = AddButton("ExitBut", "exit", kSlate, QRect(528, 586, 44, 44), QStringLiteral("Exit"));
}

void TfrmMain::BuildRightPanel() {
    QLabel* heading = AddLabel(QStringLiteral("More settings"), QRect(611, 50, 260, 18));
    heading->setStyleSheet(QStringLiteral("color: #ff8080; font-weight: bold;"));
    CheckBoxAddFilterToOverlay = AddCheckBox("CheckBoxAddFilterToOverlay",
                                             QStringLiteral("Add filter effects to overlay"), QPoint(611, 72), false);
    CheckBoxAddOverlayImage =
        AddCheckBox("CheckBoxAddOverlayImage", QStringLiteral("Add overlay image"), QPoint(611, 96), false);
    EditOverlayFile = new QLineEdit(ImageMain);
    EditOverlayFile->setObjectName(QStringLiteral("EditOverlayFile"));
    EditOverlayFile->setGeometry(611, 122, 228, 28);
    EditOverlayFile->setFrame(false);
    btnChooseOverlayFile =
        AddButton("btnChooseOverlayFile", "browse", kSlate, QRect(845, 121, 30, 30), QStringLiteral("Select..."));

    CheckBoxRecordingDur =
        AddCheckBox("CheckBoxRecordingDur", QStringLiteral("Recording duration"), QPoint(611, 160), false);
    LabelHour = AddLabel(QStringLiteral("Hour"), QRect(611, 188, 34, 22), "LabelHour");
    EditHour = AddNumberEdit("EditHour", QRect(645, 186, 40, 24), UpDownHour, "UpDownHour");
    LabelMin = AddLabel(QStringLiteral("Min"), QRect(709, 188, 30, 22), "LabelMin");
    EditMin = AddNumberEdit("EditMin", QRect(739, 186, 40, 24), UpDownMin, "UpDownMin");
    LabelSec = AddLabel(QStringLiteral("Sec"), QRect(803, 188, 30, 22), "LabelSec");
    EditSec = AddNumberEdit("EditSec", QRect(833, 186, 40, 24), UpDownSec, "UpDownSec");
    UpDownHour->SetRange(0, 99);
    UpDownMin->SetRange(0, 59);
    UpDownSec->SetRange(0, 59);
    for (QWidget* w : std::initializer_list<QWidget*>{EditHour, EditMin, EditSec, UpDownHour, UpDownMin, UpDownSec})
        w->setEnabled(false);
    for (QLabel* l : {LabelHour, LabelMin, LabelSec}) l->setStyleSheet(QStringLiteral("color: rgb(160, 160, 164);"));

    CheckBoxRegRect =
        AddCheckBox("CheckBoxRegRect", QStringLiteral("Region appearance: rectangle"), QPoint(611, 222), true);
    CheckBoxRegCorn =
        AddCheckBox("CheckBoxRegCorn", QStringLiteral("Region appearance: corners"), QPoint(611, 246), true);
    CheckBoxMinApp =
        AddCheckBox("CheckBoxMinApp", QStringLiteral("Minimize recorder before capture"), QPoint(611, 270), true);
    CheckBoxRestoreApp =
        AddCheckBox("CheckBoxRestoreApp", QStringLiteral("Restore recorder after capture"), QPoint(611, 294), true);

    // The lists reach to the card's inner margin, as the statistics do.
    const int listLeft = TBackdrop::RightPanel(kClientHeight).right() - 8 - kListWidth;
    AddLabel(QStringLiteral("Video priority :"), QRect(611, 330, listLeft - 615, 22));
    ComboBoxVideoPriority =
        AddList("ComboBoxVideoPriority",
                {QStringLiteral("Idle"), QStringLiteral("Lowest"), QStringLiteral("Lower"), QStringLiteral("Normal"),
                 QStringLiteral("Higher"), QStringLiteral("Highest"), QStringLiteral("TimeCritical")},
                QRect(listLeft, 328, kListWidth, 26));
    ComboBoxVideoPriority->setCurrentIndex(3);
    AddLabel(QStringLiteral("Color mode :"), QRect(611, 362, listLeft - 615, 22));
    ComboBoxColorMode =
        AddList("ComboBoxColorMode",
                {QStringLiteral("8 bit"), QStringLiteral("16 bit"), QStringLiteral("24 bit"), QStringLiteral("32 bit")},
                QRect(listLeft, 360, kListWidth, 26));
    ComboBoxColorMode->setCurrentIndex(3);
    AddLabel(QStringLiteral("Rec Type :"), QRect(611, 394, listLeft - 615, 22));
    ComboBoxRecType = AddList(
        "ComboBoxRecType",
        {QStringLiteral("No Compress"), QStringLiteral("Compress On Fly"), QStringLiteral("Compress After Record")},
        QRect(listLeft, 392, kListWidth, 26));
    ComboBoxRecType->setCurrentIndex(1);

    QLabel* stats = AddLabel(QStringLiteral("Information"), QRect(611, kStatisticsTop - 22, 90, 18));
    stats->setStyleSheet(QStringLiteral("color: #ff8080; font-weight: bold;"));
    struct Statistic {
        const char* caption;
        const char* captionName;
        const char* valueName;
        QLabel** value;
    };
    const Statistic statistics[] = {
        {"Video Codec :", "VideoCodec", "VideoCodecValue", &VideoCodecValue},
        {"Elapsed Time :", "ElapsedTime", "ElapsedTimeValue", &ElapsedTimeValue},
        {"Real Capturing F/S :", "RealCapturing", "RealCapturingValue", &RealCapturingValue},
        {"Current Captured F/S :", "CurrentCaptured", "CurrentCapturedValue", &CurrentCapturedValue},
        {"Captured Frames :", "FramesCaptured", "FramesCapturedValue", &FramesCapturedValue},
        {"Droped Frames :", "DropedFrames", "DropedFramesValue", &DropedFramesValue},
        {"Free Disk :", "FreeDisk", "FreeDiskValue", &FreeDiskValue},
        {"Time Left :", "TimeLeft", "TimeLeftValue", &TimeLeftValue},
        {"Sound Clock :", "SoundClock", "SoundClockValue", &SoundClockValue}};
    // The values reach to the card's inner margin, never past its edge.
    const int valueWidth = TBackdrop::RightPanel(kClientHeight).right() - 8 - kStatisticsValueLeft;
    for (int i = 0; i < 9; ++i) {
        const int y = kStatisticsTop + kStatisticsPitch * i;
        AddLabel(QString::fromLatin1(statistics[i].caption),
                 QRect(611, y, kStatisticsValueLeft - 613, kStatisticsPitch), statistics[i].captionName);
        *statistics[i].value = AddLabel(
            QStringLiteral("-"), QRect(kStatisticsValueLeft, y, valueWidth, kStatisticsPitch), statistics[i].valueName);
    }
}

// The monitor choice sits with the capture region it applies to; the refresh rate of the information below it
// in the heading of that information.
void TfrmMain::BuildMonitorControls() {
    const int cardRight = TBackdrop::LeftPanel(kClientHeight).right() - 9;  // the region list's right edge
    CheckBoxRecordfromallmonitors =
        AddCheckBox("CheckBoxRecordfromallmonitors", QStringLiteral("Record from all monitors"), QPoint(0, 48), false);
    const int boxWidth = CheckBoxRecordfromallmonitors->sizeHint().width();
    CheckBoxRecordfromallmonitors->setGeometry(cardRight + 1 - boxWidth, 48, boxWidth, 22);
    ComboBoxCurrentMonitor = AddList("ComboBoxCurrentMonitor", {}, QRect(cardRight - 59, 70, 60, 26));
    LabeCurrentMonitor = AddLabel(QStringLiteral("Current monitor :"), QRect(0, 72, 0, 22), "LabeCurrentMonitor");
    const int labelWidth = LabeCurrentMonitor->sizeHint().width();
    LabeCurrentMonitor->setGeometry(ComboBoxCurrentMonitor->x() - 6 - labelWidth, 72, labelWidth, 22);
    RegSelect->setGeometry(QRect(QPoint(18, 70), QPoint(LabeCurrentMonitor->x() - 12, 95)));

    // Up to the card's inner margin, as the values below it.
    const int valuesRight = TBackdrop::RightPanel(kClientHeight).right() - 8;
    EditUpdate = new QLineEdit(QStringLiteral("250"), ImageMain);
    EditUpdate->setObjectName(QStringLiteral("EditUpdate"));
    EditUpdate->setGeometry(valuesRight - 16 - 38, kStatisticsTop - 26, 38, 24);
    EditUpdate->installEventFilter(this);
    UpDownUpdate = new TUpDown(EditUpdate, ImageMain);
    UpDownUpdate->setObjectName(QStringLiteral("UpDownUpdate"));
    UpDownUpdate->setGeometry(EditUpdate->geometry().right() + 1, EditUpdate->y(), 16, 24);
    UpDownUpdate->SetRange(0, 500);
    QLabel* updateLabel = AddLabel(QStringLiteral("Update refresh rate :"), QRect(), "LabelUpdate");
    const int updateWidth = updateLabel->sizeHint().width();
    updateLabel->setGeometry(EditUpdate->x() - 4 - updateWidth, EditUpdate->y() + 1, updateWidth, 22);
}

void TfrmMain::BuildHelpMenu() {
    menuHelp = new QMenu(this);
    menuHelp->setObjectName(QStringLiteral("menuHelp"));
    const auto link = [this](const QString& text, const char* name, std::string TProgramSettings::*value) {
        QAction* action = menuHelp->addAction(text);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this,
                [this, value] { Guarded([value] { ShellOpen(ProgramSettings().*value); }); });
        return action;
    };
    QAction* content = link(QStringLiteral("Help Content"), "menuHelpContent", &TProgramSettings::HelpContectLink);
    content->setShortcut(QKeySequence(Qt::Key_F1));
    content->setShortcutContext(Qt::WindowShortcut);
    addAction(content);  // F1 works without opening the menu
    link(QStringLiteral("How Tos && Tutorial Videos..."), "menuHowTo", &TProgramSettings::HelpHowTosTutorialVideosLink);
    menuHelp->addSeparator();
    link(QStringLiteral("Home Page..."), "menuHomePage", &TProgramSettings::HelpHomePageLink);
    link(QStringLiteral("More Free Tools..."), "menuMoreFreeTools", &TProgramSettings::HelpMoreFreeToolsLink);
    menuHelp->addSeparator();
    link(QStringLiteral("Check for Updates..."), "menuCheckUpdates", &TProgramSettings::HelpCheckForUpdatesLink);
    link(QStringLiteral("Contact Technical Support..."), "menuContact", &TProgramSettings::HelpSupportLink);
    menuHelp->addSeparator();
    QAction* about = menuHelp->addAction(QStringLiteral("About..."));
    about->setObjectName(QStringLiteral("menuAbout"));
    connect(about, &QAction::triggered, this, [this] { Guarded([this] { menuAboutClick(); }); });
}

}  // namespace tolm
