#include <gtest/gtest.h>
#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QTimer>
#include <QTreeView>
#include <QWidget>

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/FreeHandPickerWindow.h"
#include "app/MainWindow.h"
#include "app/RealBackends.h"
#include "imaging/Bitmap.h"
#include "integration/PollUntil.h"
#include "integration/driver/DesktopTestClient.h"
#include "platform/x11/XcbHandles.h"
#include "selection/FlashingWnd.h"
#include "selection/FreeHandWnd.h"
#include "support/ScopedEnv.h"

namespace tolm::testing {
namespace {

// Odd in every part: at a scale of two no whole logical pixel lies on its edges.
constexpr Rect kArea{101, 51, 201, 99};

// The program's services over $DISPLAY, a second client playing the rest of the desktop, and a connection of the
// test's own to read what the server holds of the windows.
class ScaledWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        TOLM_SKIP_WITHOUT_DISPLAY();
        ASSERT_TRUE(client_.Connected());
        ASSERT_EQ(qGuiApp->devicePixelRatio(), 2.0);
        std::string error;
        backends_ = RealBackends::Open(ScreenBackend::x11, error);
        ASSERT_NE(backends_, nullptr) << error;
        services_.emplace(backends_->Services());
        ASSERT_TRUE(services_->createOverlayWindow);
        look_.reset(xcb_connect(nullptr, nullptr));
        ASSERT_EQ(xcb_connection_has_error(look_.get()), 0);
    }
    void TearDown() override {
        services_.reset();
        backends_.reset();
    }

    // The window's rectangle on the root as the server has it.
    Rect Geometry(std::uint64_t window) {
        xcb_connection_t* c = look_.get();
        const auto id = static_cast<xcb_window_t>(window);
        const x11::XcbReply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, xcb_get_geometry(c, id), nullptr));
        return g ? Rect{g->x, g->y, g->width, g->height} : Rect{};
    }

    // The visible rectangles of the window on the root, once the server has it at `bounds` (the window's own
    // connection may still be on its way there).
    std::vector<Rect> ShownAt(std::uint64_t window, const Rect& bounds) {
        PollUntil([&] { return Geometry(window) == bounds; }, std::chrono::seconds(5), std::chrono::milliseconds(20));
        xcb_connection_t* c = look_.get();
        const x11::XcbReply<xcb_shape_get_rectangles_reply_t> shape(xcb_shape_get_rectangles_reply(
            c, xcb_shape_get_rectangles(c, static_cast<xcb_window_t>(window), XCB_SHAPE_SK_BOUNDING), nullptr));
        std::vector<Rect> shown;
        if (!shape || Geometry(window) != bounds) return shown;
        const xcb_rectangle_t* r = xcb_shape_get_rectangles_rectangles(shape.get());
        for (int i = 0; i < xcb_shape_get_rectangles_rectangles_length(shape.get()); ++i)
            shown.push_back(Rect{bounds.left + r[i].x, bounds.top + r[i].y, r[i].width, r[i].height});
        return shown;
    }

    // Runs the free-hand picker's window over a still picture of the root until it has a result; `during` runs
    // on the main thread once the window shows. False when no result came within a few seconds (the picker is
    // then left without one).
    bool RunFreeHandPicker(TFreeHandWindow& picker, const std::function<void(QWidget&)>& during) {
        const Rect root = client_.RootArea();
        QtMainThread& main = backends_->MainThreadOfApp();
        main.Post([&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (qobject_cast<FreeHandPickerWindow*>(w) && w->isVisible()) return during(*w);
        });
        bool lost = false;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [&] {
            lost = picker.ModalResult() == TFreeHandWindow::mrNone;
            if (lost) picker.SetModalResult(TFreeHandWindow::mrCancel);
        });
        guard.start(10000);
        RunFreeHandPickerWindow(picker, Bitmap(root.width, root.height), main);
        if (lost) picker.SetModalResult(TFreeHandWindow::mrNone);
        return !lost;
    }

    DesktopTestClient client_;
    std::unique_ptr<RealBackends> backends_;
    std::optional<EngineServices> services_;
    x11::XcbConnection look_;
};

TEST_F(ScaledWindows, AreaFrameLiesWhereTheEngineLaysItOutsideTheArea) {
    std::unique_ptr<OverlayWindow> window = services_->createOverlayWindow();
    const std::uint64_t id = window->NativeId();
    TFlashingWnd frame(std::move(window));
    frame.Reshape(kArea.left, kArea.top, "Recording...", false, kArea.height, kArea.width);
    frame.ShowOnTop();
    const Rect bounds = frame.WindowBounds();
    long long pixels = 0;
    for (const Rect& r : ShownAt(id, bounds)) {
        EXPECT_TRUE(Intersect(r, kArea).Empty());
        pixels += static_cast<long long>(r.width) * r.height;
    }
    EXPECT_EQ(pixels, frame.Region().Area());  // the whole ring and caption, in the server's pixels
}

TEST_F(ScaledWindows, FreeHandPickerCoversTheRootAndSelectsInItsPixels) {
    const Rect root = client_.RootArea();
    TFreeHandWindow picker(Size{root.width, root.height});
    Rect window;
    ASSERT_TRUE(RunFreeHandPicker(picker, [&](QWidget& w) {
        window = Geometry(w.winId());
        client_.MovePointer(Point{kArea.Right(), kArea.Bottom()});
        client_.Button(1, true);
        client_.MovePointer(Point{kArea.left, kArea.top});
        client_.Button(1, false);
        client_.Key(kControlL, true);
        client_.Button(1, true);
        client_.Button(1, false);
        client_.Key(kControlL, false);
    }));
    EXPECT_EQ(window, root);
    EXPECT_EQ(picker.ModalResult(), TFreeHandWindow::mrOK);
    EXPECT_EQ((Rect{picker.SelLeft(), picker.SelTop(), picker.SelWidth(), picker.SelHeight()}), kArea);
}

TEST_F(ScaledWindows, EscapeCancelsTheFreeHandPickerWhileAnotherProgramHoldsTheKey) {
    const xcb_keycode_t escape = client_.KeycodeOf(kEscape);
    ASSERT_TRUE(client_.GrabKey(escape, 0));
    const Rect root = client_.RootArea();
    TFreeHandWindow picker(Size{root.width, root.height});
    EXPECT_TRUE(RunFreeHandPicker(picker, [&](QWidget&) { client_.Tap(escape); }));
    EXPECT_EQ(picker.ModalResult(), TFreeHandWindow::mrCancel);
    EXPECT_FALSE(client_.WaitForKeyPress(escape, std::chrono::milliseconds(0)));
}

// The main window's fixed layout is taller than a 1080-line screen at a scale of two: it shows wholly on the
// screen with the rest scrolled to, and a recording's minimise and restore bring it back to the same place.
TEST_F(ScaledWindows, TheMainWindowLiesWhollyOnTheScreenAndComesBackThereAfterARecording) {
    const ScopedEnv noKeptChoices("XDG_CONFIG_HOME", ::testing::TempDir() + "tolm-scaled-config");
    const Rect root = client_.RootArea();
    TfrmMain window(*services_);
    backends_->Host().SetMainWindow(&window);
    window.show();
    const std::uint64_t id = window.winId();
    Rect placed;
    const auto onScreen = [&] {
        QCoreApplication::processEvents();
        placed = Geometry(id);
        return !placed.Empty() && Intersect(placed, root) == placed;
    };
    EXPECT_TRUE(PollUntil(onScreen, std::chrono::seconds(5))) << placed.left << "," << placed.top;
    EXPECT_TRUE(window.findChild<QScrollArea*>()->verticalScrollBar()->isVisible());

    backends_->Host().MinimizeApplication();
    QCoreApplication::processEvents();
    backends_->Host().RestoreApplication();
    const Rect before = placed;
    EXPECT_TRUE(PollUntil([&] { return onScreen() && placed == before; }, std::chrono::seconds(5)))
        << placed.left << "," << placed.top;
    backends_->Host().SetMainWindow(nullptr);
}

// The window's save dialog at twice the scale: each file's size, type and date show whole and in view, also
// when the dialog was last closed in an empty folder, whose narrow columns the toolkit keeps for the next time.
TEST_F(ScaledWindows, SaveDialogColumnsShowTheirContentsWhole) {
    char pattern[] = "/tmp/tolm-columns-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(folder));
    std::filesystem::create_directories(folder + "/empty");
    std::filesystem::create_directories(folder + "/files");
    std::ofstream(folder + "/files/A recording of the weekly meeting.avi") << std::string(3000000, 'x');
    TfrmMain window(*services_);
    window.show();
    const auto openIn = [&window](const std::string& place, int files) {
        window.findChild<QLineEdit*>(QStringLiteral("EditOutputDir"))
            ->setText(QString::fromStdString(place + "/x.avi"));
        bool whole = false;
        QTimer::singleShot(0, &window, [&whole, files] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            auto* view = dialog ? dialog->findChild<QTreeView*>(QStringLiteral("treeView")) : nullptr;
            // Whole when fitting a column to its contents would not widen it, and all of them in the view.
            whole = view && PollUntil(
                                [view, files] {
                                    QCoreApplication::processEvents();
                                    QHeaderView* header = view->header();
                                    bool fits = header->length() <= view->viewport()->width();
                                    for (int column = 1; column < 4; ++column) {
                                        const int shown = header->sectionSize(column);
                                        view->resizeColumnToContents(column);
                                        fits = fits && header->sectionSize(column) <= shown;
                                        header->resizeSection(column, shown);
                                    }
                                    return fits && view->model()->rowCount(view->rootIndex()) >= files;
                                },
                                std::chrono::seconds(10));
            if (dialog) dialog->reject();
        });
        window.findChild<QAbstractButton*>(QStringLiteral("btnChooseSaveFile"))->click();
        return whole;
    };
    openIn(folder + "/empty", 0);
    EXPECT_TRUE(openIn(folder + "/files", 1));
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tolm::testing
