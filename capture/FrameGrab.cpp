#include "capture/CaptureGlobals.h"
#include "capture/CursorDraw.h"
#include "capture/ScreenCamera.h"
#include "effects/PixelFilters.h"
#include "effects/Rotation.h"

#include <cstring>

namespace tolm {
namespace {

constexpr const char* kEffectRefused = "In mode 8-bit or 16-bit with width image 1280 effect setting is not possible.";

void InvertColours(Bitmap& image) {
    for (int y = 0; y < image.Height(); ++y) {
        std::uint8_t* row = image.ScanLine(y);
        for (int x = 0; x < image.Width(); ++x) row[4 * x] ^= 0xFF, row[4 * x + 1] ^= 0xFF, row[4 * x + 2] ^= 0xFF;
    }
}

bool HasEffects(TUseFilters filters) {
    return !filters.Without(TUseFilter::UseReverseColor).Empty();
}

void DrawScreenCursor(ScreenSource& screen, const PixelRows& rows, int left, int top) {
    CursorImage cursor;
    if (screen.QueryCursor(cursor) && cursor.visible)
        DrawCursor(rows, cursor, cursor.position.x - left - cursor.hotspot.x,
                   cursor.position.y - top - cursor.hotspot.y);
}

void CopyRows(const PixelRows& rows, Bitmap& target) {
    if (target.Width() != rows.width || target.Height() != rows.height || target.PixelFormat() != TPixelFormat::pf32bit)
        target = Bitmap(rows.width, rows.height, TPixelFormat::pf32bit);
    for (int y = 0; y < rows.height; ++y)
        std::memcpy(target.ScanLine(y), rows.Row(y), static_cast<std::size_t>(rows.width) * 4);
}

// Turns or mirrors the finished 32-bit picture in place. The stream's frame keeps the area's size, fixed at the
// recording's start, so a quarter turn is scaled to fit it rather than cut.
void ApplyRotation(TScreenRotate rotate, Bitmap& working, Bitmap& scratch) {
    switch (rotate) {
        case TScreenRotate::RLeft:
        case TScreenRotate::RRight:
            TurnQuarterToFit(working, rotate == TScreenRotate::RRight, scratch);
            break;
        case TScreenRotate::RReverse:
            FlipBitmap(working, 2);
            break;
        case TScreenRotate::RHorizontal:
            FlipBitmap(working, 0);
            break;
        case TScreenRotate::RVertical:
            FlipBitmap(working, 1);
            break;
    }
}

}  // namespace

void TScreenCamera::ReportError(const std::string& text) {
    if (OnError) OnError(*this, text);
}

void TScreenCamera::Raise(const TSCEvent& event) {
    if (event) event(*this);
}

void TScreenCamera::RunEffects(Bitmap& frame) {
    const TFilterValues& v = filterValues_;
    struct Step {
        TUseFilter filter;
        void (*apply)(Bitmap&, const TFilterValues&);
    };
    static constexpr Step kOrder[] = {
        {TUseFilter::UseBrightness,
         [](Bitmap& f, const TFilterValues& fv) { ApplyBrightness(f, fv.ValueBrightness()); }},
        {TUseFilter::UseContrast, [](Bitmap& f, const TFilterValues& fv) { ApplyContrast(f, fv.ValueContrast()); }},
        {TUseFilter::UseDarkness, [](Bitmap& f, const TFilterValues& fv) { ApplyDarkness(f, fv.ValueDarkness()); }},
        {TUseFilter::UseSaturation,
         [](Bitmap& f, const TFilterValues& fv) { ApplySaturation(f, fv.ValueSaturation()); }},
        {TUseFilter::UseColorNoise,
         [](Bitmap& f, const TFilterValues& fv) { ApplyColorNoise(f, fv.ValueColorNoise()); }},
        {TUseFilter::UseMonoNoise, [](Bitmap& f, const TFilterValues& fv) { ApplyMonoNoise(f, fv.ValueMonoNoise()); }},
        {TUseFilter::UsePosterize, [](Bitmap& f, const TFilterValues& fv) { ApplyPosterize(f, fv.ValuePosterize()); }},
        {TUseFilter::UseColorAdjust,
         [](Bitmap& f, const TFilterValues& fv) {
             ApplyColorAdjust(f, fv.ValueRedColor(), fv.ValueGreenColor(), fv.ValueBlueColor());
         }},
        {TUseFilter::UseGrayScale, [](Bitmap& f, const TFilterValues&) { ApplyGrayScale(f); }},
        {TUseFilter::UseSepia, [](Bitmap& f, const TFilterValues&) { ApplySepia(f); }},
    };
    for (const Step& step : kOrder) {
        if (!UseFilters().Contains(step.filter)) continue;
        if (!EffectsAllowed(&frame)) {
            useFilters_.fetch_and(static_cast<std::uint16_t>(~TUseFilters::Mask(step.filter)));
            services_.host.ShowNotice("Notice", kEffectRefused, NoticeIcon::error);
            continue;
        }
        step.apply(frame, v);
    }
}

std::optional<PackedDib> TScreenCamera::CaptureFrame(TCaptureMode mode, Bitmap* target, int left, int top, int width,
                                                     int height, bool invert) {
    std::unique_lock lock(callerScratchMutex_, std::try_to_lock);
    FrameScratch own;
    return GrabFrame(lock.owns_lock() ? callerScratch_ : own, mode, target, Rect{left, top, width, height}, invert);
}

std::optional<PackedDib> TScreenCamera::GrabFrame(FrameScratch& scratch, TCaptureMode mode, Bitmap* target,
                                                  const Rect& area, bool invert) {
    // Settings are read once so that one frame is built from one consistent set of them.
    const TPixelFormat colors = Colors();
    const TUseFilters filters = UseFilters();
    const bool overlay = ovelayDrawing_ && static_cast<bool>(OnOverlay);
    const bool overlayWithEffects = overlay && effectToOvelayDraw_;
    if (mode != TCaptureMode::cmBitmap && colors == TPixelFormat::pf32bit && !invert && !overlay &&
        !HasEffects(filters))
        return CaptureIntoDib(mode, target, area);

    Bitmap& working = scratch.working;
    Bitmap& frame = scratch.frame;
    if (!services_.screen.Grab(area, working)) {
        statistics_.SetLastGrabError(services_.screen.LastError());
        return std::nullopt;
    }
    if (invert) InvertColours(working);

    if (recordCursor_) DrawScreenCursor(services_.screen, working.Rows(), area.left, area.top);

    if (overlayWithEffects) {
        // The overlay is drawn on the screen's own colours, then inverted with the frame, so it takes the effects.
        if (invert) InvertColours(working);
        OnOverlay(*this, working, area.width, area.height);
        if (invert) InvertColours(working);
    }

    // Without effects the frame bitmap's round trip through the colour format changes nothing that the
    // packing does not do anyway (the conversions are stable after one pass), so it is skipped - unless an
    // overlay drawn afterwards would blend with colours that 8 or 16 bits would have reduced first.
    const bool lossless = colors == TPixelFormat::pf32bit || colors == TPixelFormat::pf24bit;
    if (HasEffects(filters) || (!lossless && overlay && !overlayWithEffects)) {
        if (frame.Width() != working.Width() || frame.Height() != working.Height() || frame.PixelFormat() != colors)
            frame = Bitmap(working.Width(), working.Height(), colors);
        frame.Draw(0, 0, working);
        RunEffects(frame);
        working.Draw(0, 0, frame);
        if (filters.Contains(TUseFilter::UseRotateImage))
            ApplyRotation(filterValues_.TypeScreenRotate(), working, scratch.turned);
    }

    if (overlay && !overlayWithEffects) OnOverlay(*this, working, area.width, area.height);

    if (mode != TCaptureMode::cmDib && target != nullptr) {
        *target = working;
        target->SetPixelFormat(colors);
    }
    if (mode == TCaptureMode::cmBitmap) return std::nullopt;
    return BitmapToDIB(working, BitsPerPixel(colors));
}

std::optional<PackedDib> TScreenCamera::ProbeFrame(FrameScratch& scratch, const Rect& area, bool invert) {
    std::optional<PackedDib> dib = GrabFrame(scratch, TCaptureMode::cmDib, nullptr, area, invert);
    if (!dib && services_.screen.AwaitingFirstPicture()) dib = BlackFrame(area);
    return dib;
}

std::optional<PackedDib> TScreenCamera::BlackFrame(const Rect& area) {
    return BitmapToDIB(Bitmap(area.width, area.height, TPixelFormat::pf32bit), BitsPerPixel(Colors()));
}

std::optional<PackedDib> TScreenCamera::CaptureIntoDib(TCaptureMode mode, Bitmap* target, const Rect& area) {
    PackedDib::Error error = PackedDib::Error::none;
    std::optional<PackedDib> dib = PackedDib::Prepare(area.width, area.height, 32, error, dibPool_.get());
    if (error != PackedDib::Error::none) {
        PackingFailed(error);
        return dib;
    }
    // Seen from its top row, the DIB takes the screen's rows in their own order: one copy, no second image.
    const PixelRows rows = dib->Rows();
    if (!services_.screen.GrabInto(area, rows)) {
        statistics_.SetLastGrabError(services_.screen.LastError());
        return std::nullopt;
    }
    if (recordCursor_) DrawScreenCursor(services_.screen, rows, area.left, area.top);
    if (mode == TCaptureMode::cmBitmapAndDib && target != nullptr) CopyRows(rows, *target);
    return dib;
}

std::optional<PackedDib> TScreenCamera::BitmapToDIB(const Bitmap& image, int bits) {
    PackedDib::Error error = PackedDib::Error::none;
    std::optional<PackedDib> dib = PackedDib::FromBitmap(image, bits, error, dibPool_.get());
    if (error != PackedDib::Error::none) PackingFailed(error);
    return dib;
}

void TScreenCamera::PackingFailed(PackedDib::Error error) {
    // The engine's own cancel, not the key's: whether the key would keep the recording must not depend on which
    // thread gets there first.
    OnMainThread([this] { CancelRecording(); });
    ReportError(PackedDib::ErrorText(error));
    Globals().StopReason = TStopReason::Cancel;
    SetRecordingFlag(false);
    Raise(OnStop);
}

}  // namespace tolm
