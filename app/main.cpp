// tolm-capture: the windowed recorder. One copy per program file name runs at a time.

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

#include "app/AppWindows.h"
#include "app/DialogOwner.h"
#include "app/FilterEffectsDialog.h"
#include "app/MainWindow.h"
#include "app/OptionsDialog.h"
#include "app/RealBackends.h"
#include "app/ScreenBackendChoice.h"
#include "app/SingleInstance.h"
#include "app/StartupRequest.h"
#include "capture/ProgramNotice.h"

namespace {

constexpr const char* kIconResource = ":/icons/tolm.svg";

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

// What the desktop cannot give, shown once beside the window rather than found out by a key that does nothing.
void ShowDesktopLimits(const std::vector<std::string>& warnings, QWidget* window) {
    QString text;
    for (const std::string& line : warnings) text += QString::fromStdString(line) + QStringLiteral("\n\n");
    auto* box = new QMessageBox(QMessageBox::Information, tolm::kApplicationTitle, text.trimmed(), QMessageBox::Ok,
                                tolm::DialogOwner(window));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    tolm::KeepInSight(box);
    box->show();
}

int Run(tolm::ScreenBackend backend) {
    QApplication::setApplicationName(tolm::kApplicationTitle);
    if (QFile::exists(kIconResource)) QApplication::setWindowIcon(QIcon(kIconResource));

    std::string error;
    std::unique_ptr<tolm::RealBackends> backends = tolm::RealBackends::Open(backend, error);
    if (!backends) {
        QMessageBox::critical(nullptr, tolm::kApplicationTitle, QString::fromStdString(error));
        return 1;
    }
    // Destroyed in reverse: the dialogs, then the main window with its engine, then the services it used.
    auto main = std::make_unique<tolm::TfrmMain>(backends->Services());
    backends->Host().SetMainWindow(main.get());
    auto option = std::make_unique<tolm::TfrmOption>(main->Camera(), main.get());
    auto filterEffects = std::make_unique<tolm::TfrmFilterEffects>(main->Camera(), main.get());
    tolm::TAppWindows& windows = tolm::AppWindows();
    windows = {main.get(), option.get(), filterEffects.get()};
    main->show();
    if (backends->Backend() == tolm::ScreenBackend::portal && !backends->Warnings().empty())
        ShowDesktopLimits(backends->Warnings(), main.get());
    const int result = QApplication::exec();
    windows = {};
    backends->Host().SetMainWindow(nullptr);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    // Answered before anything needs a display, as on a terminal without one.
    switch (tolm::StartupRequestOf(argc, argv)) {
        case tolm::StartupRequest::help:
            std::fputs(tolm::CaptureUsageText(), stdout);
            return 0;
        case tolm::StartupRequest::version:
            std::fputs(tolm::VersionText("tolm-capture").c_str(), stdout);
            return 0;
        case tolm::StartupRequest::window:
            break;
    }
    tolm::ScreenBackend backend = tolm::ScreenBackend::automatic;
    if (std::string error; !tolm::ScreenBackendOfArguments(argc, argv, backend, error)) {
        std::fprintf(stderr, "tolm-capture: %s\n", error.c_str());
        return 2;
    }
    tolm::MachineOptions machine;
    machine.backend = backend;
    const bool x11 = tolm::MachineServices::ChosenBackend(machine) == tolm::ScreenBackend::x11;
    // Grabbing and drawing on X11 needs the program's own windows on X11 too; on Wayland the toolkit chooses.
    if (x11 && !std::getenv("QT_QPA_PLATFORM") && std::getenv("DISPLAY")) qputenv("QT_QPA_PLATFORM", "xcb");
    if (!HasDisplay()) {
        std::fprintf(stderr,
                     "tolm-capture: no display (DISPLAY is not set). Run it on an X desktop, or under a "
                     "virtual one: Xvfb :5 & DISPLAY=:5 tolm-capture\n");
        return 1;
    }
    // Qt ends the process without a word of ours when it cannot reach the display.
    if (std::string error; x11 && std::getenv("DISPLAY") && !tolm::RealBackends::CanOpenDisplay(error)) {
        std::fprintf(stderr, "tolm-capture: %s\n", error.c_str());
        return 1;
    }
    const std::string programPath = tolm::RunningProgramPath(argc > 0 ? argv[0] : "tolm-capture");
    // Held until the process ends; the system releases it however the process ends.
    const tolm::TSingleInstance instance(tolm::InstanceLockName(programPath));
    if (instance.State() == tolm::TSingleInstance::Result::failed)
        std::fprintf(stderr, "tolm-capture: running without the single-instance check: %s\n", instance.Error().c_str());

    QApplication app(argc, argv);
    if (instance.State() == tolm::TSingleInstance::Result::heldElsewhere) {
        QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(tolm::DefaultApplicationTitle(programPath)),
                        "This program already run in memory.", QMessageBox::Ok);
        box.exec();
        return 0;
    }
    try {
        return Run(backend);
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, tolm::kApplicationTitle, QString::fromUtf8(e.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, tolm::kApplicationTitle, "An unexpected error ended the program.");
    }
    return 1;
}
