#include <gtest/gtest.h>

#include <QDate>
#include <QLabel>
#include <QPushButton>

#include "app/AboutBox.h"
#include "app/SettingsFile.h"

namespace tolm {
namespace {

// Sets the process-wide settings for one test and puts the old ones back.
class ScopedSettings {
  public:
    explicit ScopedSettings(const TProgramSettings& settings) : saved_(ProgramSettings()) {
        ProgramSettings() = settings;
    }
    ~ScopedSettings() { ProgramSettings() = saved_; }

  private:
    TProgramSettings saved_;
};

QString Text(const TFormAbout& box, const char* name) {
    const auto* label = box.findChild<QLabel*>(name);
    return label ? label->text() : QString("<no %1>").arg(name);
}

TEST(AboutBox, FilledFromTheSettingsAndTheClock) {
    TProgramSettings settings;
    settings.Version = "0.1.0";
    settings.Copyright = "the TOLM Screen Capture developers";
    settings.HelpHomePageLink = "/usr/share/doc/tolm/README.md";
    ScopedSettings scoped(settings);
    TFormAbout box;
    EXPECT_EQ(box.windowTitle(), "About TOLM Screen Capture");
    EXPECT_EQ(Text(box, "LabelAppName"), "TOLM Screen Capture");
    EXPECT_EQ(Text(box, "LabelVersion"), "Version 0.1.0");
    EXPECT_EQ(Text(box, "LabelCopyRight"),
              QString("Copyright \u00a9 %1 the TOLM Screen Capture developers.").arg(QDate::currentDate().year()));
    EXPECT_EQ(Text(box, "LabelWeb"), "/usr/share/doc/tolm/README.md");
    // The licence, whole: a label cut short would not state it.
    const auto* licence = box.findChild<QLabel*>("LabelWarning");
    ASSERT_NE(licence, nullptr);
    EXPECT_TRUE(licence->text().startsWith("License GPL-3.0-or-later: GNU GPL version 3 or later"))
        << licence->text().toStdString();
    EXPECT_LE(licence->heightForWidth(licence->width()), licence->height());
    EXPECT_EQ(box.size(), QSize(445, 217));
    auto* ok = box.findChild<QPushButton*>("ButtonOK");
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(ok->isDefault());
}

TEST(AboutBox, PlaceholdersInValuesAreNotExpandedAgain) {
    TProgramSettings settings;
    settings.Version = "%1 %2";
    settings.Copyright = "%1%2";
    ScopedSettings scoped(settings);
    TFormAbout box;
    EXPECT_EQ(Text(box, "LabelVersion"), "Version %1 %2");
    EXPECT_TRUE(Text(box, "LabelCopyRight").endsWith(" %1%2."));
}

TEST(AboutBox, EmptySettingsLeaveVersionAndWebEmpty) {
    ScopedSettings scoped(TProgramSettings{});
    TFormAbout box;
    EXPECT_EQ(Text(box, "LabelVersion"), "Version ");
    EXPECT_EQ(Text(box, "LabelWeb"), "");
    EXPECT_TRUE(Text(box, "LabelCopyRight").contains(QString::number(QDate::currentDate().year())));
}

TEST(AboutBox, OkClosesWithTheAcceptedResult) {
    ScopedSettings scoped(TProgramSettings{});
    TFormAbout box;
    box.show();
    box.findChild<QPushButton*>("ButtonOK")->click();
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace tolm
