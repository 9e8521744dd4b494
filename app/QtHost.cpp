#include "app/QtHost.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>

#include <algorithm>

#include "app/DialogOwner.h"
#include "app/FreeHandPickerWindow.h"
#include "app/MinimizeWait.h"
#include "platform/FreeHandPicker.h"
#include "platform/MainThread.h"

namespace tolm {
namespace {

QMessageBox::Icon ToQtIcon(NoticeIcon icon) {
    switch (icon) {
        case NoticeIcon::information:
            return QMessageBox::Information;
        case NoticeIcon::warning:
            return QMessageBox::Warning;
        case NoticeIcon::error:
            return QMessageBox::Critical;
        case NoticeIcon::question:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// The form of EditSettings: one row per field, a list where the field offers choices.
bool RunSettingsForm(QWidget* parent, const std::string& title, std::vector<SettingField>& fields) {
    QDialog dialog(DialogOwner(parent));
    KeepInSight(&dialog);
    dialog.setWindowTitle(QString::fromStdString(title));
    auto* form = new QFormLayout(&dialog);  // owned by the dialog
    std::vector<QWidget*> editors;
    for (const SettingField& field : fields) {
        QWidget* editor = nullptr;
        if (field.choices.empty()) {
            auto* edit = new QLineEdit(QString::fromStdString(field.value), &dialog);
            editor = edit;
        } else {
            auto* combo = new QComboBox(&dialog);
            for (const std::string& choice : field.choices) combo->addItem(QString::fromStdString(choice));
            const auto it = std::find(field.choices.begin(), field.choices.end(), field.value);
            combo->setCurrentIndex(it == field.choices.end() ? 0 : static_cast<int>(it - field.choices.begin()));
            editor = combo;
        }
        editor->setObjectName(QString::fromStdString(field.key));
        form->addRow(QString::fromStdString(field.label), editor);
        editors.push_back(editor);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return false;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (auto* combo = qobject_cast<QComboBox*>(editors[i]))
            fields[i].value = combo->currentText().toStdString();
        else if (auto* edit = qobject_cast<QLineEdit*>(editors[i]))
            fields[i].value = edit->text().toStdString();
    }
    return true;
}

}  // namespace

QtHost::QtHost(MainThread& mainThread) : mainThread_(mainThread) {}

QtHost::~QtHost() {
    // A busy cursor left over by an interrupted save must not outlive its host.
    if (QApplication::instance())
        for (; busyCount_ > 0; --busyCount_) QApplication::restoreOverrideCursor();
}

void QtHost::SetMainWindow(QWidget* window) {
    mainWindow_ = window;
}

void QtHost::ShowNotice(const std::string& title, const std::string& text, NoticeIcon icon) {
    mainThread_.Invoke([&] {
        QMessageBox box(ToQtIcon(icon), QString::fromStdString(title), QString::fromStdString(text), QMessageBox::Ok,
                        DialogOwner(mainWindow_.data()));
        KeepInSight(&box);
        box.exec();
    });
}

bool QtHost::AskYesNo(const std::string& title, const std::string& text) {
    bool yes = false;
    mainThread_.Invoke([&] {
        QMessageBox box(QMessageBox::Warning, QString::fromStdString(title), QString::fromStdString(text),
                        QMessageBox::Yes | QMessageBox::No, DialogOwner(mainWindow_.data()));
        KeepInSight(&box);
        questions_.emplace_back(&box);
        yes = box.exec() == QMessageBox::Yes;
        std::erase(questions_, QPointer<QWidget>(&box));
    });
    return yes;
}

void QtHost::CloseQuestions() {
    for (const QPointer<QWidget>& box : questions_)
        if (auto* question = qobject_cast<QMessageBox*>(box.data())) question->done(QMessageBox::No);
}

bool QtHost::EditSettings(const std::string& title, std::vector<SettingField>& fields) {
    bool accepted = false;
    mainThread_.Invoke([&] { accepted = RunSettingsForm(mainWindow_.data(), title, fields); });
    return accepted;
}

void QtHost::MinimizeApplication() {
    mainThread_.Invoke([this] {
        if (mainWindow_) mainWindow_->showMinimized();
    });
}

void QtHost::RestoreApplication() {
    mainThread_.Invoke([this] {
        if (!mainWindow_) return;
        mainWindow_->showNormal();
        mainWindow_->raise();
        mainWindow_->activateWindow();
        // A box that came up while the window was away (a refused start's error) stood alone; it now belongs to
        // the window, which keeps it above it even where no window manager would.
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget == mainWindow_ || widget->parentWidget() || !widget->isVisible() ||
                !qobject_cast<QMessageBox*>(widget)) {
                continue;
            }
            AdoptStrayBox(widget, mainWindow_);
        }
    });
}

void QtHost::FinishMinimizing() {
    mainThread_.Invoke([this] {
        if (mainWindow_ && locator_ && mainWindow_->isMinimized())
            WaitUntilOffScreen(*mainWindow_, *locator_, mainThread_);
    });
}

void QtHost::SetBusyCursor(bool busy) {
    mainThread_.Invoke([this, busy] {
        if (busy) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            ++busyCount_;
        } else if (busyCount_ > 0) {
            QApplication::restoreOverrideCursor();
            --busyCount_;
        }
    });
}

void QtHost::RunFreeHandPicker(FreeHandPicker& picker, const Bitmap& stillPicture) {
    const bool ran = mainThread_.Invoke([&] { RunFreeHandPickerWindow(picker, stillPicture, mainThread_); });
    if (!ran) picker.SetModalResult(FreeHandPicker::mrCancel);
}

}  // namespace tolm
