#include "app/AboutBox.h"

#include <QApplication>
#include <QDate>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include "app/AppWindows.h"
#include "app/SettingsFile.h"
#include "capture/ProgramNotice.h"

namespace tolm {
namespace {

constexpr int kClientWidth = 445;
constexpr int kClientHeight = 217;
constexpr int kIconSize = 33;
constexpr int kTextLeft = 56;

// The design texts; FormCreate fills their placeholders.
constexpr const char* kCaptionFormat = "About %1";
constexpr const char* kVersionFormat = "Version %1";
constexpr const char* kCopyRightFormat = "Copyright \u00a9 %1 %2.";

QLabel* MakeLabel(QWidget* parent, const char* name, const QRect& geometry) {
    auto* label = new QLabel(parent);  // owned by the dialog
    label->setObjectName(name);
    label->setGeometry(geometry);
    return label;
}

}  // namespace

TFormAbout::TFormAbout(QWidget* parent) : QDialog(parent) {
    setObjectName("TFormAbout");
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);
    // Its own look, whatever the window it opens over has set for its children.
    setStyleSheet(
        QStringLiteral("QDialog#TFormAbout { background: white; }"
                       "QLabel { color: black; background: transparent; }"
                       "QLabel#LabelWeb { color: blue; text-decoration: underline; }"));

    ImageIcon = MakeLabel(this, "ImageIcon", QRect(12, 12, kIconSize, kIconSize));
    LabelAppName = MakeLabel(this, "LabelAppName", QRect(kTextLeft, 10, 370, 24));
    QFont bold = LabelAppName->font();
    bold.setBold(true);
    bold.setPointSize(12);
    LabelAppName->setFont(bold);
    LabelVersion = MakeLabel(this, "LabelVersion", QRect(kTextLeft, 36, 370, 16));
    // The owner text is the settings file's, so its line may need two.
    LabelCopyRight = MakeLabel(this, "LabelCopyRight", QRect(kTextLeft, 54, 375, 32));
    LabelCopyRight->setWordWrap(true);
    LabelCopyRight->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LabelWarning = MakeLabel(this, "LabelWarning", QRect(22, 90, 401, 60));
    LabelWarning->setWordWrap(true);
    LabelWarning->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The licence, as --version states it.
    LabelWarning->setText(QString::fromStdString(LicenceText()).trimmed());
    LabelWeb = MakeLabel(this, "LabelWeb", QRect(22, 154, 401, 18));
    LabelWeb->setCursor(Qt::PointingHandCursor);
    LabelWeb->installEventFilter(this);

    ButtonOK = new QPushButton("OK", this);
    ButtonOK->setObjectName("ButtonOK");
    ButtonOK->setGeometry(kClientWidth - 75 - 12, kClientHeight - 25 - 12, 75, 25);
    ButtonOK->setDefault(true);
    connect(ButtonOK, &QPushButton::clicked, this, &TFormAbout::ButtonOKClick);

    FormCreate();
}

TFormAbout::~TFormAbout() = default;

void TFormAbout::FormCreate() {
    const QString title = QString::fromUtf8(kApplicationTitle);
    const TProgramSettings& settings = ProgramSettings();
    setWindowTitle(QString::fromUtf8(kCaptionFormat).arg(title));
    ImageIcon->setPixmap(QApplication::windowIcon().pixmap(kIconSize, kIconSize));
    const int year = QDate::currentDate().year();
    LabelAppName->setText(title);
    LabelWeb->setText(QString::fromStdString(settings.HelpHomePageLink));
    LabelVersion->setText(QString::fromUtf8(kVersionFormat).arg(QString::fromStdString(settings.Version)));
    LabelCopyRight->setText(
        QString::fromUtf8(kCopyRightFormat).arg(QString::number(year), QString::fromStdString(settings.Copyright)));
}

void TFormAbout::ButtonOKClick() {
    accept();
}

void TFormAbout::LabelWebClick() {
    ShellOpen(ProgramSettings().HelpHomePageLink);
}

bool TFormAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == LabelWeb && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        LabelWebClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace tolm
