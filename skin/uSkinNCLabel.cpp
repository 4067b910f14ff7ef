#include "skin/uSkinNCLabel.h"

#include "framework/Properties.h"
#include "skin/uBitmapHelper.h"

namespace kq {
namespace {

// Equal fonts make equal handles; Assign would remake the handle all the same.
bool same_font(const TFont& a, const TFont& b) {
    return a.Name() == b.Name() && a.Height() == ::MulDiv(b.Height(), a.PixelsPerInch(), b.PixelsPerInch()) &&
           a.Color() == b.Color() && a.Style() == b.Style() && a.Charset() == b.Charset() && a.Pitch() == b.Pitch() &&
           a.Quality() == b.Quality();
}

} // namespace

TSkinNCLabel::TSkinNCLabel(TComponent* AOwner) : TSkinNCCtrlBase(AOwner), FFont(std::make_unique<TFont>()) {
    FCaption = host_form() ? host_form()->Caption() : String(u"NCLabel");
    FFont->OnChange = [this](TObject*) {
        FMeasured = false;
        Invalidate();
    };
    FPos->SetXValue(5);
    FPos->SetYValue(5);
}

void TSkinNCLabel::SetEllipsisPosition(TEllipsisPosition Value) {
    if (FEllipsisPosition == Value)
        return;
    FEllipsisPosition = Value;
    Invalidate();
}

void TSkinNCLabel::SetCaption(const String& Value) {
    FCaption = Value;
    FMeasured = false;
    Invalidate();
}

void TSkinNCLabel::LMouseDown() {
    if (FCaptureMouse && host_form() && host_form()->HandleAllocated()) {
        ::ReleaseCapture();
        ::SendMessageW(host_form()->Handle(), WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
    }
    TSkinNCCtrlBase::LMouseDown();
}

void TSkinNCLabel::Paint(TBitmap32* Canvas) {
    TSkinNCCtrlBase::Paint(Canvas);
    // The form keeps its title bar's bitmap: the font goes on it again only when another one was put there.
    if (!same_font(*Canvas->Font(), *FFont))
        Canvas->Font()->Assign(FFont.get());
    if (!same_font(Canvas->Canvas()->Font(), *FFont))
        Canvas->Canvas()->Font().Assign(FFont.get());
    if (!FMeasured) {
        const SIZE size = Canvas->TextExtent(FCaption);
        FWidth = size.cx;
        FHeight = size.cy;
        FMeasured = true;
    }
    TRect r{FPos->X(), FPos->Y(), FPos->X() + FWidth, FPos->Y() + FHeight};
    const TColor32 colour = WinColorToColor32(FFont->Color());
    if (FMaxWidth != 0) {
        static constexpr UINT ellipsis[] = {0, DT_PATH_ELLIPSIS, DT_END_ELLIPSIS, DT_WORD_ELLIPSIS};
        const UINT flags = ellipsis[FEllipsisPosition];
        r.Right = r.Left + FMaxWidth;
        if (FLight.Active())
            FGlow.Draw(*Canvas, r, FCaption, FLight.BlurRadius(), FLight.Color(), flags);
        if (FRenderText)
            Canvas->RenderText(r, flags, FCaption, colour);
        else
            Canvas->Textout(r, flags, FCaption);
        return;
    }
    if (FLight.Active())
        FGlow.Draw(*Canvas, r, FCaption, FLight.BlurRadius(), FLight.Color(), DT_VCENTER);
    if (FRenderText)
        Canvas->RenderText(FPos->X(), FPos->Y(), FCaption, 0, colour);
    else
        Canvas->Textout(FPos->X(), FPos->Y(), FCaption);
}

// --- Published

const property_table& TSkinNCLabel::PublishedProperties() const {
    using C = TSkinNCLabel;
    static const property_table table = property_table::of<C>(TSkinNCCtrlBase::PublishedProperties())
        .persistent(u"Light", [](const C& c) { return &const_cast<C&>(c).Light(); })
        .enumeration(u"EllipsisPosition", &C::EllipsisPosition, &C::SetEllipsisPosition,
                     {u"epNone", u"epPathEllipsis", u"epEndEllipsis", u"epWordEllipsis"}, epNone)
        .string(u"Caption", &C::Caption, &C::SetCaption)
        .persistent(u"Font", [](const C& c) { return &const_cast<C&>(c).Font(); })
        .boolean(u"CaptureMouse", &C::CaptureMouse, &C::SetCaptureMouse, true)
        .boolean(u"RenderText", &C::RenderText, &C::SetRenderText, false)
        .integer(u"MaxWidth", &C::MaxWidth, &C::SetMaxWidth, 0);
    return table;
}

} // namespace kq
