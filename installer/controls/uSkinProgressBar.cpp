#include "installer/controls/uSkinProgressBar.h"

#include "framework/Conversions.h"
#include "framework/Geometry.h"
#include "framework/Graphics.h"
#include "framework/Handles.h"
#include "framework/Properties.h"
#include "framework/Timers.h"
#include "graphics/Raster.h"
#include "skin/uBitmapHelper.h"
#include "skin/uSkRasterLib.h"
#include "skin/uSkinResManager.h"

#include <algorithm>
#include <cmath>

namespace kq {

namespace {
constexpr unsigned repeat_delay_ms = 200;
constexpr unsigned repeat_interval_ms = 100;
constexpr std::int32_t narrowest_drawn_width = 30;

TSkinImage* skin_image(const TSkResID& name) {
    return name.empty() ? nullptr : SkinResManager()->GetImageByName(name);
}
} // namespace

// --- Thumb

void TSkPBTrackButton::SetNormal(const TSkResID& Value) {
    if (FNormal == Value) return;
    FNormal = Value;
    Changed();
}

void TSkPBTrackButton::SetHot(const TSkResID& Value) {
    if (FHot == Value) return;
    FHot = Value;
    Changed();
}

void TSkPBTrackButton::SetVisible(bool Value) {
    FVisible = Value;
    Changed();
}

void TSkPBTrackButton::Changed() {
    if (OnChanged) OnChanged(this);
}

void TSkPBTrackButton::Assign(const TPersistent* Source) {
    if (const auto* o = dynamic_cast<const TSkPBTrackButton*>(Source)) {
        FNormal = o->FNormal;
        FHot = o->FHot;
        FVisible = o->FVisible;
        FOffset = o->FOffset;
        FAlwaysShow = o->FAlwaysShow;
        Changed();
        return;
    }
    TPersistent::Assign(Source);
}

const property_table& TSkPBTrackButton::PublishedProperties() const {
    using C = TSkPBTrackButton;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .string(u"Normal", &C::Normal, &C::SetNormal, String())
        .string(u"Hot", &C::Hot, &C::SetHot, String())
        .boolean(u"Visible", &C::Visible, &C::SetVisible, false)
        .integer(u"Offset", &C::Offset, &C::SetOffset, 0)
        .boolean(u"AlwaysShow", &C::AlwaysShow, &C::SetAlwaysShow, true)
        .event(u"OnChanged", &C::OnChanged);
    return table;
}

// --- Bar

TSkinProgressBar::TSkinProgressBar(TComponent* AOwner)
    : TSkinCustomControl(AOwner), FTrackButton(std::make_unique<TSkPBTrackButton>()),
      FCaption(std::make_unique<TSkCaption>()) {
    FRepeatTimer = new TTimer(this);
    FRepeatTimer->SetEnabled(false);
    FRepeatTimer->SetInterval(repeat_delay_ms);
    FRepeatTimer->OnTimer = [this](TObject*) { repeat_tick(); };
    FCaption->OnChanged = [this](TObject*) { Invalidate(); };
    SetBounds(Left(), Top(), 150, 17);
}

TSkinProgressBar::~TSkinProgressBar() = default;

std::int64_t TSkinProgressBar::range() const noexcept {
    const std::int64_t r = std::int64_t{FMaxValue} - FMinValue;
    return r == 0 ? 1 : r;
}

void TSkinProgressBar::SetMinValue(std::int32_t Value) {
    FMinValue = Value;
    FMaxValue = std::max(FMaxValue, Value);
    FValue = std::clamp(FValue, FMinValue, FMaxValue);
    Invalidate();
}

void TSkinProgressBar::SetMaxValue(std::int32_t Value) {
    FMaxValue = Value;
    FMinValue = std::min(FMinValue, Value);
    FValue = std::clamp(FValue, FMinValue, FMaxValue);
    Invalidate();
}

void TSkinProgressBar::SetValue(std::int32_t Value) {
    const std::int32_t clamped = std::clamp(Value, FMinValue, FMaxValue);
    if (clamped == FValue) return;
    FValue = clamped;
    Invalidate();
    if (FUpdateCount == 0 && OnChanged) OnChanged(this);
}

void TSkinProgressBar::set_value_notifying(std::int32_t Value) { SetValue(Value); }

void TSkinProgressBar::SetBar_Progress(const TSkResID& Value) {
    if (FBar_Progress == Value) return;
    FBar_Progress = Value;
    Invalidate();
}

void TSkinProgressBar::SetBar_Background(const TSkResID& Value) {
    if (FBar_Background == Value) return;
    FBar_Background = Value;
    Invalidate();
}

void TSkinProgressBar::SetBarLeftRightSize(std::int32_t Value) {
    FBarLeftRightSize = Value;
    Invalidate();
}

void TSkinProgressBar::SetCaption(const TSkCaption& Value) {
    FCaption->Assign(&Value);
    Invalidate();
}

void TSkinProgressBar::SetTrackButton(const TSkPBTrackButton& Value) {
    FTrackButton->Assign(&Value);
    Invalidate();
}

std::int32_t TSkinProgressBar::filled_width() const {
    const double filled = static_cast<double>(std::int64_t{FValue} - FMinValue) / static_cast<double>(range()) * Width();
    return filled < 0 ? 0 : static_cast<std::int32_t>(std::trunc(filled));
}

// --- Painting

void TSkinProgressBar::DrawBody(TBitmap32* Canvas) {
    TSkinCustomControl::DrawBody(Canvas);
    if (Width() < narrowest_drawn_width) return;
    TSkinImage* background = skin_image(FBar_Background);
    if (!background) return;
    Canvas->BeginUpdate();
    const auto done = scope_exit([Canvas] { Canvas->EndUpdate(); });
    if (auto stretched = ResizeSkinImage(background, Width(), background->Height()))
        stretched->DrawTo(Canvas, 0, (Height() - background->Height()) / 2);
    if (TSkinImage* progress = skin_image(FBar_Progress)) {
        if (auto filled = ThreeSliceStretch(progress, filled_width(), FBarLeftRightSize))
            filled->DrawTo(Canvas, 0, (Height() - progress->Height()) / 2);
    }
    if (FTrackButton->Visible()) {
        FTrackRct = TRect{1, 1, Width() - 1, Height() - 1};
        draw_thumb(Canvas);
    }
    if (FCaption->Visible() && !FCaption->Text().empty()) {
        TRect r{FCaption->OffsetX(), FCaption->OffsetY(), Width() + FCaption->OffsetX(), Height() + FCaption->OffsetY()};
        Canvas->Font()->Assign(&FCaption->Font());
        Canvas->Canvas()->Font().Assign(&FCaption->Font());
        const std::uint32_t flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
        if (FCaption->Light().Active())
            DrawGlowText(*Canvas->Canvas(), r, FCaption->Text(), FCaption->Light().BlurRadius(),
                         FCaption->Light().Color(), flags);
        Canvas->Textout(r, flags, FCaption->Text());
    }
}

void TSkinProgressBar::draw_thumb(TBitmap32* Canvas) {
    TSkinImage* hot = FMouseIn ? skin_image(FTrackButton->Hot()) : nullptr;
    TSkinImage* normal = skin_image(FTrackButton->Normal());
    if (TSkinImage* sized = hot ? hot : normal) {
        FThumbWidth = static_cast<std::int16_t>(sized->Width());
        FThumbHeight = static_cast<std::int16_t>(sized->Height());
    }
    const std::int32_t x = filled_width() + FTrackButton->Offset();
    TRect r{x - FThumbWidth, (Height() - FThumbHeight) / 2, x, 0};
    r.Bottom = r.Top + FThumbHeight;
    if (FTrackButton->AlwaysShow() || hot) {
        if (r.Left < 0) {
            r.Left = 0;
            r.Right = FThumbWidth;
        } else if (r.Right > Width()) {
            r.Left = Width() - FThumbWidth;
            r.Right = Width();
        }
    }
    FThumbRct = r;
    if (TSkinImage* shown = hot ? hot : normal) shown->DrawTo(Canvas, r.Left, r.Top);
}

// --- Slider input

std::int32_t TSkinProgressBar::value_at(int X) const {
    const std::int32_t track = FTrackRct.Right - FTrackRct.Left;
    // An empty track has no value under the pointer.
    if (track <= 0) return FValue;
    const double at = static_cast<double>(X - FTrackRct.Left - FThumbCenterOffsetX) / track *
                          static_cast<double>(std::int64_t{FMaxValue} - FMinValue) +
                      FMinValue;
    const double clamped = std::clamp(at, static_cast<double>(FMinValue), static_cast<double>(FMaxValue));
    return static_cast<std::int32_t>(Round(clamped));
}

void TSkinProgressBar::WndProc(TMessage& Message) {
    if (Message.Msg == WM_GETDLGCODE) {
        Message.Result = DLGC_WANTARROWS;
        return;
    }
    TSkinCustomControl::WndProc(Message);
}

void TSkinProgressBar::KeyDown(std::uint16_t& Key, TShiftState Shift) {
    TSkinCustomControl::KeyDown(Key, Shift);
    if (!FTrackButton->Visible()) return;
    std::int64_t next = FValue;
    switch (Key) {
    case VK_END: next = FMaxValue; break;
    case VK_HOME: next = FMinValue; break;
    case VK_LEFT:
    case VK_DOWN:
    case VK_SUBTRACT:
    case VK_NEXT: next = std::int64_t{FValue} - 1; break;
    case VK_UP:
    case VK_RIGHT:
    case VK_ADD:
    case VK_PRIOR: next = std::int64_t{FValue} + 1; break;
    default: return;
    }
    SetValue(static_cast<std::int32_t>(std::clamp<std::int64_t>(next, FMinValue, FMaxValue)));
}

void TSkinProgressBar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TSkinCustomControl::MouseDown(Button, Shift, X, Y);
    if (!FTrackButton->Visible() || Button != TMouseButton::mbLeft) return;
    if (!designing() && CanFocus()) SetFocus();
    const TPoint p{X, Y};
    if (PointInRect(FThumbRct, p)) {
        end_repeat();
        ::SetCapture(Handle());
        FSliding = true;
        FThumbCenterOffsetX = X - (FThumbRct.Left + FThumbWidth / 2);
        FThumbCenterOffsetY = Y - (FThumbRct.Top + FThumbHeight / 2);
    } else if (PointInRect(FTrackRct, p)) {
        FRepeatTimer->SetEnabled(true);
        FLastX = X;
        FLastY = Y;
        track_press(X, Y);
    }
    Invalidate();
}

void TSkinProgressBar::track_press(int X, int) {
    const double step = static_cast<double>(Width() - FThumbWidth) / static_cast<double>(range());
    const auto thumb_at = static_cast<std::int32_t>(std::trunc(static_cast<double>(std::int64_t{FValue} - FMinValue) * step));
    if (!FPaging) {
        FPaging = true;
        FPagingDirInc = X >= thumb_at;
    }
    if (FPagingDirInc ? X >= thumb_at : X < thumb_at)
        set_value_notifying(value_at(X));
    else
        end_repeat();
}

void TSkinProgressBar::end_repeat() {
    FRepeatTimer->SetEnabled(false);
    FRepeatTimer->SetInterval(repeat_delay_ms);
    FPaging = false;
}

void TSkinProgressBar::repeat_tick() {
    FRepeatTimer->SetInterval(repeat_interval_ms);
    if (!HandleAllocated() || ::GetCapture() != Handle()) return;
    // A press that fails stops the repeat. Disabled first, the timer takes its interval without asking the
    // system for a timer, so this clean-up cannot throw.
    auto stop_repeat = scope_exit([this] {
        FRepeatTimer->SetEnabled(false);
        FRepeatTimer->SetInterval(repeat_delay_ms);
    });
    track_press(FLastX, FLastY);
    stop_repeat.release();
}

void TSkinProgressBar::MouseMove(TShiftState Shift, int X, int Y) {
    TSkinCustomControl::MouseMove(Shift, X, Y);
    if (!FTrackButton->Visible()) return;
    if (FSliding) set_value_notifying(value_at(X));
    Invalidate();
}

void TSkinProgressBar::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TSkinCustomControl::MouseUp(Button, Shift, X, Y);
    if (!FTrackButton->Visible()) return;
    SetValue(FValue);
    end_repeat();
    if (FSliding && Button == TMouseButton::mbLeft) {
        FSliding = false;
        ::ReleaseCapture();
    }
    Invalidate();
}

void TSkinProgressBar::DoMouseEnter() {
    TSkinCustomControl::DoMouseEnter();
    FMouseIn = true;
    Invalidate();
}

void TSkinProgressBar::DoMouseLeave() {
    TSkinCustomControl::DoMouseLeave();
    FMouseIn = false;
    Invalidate();
}

// --- Published

const property_table& TSkinProgressBar::PublishedProperties() const {
    using C = TSkinProgressBar;
    static const property_table table = property_table::of<C>(TSkinCustomControl::PublishedProperties())
        .persistent(u"Caption", [](const C& c) { return &const_cast<C&>(c).Caption(); })
        .string(u"Bar_Progress", &C::Bar_Progress, &C::SetBar_Progress, String(u"SkinBar_cur"))
        .string(u"Bar_Background", &C::Bar_Background, &C::SetBar_Background, String(u"SkinBar_base"))
        .integer(u"BarLeftRightSize", &C::BarLeftRightSize, &C::SetBarLeftRightSize, 6)
        .persistent(u"TrackButton", [](const C& c) { return &const_cast<C&>(c).TrackButton(); })
        .integer(u"MinValue", &C::MinValue, &C::SetMinValue, 0)
        .integer(u"MaxValue", &C::MaxValue, &C::SetMaxValue, 100)
        .integer(u"Value", &C::Value, &C::SetValue, 50)
        .event(u"OnChanged", &C::OnChanged);
    return table;
}

// --- Three slices

void SplitImageThreeSlices(TBitmap32* Image, std::int32_t Cap, TDynSkinImage& Slices) {
    FreeSkinImages(Slices);
    if (!Image) return;
    const std::int32_t w = Image->Width(), h = Image->Height();
    if (Cap <= 0 || Cap >= w / 3) {
        SplitImageStrip(Image, 3, Slices);
        return;
    }
    Slices.push_back(cut_region(Image, TRect{0, 0, Cap, h}));
    Slices.push_back(cut_region(Image, TRect{Cap, 0, w - Cap, h}));
    Slices.push_back(cut_region(Image, TRect{w - Cap, 0, w, h}));
}

std::unique_ptr<TSkinImage> ThreeSliceStretch(TBitmap32* Image, std::int32_t Width, std::int32_t Cap) {
    if (!Image) return nullptr;
    auto result = std::make_unique<TSkinImage>();
    Image->CopyPropertiesTo(result.get());
    const std::int32_t h = Image->Height();
    if (Width <= 0) return result;
    result->SetSize(Width, h);
    result->Clear(0);
    TDynSkinImage slices;
    if (Cap == 0)
        SplitImageStrip(Image, 3, slices);
    else
        SplitImageThreeSlices(Image, Cap, slices);
    if (slices.size() < 3) return result;
    TSkinImage* left = slices[0].get();
    TSkinImage* middle = slices[1].get();
    TSkinImage* right = slices[2].get();
    const std::int32_t lw = left->Width(), rw = right->Width();
    if (lw >= Width) {
        left->DrawTo(result.get(), TRect{0, 0, lw, h});
        return result;
    }
    // Through the result's device context: stretched, the pixels copied as they are.
    const auto copy = [&](TSkinImage* slice, const TRect& dst, std::int32_t slice_height) {
        result->Draw(dst, TRect{0, 0, slice->Width(), slice_height}, slice->Handle());
    };
    if (Cap != 0) {
        const bool room = Cap + 3 < Width;
        if (room) copy(middle, TRect{lw, 0, Width - rw, h}, h);
        copy(left, TRect{0, 0, lw, h}, h);
        if (room) copy(right, TRect{Width - rw, 0, Width, h}, h);
    } else {
        copy(middle, TRect{lw, 0, Width - lw, h}, h);
        copy(left, TRect{0, 0, lw, left->Height()}, left->Height());
        copy(right, TRect{Width - lw, 0, Width, right->Height()}, right->Height());
    }
    return result;
}

} // namespace kq
