#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWindow>

#include "app/FreeHandPickerWindow.h"
#include "app/QtMainThread.h"
#include "imaging/Bitmap.h"
#include "selection/FreeHandWnd.h"

namespace tolm {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr std::uint32_t kGrey = 0x808080;

Bitmap Still(TPixelFormat format = TPixelFormat::pf32bit) {
    Bitmap still(kWidth, kHeight, format);
    still.Fill(kGrey);
    still.SetPixelRGB(30, 40, 0x102030);
    still.SetPixelRGB(kWidth - 1, kHeight - 1, 0xA0B0C0);
    return still;
}

void Send(QWidget& w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::KeyboardModifiers mods = {}) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, QPointF(w.mapFromGlobal(at)), QPointF(at), button, held, mods);
    QCoreApplication::sendEvent(&w, &event);
}

void DragAndSelect(QWidget& w) {
    Send(w, QEvent::MouseButtonPress, {500, 400}, Qt::LeftButton);
    Send(w, QEvent::MouseMove, {350, 250}, Qt::NoButton);
    Send(w, QEvent::MouseMove, {200, 100}, Qt::NoButton);
    Send(w, QEvent::MouseButtonRelease, {200, 100}, Qt::LeftButton);
}

QImage Render(QWidget& w) {
    QImage image(w.size(), QImage::Format_RGB32);
    w.render(&image);
    return image;
}

TEST(FreeHandPickerWindow, DragThenCtrlClickSelects) {
    TFreeHandWindow picker(Size{kWidth, kHeight});
    FreeHandPickerWindow window(picker, Still());
    EXPECT_EQ(window.geometry(), QRect(0, 0, kWidth, kHeight));
    DragAndSelect(window);
    EXPECT_EQ(picker.ModalResult(), TFreeHandWindow::mrNone);
    Send(window, QEvent::MouseButtonPress, {250, 150}, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(picker.ModalResult(), TFreeHandWindow::mrOK);
    EXPECT_EQ(picker.SelLeft(), 200);
    EXPECT_EQ(picker.SelTop(), 100);
    EXPECT_EQ(picker.SelWidth(), 300);
    EXPECT_EQ(picker.SelHeight(), 300);
}

TEST(FreeHandPickerWindow, ShowsTheStillPictureWherePixelsBelong) {
    for (TPixelFormat format : {TPixelFormat::pf32bit, TPixelFormat::pf24bit}) {
        TFreeHandWindow picker(Size{kWidth, kHeight});
        FreeHandPickerWindow window(picker, Still(format));
        const QImage image = Render(window);
        EXPECT_EQ(image.pixel(30, 40), qRgb(0x10, 0x20, 0x30));
        EXPECT_EQ(image.pixel(kWidth - 1, kHeight - 1), qRgb(0xA0, 0xB0, 0xC0));
        EXPECT_EQ(image.pixel(31, 40), qRgb(0x80, 0x80, 0x80));
    }
}

TEST(FreeHandPickerWindow, DrawsTheGuideLinesTwoPixelsWide) {
    TFreeHandWindow picker(Size{kWidth, kHeight});
    FreeHandPickerWindow window(picker, Still());
    DragAndSelect(window);
    const QImage image = Render(window);
    const QRgb black = qRgb(0, 0, 0);
    const QRgb grey = qRgb(0x80, 0x80, 0x80);
    // Through the start point (500, 400) and the end point (200, 100), across the whole window.
    for (int x : {500, 501, 200, 201}) {
        EXPECT_EQ(image.pixel(x, 5), black) << x;
        EXPECT_EQ(image.pixel(x, kHeight - 1), black) << x;
    }
    for (int y : {400, 401, 100, 101}) {
        EXPECT_EQ(image.pixel(5, y), black) << y;
        EXPECT_EQ(image.pixel(kWidth - 1, y), black) << y;
    }
    EXPECT_EQ(image.pixel(502, 5), grey);
    EXPECT_EQ(image.pixel(499, 5), grey);
    EXPECT_EQ(image.pixel(5, 402), grey);
    EXPECT_EQ(image.pixel(300, 300), grey);  // inside the selection the picture shows as it is
}

TEST(FreeHandPickerWindow, HintBoxFollowsThePointerWithOneLinePerBreak) {
    TFreeHandWindow picker(Size{kWidth, kHeight});
    FreeHandPickerWindow window(picker, Still());
    EXPECT_TRUE(window.HintBox().isEmpty());

    DragAndSelect(window);  // hint: position, selected area, separator and the two key lines
    const QRect box = window.HintBox();
    ASSERT_FALSE(box.isEmpty());
    EXPECT_GT(box.left(), 200);
    EXPECT_GT(box.top(), 100);
    const QFontMetrics metrics(window.font());
    EXPECT_GE(box.height(), 5 * metrics.height());
    EXPECT_LT(box.height(), 7 * metrics.lineSpacing());
    const QImage image = Render(window);
    EXPECT_EQ(image.pixel(box.right() - 2, box.bottom() - 2), window.palette().color(QPalette::ToolTipBase).rgb());

    // Near the bottom-right corner the box turns to the other side of the pointer, staying on the window.
    Send(window, QEvent::MouseButtonPress, {600, 20}, Qt::LeftButton);
    Send(window, QEvent::MouseButtonRelease, {600, 20}, Qt::LeftButton);
    Send(window, QEvent::MouseMove, {630, 470}, Qt::NoButton);
    const QRect flipped = window.HintBox();
    EXPECT_LE(flipped.right(), 630);
    EXPECT_LE(flipped.bottom(), 470);
    EXPECT_GE(flipped.left(), 0);

    // A press clears the hint.
    Send(window, QEvent::MouseButtonPress, {630, 470}, Qt::RightButton);
    EXPECT_TRUE(window.HintBox().isEmpty());
}

QWidget* PickerOnScreen() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<FreeHandPickerWindow*>(w) && w->isVisible()) return w;
    return nullptr;
}

TEST(FreeHandPickerWindow, RunEndsWithTheCtrlClickAndClosesTheWindow) {
    QtMainThread main;
    TFreeHandWindow picker(Size{kWidth, kHeight});
    bool sawWindow = false;
    main.Post([&] {
        QWidget* w = PickerOnScreen();
        sawWindow = w != nullptr;
        if (!w) return picker.SetModalResult(TFreeHandWindow::mrCancel);
        DragAndSelect(*w);
        Send(*w, QEvent::MouseButtonPress, {250, 150}, Qt::LeftButton, Qt::ControlModifier);
    });
    RunFreeHandPickerWindow(picker, Still(), main);
    EXPECT_TRUE(sawWindow);
    EXPECT_EQ(picker.ModalResult(), TFreeHandWindow::mrOK);
    EXPECT_EQ(picker.SelWidth(), 300);
    EXPECT_EQ(PickerOnScreen(), nullptr);
}

TEST(FreeHandPickerWindow, TakesTheKeyboardAndEscapeCancels) {
    QtMainThread main;
    TFreeHandWindow picker(Size{kWidth, kHeight});
    bool grabbed = false;
    main.Post([&] {
        QWidget* w = PickerOnScreen();
        grabbed = w != nullptr && QWidget::keyboardGrabber() == w;
        if (w) {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b"));
            QCoreApplication::sendEvent(w->windowHandle(), &escape);
        }
        if (picker.ModalResult() == TFreeHandWindow::mrNone) picker.SetModalResult(TFreeHandWindow::mrOK);
    });
    RunFreeHandPickerWindow(picker, Still(), main);
    EXPECT_TRUE(grabbed);
    EXPECT_EQ(picker.ModalResult(), TFreeHandWindow::mrCancel);
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
}

TEST(FreeHandPickerWindow, QuittingTheApplicationLeavesThePickerCancelled) {
    QtMainThread main;
    TFreeHandWindow picker(Size{kWidth, kHeight});
    QTimer::singleShot(0, [&] {
        main.Post([] { QCoreApplication::exit(0); });
        RunFreeHandPickerWindow(picker, Still(), main);
    });
    QCoreApplication::exec();
    EXPECT_EQ(picker.ModalResult(), TFreeHandWindow::mrCancel);
    EXPECT_EQ(PickerOnScreen(), nullptr);
}

}  // namespace
}  // namespace tolm
