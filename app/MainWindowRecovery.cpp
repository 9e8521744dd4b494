#include <QFileInfo>
#include <QLineEdit>

#include <atomic>
#include <exception>
#include <thread>

#include "app/MainWindow.h"
#include "app/PictureButton.h"
#include "app/SettingsFile.h"

namespace tolm {
namespace {

// A dangling link counts as taken: saving over it would write wherever it points.
bool NameTaken(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

}  // namespace

QString TfrmMain::RecoveryFileName(const QString& wanted) {
    if (!NameTaken(wanted)) return wanted;
    const qsizetype slash = wanted.lastIndexOf(QLatin1Char('/'));
    const QString folder = wanted.left(slash + 1);
    const QString name = wanted.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    for (int n = 1;; ++n) {
        const QString mark = n == 1 ? QStringLiteral(" (recovered)") : QStringLiteral(" (recovered %1)").arg(n);
        const QString candidate = folder + stem + mark + extension;
        if (!NameTaken(candidate)) return candidate;
    }
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
    QString wanted = EditOutputDir->text();
    if (wanted.isEmpty()) wanted = QString::fromStdString(DefaultOutputFile());
    const std::string output = RecoveryFileName(wanted).toStdString();
    // Nothing may start a recording into the temporary folder while its files are being read.
    const std::initializer_list<QWidget*> held{RecBut, AudVidOptBut, btnChooseSaveFile, EditOutputDir};
    for (QWidget* w : held) w->setEnabled(false);
    // The save runs beside the window's loop, so its progress shows and its cancel button works, as for the
    // save after a recording.
    std::atomic<bool> done{false};
    std::thread saver([this, &leftover, &output, &done] {
        try {
            ScrCamera->RecoverLeftover(leftover, output);
        } catch (const std::exception& e) {
            const QString text = QString::fromUtf8(e.what());
            OnWindowThread([this, text] { ScrCameraError(text); });
        }
        done = true;
    });
    mainThread_.RunModal([&done] { return done.load(); });
    saver.join();
    for (QWidget* w : held) w->setEnabled(true);
}

}  // namespace tolm
