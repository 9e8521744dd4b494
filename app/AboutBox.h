#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace tolm {

// The about box: the application's name, icon and version, the rights line for the current year and the home
// page link, all from the settings file's values. Created for each showing, modal.
class TFormAbout final : public QDialog {
    Q_OBJECT

  public:
    explicit TFormAbout(QWidget* parent = nullptr);
    ~TFormAbout() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private slots:
    void ButtonOKClick();
    void LabelWebClick();

  private:
    void FormCreate();

    QLabel* ImageIcon = nullptr;
    QLabel* LabelAppName = nullptr;
    QLabel* LabelVersion = nullptr;
    QLabel* LabelCopyRight = nullptr;
    QLabel* LabelWarning = nullptr;
    QLabel* LabelWeb = nullptr;
    QPushButton* ButtonOK = nullptr;
};

}  // namespace tolm
