#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

#include <atomic>
#include <cstdio>
#include <exception>
#include <optional>
#include <thread>

#include "app/MainWindow.h"
#include "app/PictureButton.h"
#include "app/SettingsFile.h"
#include "capture/RecordingNote.h"
#include "platform/Files.h"

namespace tolm {
namespace {

// A dangling link counts as taken: saving over it would write wherever it points.
bool NameTaken(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

}  // namespace

QString TfrmMain::RecoveryFileName(const QString& wanted) {
    return NameTaken(wanted) ? QString::fromStdString(RecoveredFileName(wanted.toStdString())) : wanted;
}

void TfrmMain::OfferLeftoverRecordings() {
    // A recording started meanwhile owns the temporary folder's files now; what it put aside waits for the next
    // start.
    if (closing_ || ScrCamera->WorkerRunning()) return;
    for (const TScreenCamera::LeftoverRecording& leftover : ScrCamera->LeftoverRecordings()) {
        const bool save = host_.AskYesNo(
            "Notice", "An interrupted recording was found (" + leftover.Description() + "). Save it now?");
        if (closing_) return;
        if (save)
            RecoverIntoOutputFolder(leftover);
        else
            ScrCamera->DiscardLeftover(leftover);
    }
}

void TfrmMain::RecoverIntoOutputFolder(const TScreenCamera::LeftoverRecording& leftover) {
    std::string output;
    // Beside the file the recording was meant for, where the user looks for it, while its folder is there.
    if (leftover.note && !leftover.note->outputFile.empty() && DirectoryExists(FolderOf(leftover.note->outputFile))) {
        output = RecoveredFileName(leftover.note->outputFile);
    } else {
        QString wanted = EditOutputDir->text();
        if (wanted.isEmpty()) wanted = QString::fromStdString(DefaultOutputFile());
        output = RecoveryFileName(wanted).toStdString();
    }
    if (SaveLeftover(leftover, output))
        host_.ShowNotice("Notice", "The interrupted recording was saved as " + output + ".", NoticeIcon::information);
}

bool TfrmMain::SaveLeftover(const TScreenCamera::LeftoverRecording& leftover, const std::string& output) {
    // Nothing may start a recording into the temporary folder while its files are being read.
    const std::initializer_list<QWidget*> held{RecBut, AudVidOptBut, btnChooseSaveFile, EditOutputDir};
    for (QWidget* w : held) w->setEnabled(false);
    // The save runs beside the window's loop, so its progress shows and its cancel button works, as for the
    // save after a recording.
    std::atomic<bool> done{false};
    bool saved = false;
    std::thread saver([this, &leftover, &output, &done, &saved] {
        try {
            saved = ScrCamera->RecoverLeftover(leftover, output);
        } catch (const std::exception& e) {
            const QString text = QString::fromUtf8(e.what());
            OnWindowThread([this, text] { ScrCameraError(text); });
        }
        done = true;
    });
    mainThread_.RunModal([&done] { return done.load(); });
    saver.join();
    for (QWidget* w : held) w->setEnabled(true);
    return saved;
}

void TfrmMain::OfferCancelledRecording() {
    if (!ScrCamera->CancelledRecording()) return;
    LStatus->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    LStatus->setText(
        QStringLiteral("Recording cancelled \u2014 <a href=\"save\" style=\"color: #8fd3ff;\">Save it "
                       "anyway</a>"));
    std::fprintf(stderr, "tolm-capture: Recording cancelled \u2014 Save it anyway\n");
}

void TfrmMain::SaveCancelledRecording() {
    if (ScrCamera->WorkerRunning()) return;
    const std::optional<TScreenCamera::LeftoverRecording> kept = ScrCamera->TakeCancelledRecording();
    ShowState(LStatus, QStringLiteral("No Status"));
    if (!kept) return;
    // The save the recording would have had, into its own output file; one that fails leaves it an interrupted
    // recording, offered at the next start.
    const std::string output =
        kept->note && !kept->note->outputFile.empty() ? kept->note->outputFile : EditOutputDir->text().toStdString();
    SaveLeftover(*kept, output);
}

void TfrmMain::DiscardCancelledRecording() {
    if (const std::optional<TScreenCamera::LeftoverRecording> kept = ScrCamera->TakeCancelledRecording()) {
        ScrCamera->DiscardLeftover(*kept);
        if (!closing_) ShowState(LStatus, QStringLiteral("No Status"));
    }
}

}  // namespace tolm
