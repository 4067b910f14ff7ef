#include "graphics/Raster_Text.h"

#include "framework/Conversions.h"
#include "framework/Graphics.h"
#include "graphics/Raster_Paths.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace kq {

struct detail::flattened_path_access {
    static TArrayOfArrayOfFloatPoint& path(TFlattenedPath& p) { return p.FPath; }
};

namespace {

// The glyph state. Constant-initialised to hinting mode 0.
struct glyph_state {
    bool hinting = false;
    float stretch = 1;
    float stretch_reciprocal = 1;
    MAT2 transform{{0, 1}, {0, 0}, {0, 0}, {0, -1}}; // flipped: Y grows downwards
};
glyph_state glyphs;

UINT glyph_format() {
    return glyphs.hinting ? GGO_NATIVE : GGO_NATIVE | GGO_UNHINTED;
}

float fixed_value(const FIXED& f) {
    return static_cast<float>(f.value) + static_cast<float>(f.fract) / 65536.0f;
}

} // namespace

void SetGlyphHinting(std::int32_t Mode) {
    glyphs.hinting = Mode != 0;
    glyphs.stretch = Mode == 1 ? 16.0f : 1.0f;
    glyphs.stretch_reciprocal = 1 / glyphs.stretch;
    glyphs.transform = {{0, static_cast<short>(glyphs.stretch)}, {0, 0}, {0, 0}, {0, -1}};
}

bool GlyphOutlineToPath(HDC DC, TCustomPath* Path, std::uint32_t Glyph, GLYPHMETRICS& Metrics, float DstY, float MaxX,
                        float DstX) {
    const DWORD size = ::GetGlyphOutlineW(DC, Glyph, glyph_format(), &Metrics, 0, nullptr, &glyphs.transform);
    if (DstX + static_cast<float>(Metrics.gmCellIncX) > MaxX)
        return false;
    if (!Path)
        return true;
    if (size == GDI_ERROR || size == 0)
        return true; // a blank glyph, or a failed call: nothing for it
    std::vector<std::uint8_t> buffer(size);
    if (::GetGlyphOutlineW(DC, Glyph, glyph_format(), &Metrics, size, buffer.data(), &glyphs.transform) == GDI_ERROR)
        return true;
    const auto point = [DstX, DstY](const POINTFX& p) {
        return TFloatPoint{fixed_value(p.x) + DstX, fixed_value(p.y) + DstY};
    };
    const std::uint8_t* at = buffer.data();
    const std::uint8_t* const end = at + size;
    if (reinterpret_cast<const TTPOLYGONHEADER*>(at)->dwType != TT_POLYGON_TYPE)
        return true;
    // Every record's length is checked against the buffer: the layout comes from the font.
    while (at + sizeof(TTPOLYGONHEADER) <= end) {
        const auto* header = reinterpret_cast<const TTPOLYGONHEADER*>(at);
        if (header->cb < sizeof(TTPOLYGONHEADER) || header->cb > static_cast<DWORD>(end - at))
            break;
        const std::uint8_t* const contour_end = at + header->cb;
        Path->MoveTo(point(header->pfxStart));
        const std::uint8_t* curve = at + sizeof(TTPOLYGONHEADER);
        while (curve + offsetof(TTPOLYCURVE, apfx) <= contour_end) {
            const auto* c = reinterpret_cast<const TTPOLYCURVE*>(curve);
            const std::size_t bytes = offsetof(TTPOLYCURVE, apfx) + sizeof(POINTFX) * c->cpfx;
            if (bytes > static_cast<std::size_t>(contour_end - curve))
                break;
            const std::int32_t n = c->cpfx;
            switch (c->wType) {
            case TT_PRIM_LINE:
                for (std::int32_t i = 0; i < n; ++i)
                    Path->LineTo(point(c->apfx[i]));
                break;
            case TT_PRIM_QSPLINE:
                // Control points with the midpoints between them as ends; the last point ends the spline.
                for (std::int32_t i = 0; i + 1 < n; ++i) {
                    const TFloatPoint control = point(c->apfx[i]);
                    if (i + 2 < n) {
                        const TFloatPoint next = point(c->apfx[i + 1]);
                        Path->ConicTo(control, {(control.X + next.X) / 2, (control.Y + next.Y) / 2});
                    } else {
                        Path->ConicTo(control, point(c->apfx[i + 1]));
                    }
                }
                break;
            case TT_PRIM_CSPLINE:
                for (std::int32_t i = 0; i + 2 < n; i += 3)
                    Path->CurveTo(point(c->apfx[i]), point(c->apfx[i + 1]), point(c->apfx[i + 2]));
                break;
            default: break;
            }
            curve += bytes;
        }
        Path->ClosePath();
        at = contour_end;
    }
    return true;
}

// --- Layout

namespace {

// A glyph laid out on the current line: its polygons in the path and the spaces before it on the line.
struct placed_glyph {
    std::size_t first_polygon, end_polygon;
    std::int32_t spaces_before;
};

class glyph_layout {
public:
    glyph_layout(HDC dc, TFlattenedPath* path, const TFloatRect& rect, std::uint32_t flags)
        : FDC(dc), FPath(path), FRect(rect), FFlags(flags) {}

    TFloatRect run(const String& text);

private:
    std::uint32_t alignment() const { return FFlags & glyph_align_mask; }
    bool single_line() const { return (FFlags & glyph_single_line) != 0; }

    float advance_of(std::uint32_t c) {
        GLYPHMETRICS m{};
        ::GetGlyphOutlineW(FDC, c, GGO_METRICS, &m, 0, nullptr, &glyphs.transform);
        return static_cast<float>(m.gmCellIncX);
    }

    // The advances of the word that starts at index i, up to the next break character.
    float word_width(const String& text, std::size_t i) {
        float width = 0;
        for (; i < text.size() && text[i] != 10 && text[i] != 13 && text[i] != 32; ++i)
            width += advance_of(text[i]);
        return width;
    }

    bool place(std::uint32_t c) {
        GLYPHMETRICS m{};
        const std::size_t first = FPath ? polygons().size() : 0;
        if (!GlyphOutlineToPath(FDC, FPath, c, m, FY, FMaxX, FX))
            return false;
        if (FPath)
            FLine.push_back({first, polygons().size(), FSpaces});
        FX += static_cast<float>(m.gmCellIncX);
        FWidest = std::max(FWidest, FX);
        FLineHasContent = true;
        return true;
    }

    void shift(const placed_glyph& g, float dx) {
        for (std::size_t i = g.first_polygon; i < g.end_polygon; ++i)
            for (TFloatPoint& p : polygons()[i])
                p.X += dx;
    }

    void align_line(bool ended_by_line_feed) {
        if (!FLineHasContent)
            return;
        const float free = FRect.Right * glyphs.stretch - FX - 1;
        switch (alignment()) {
        case glyph_align_center:
            for (const placed_glyph& g : FLine)
                shift(g, static_cast<float>(Round(free / 2)));
            break;
        case glyph_align_right:
            for (const placed_glyph& g : FLine)
                shift(g, static_cast<float>(Round(free)));
            break;
        case glyph_align_justify:
            if (!ended_by_line_feed && FSpaces > 0)
                for (const placed_glyph& g : FLine)
                    shift(g, free / static_cast<float>(FSpaces) * static_cast<float>(g.spaces_before));
            break;
        default: break;
        }
    }

    void break_line(bool ended_by_line_feed) {
        if (single_line())
            return;
        align_line(ended_by_line_feed);
        FLine.clear();
        FLineHasContent = false;
        FX = FLeft;
        FY += FHeight;
        FSpaces = 0;
    }

    TArrayOfArrayOfFloatPoint& polygons() { return detail::flattened_path_access::path(*FPath); }

    HDC FDC;
    TFlattenedPath* FPath;
    TFloatRect FRect;
    std::uint32_t FFlags;
    float FLeft = 0, FX = 0, FY = 0, FMaxX = unlimited_text_width, FWidest = 0, FHeight = 0;
    std::int32_t FSpaces = 0;
    bool FLineHasContent = false;
    std::vector<placed_glyph> FLine;
};

TFloatRect glyph_layout::run(const String& text) {
    TEXTMETRICW tm{};
    ::GetTextMetricsW(FDC, &tm);
    FHeight = static_cast<float>(tm.tmHeight);
    FLeft = FRect.Left * glyphs.stretch;
    FX = FLeft;
    FWidest = FX;
    FY = static_cast<float>(tm.tmAscent) + FRect.Top;
    if (FPath && FRect.Right != FRect.Left)
        FMaxX = FRect.Right * glyphs.stretch;
    const float space = advance_of(32);
    if (single_line() || FRect.Left == FRect.Right) {
        if (alignment() == glyph_align_justify)
            FFlags &= ~glyph_align_mask;
        FFlags &= ~glyph_word_break;
        FMaxX = unlimited_text_width;
    }
    const bool word_break = (FFlags & glyph_word_break) != 0;
    bool after_space = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::uint32_t c = text[i];
        if (c > 32) {
            if (!place(c)) {
                if (after_space) {
                    FX -= space;
                    --FSpaces;
                }
                break_line(false);
                if (!place(c))
                    break;
            }
            after_space = false;
        } else if (single_line()) {
            ++FSpaces;
            FX += space;
            after_space = true;
        } else if (c == 10) {
            break_line(true);
            after_space = false;
        } else if (c == 32) {
            const float needed = word_break ? space + word_width(text, i + 1) : space;
            if (FX + needed > FMaxX) {
                break_line(false);
                after_space = false;
            } else {
                ++FSpaces;
                FX += space;
                after_space = true;
            }
        }
    }
    if (alignment() == glyph_align_center || alignment() == glyph_align_right)
        align_line(false);
    // Vertical placement, and back from the finer horizontal resolution.
    float dy = 0;
    if (FFlags & (glyph_vertical_center | glyph_bottom)) {
        dy = FRect.Bottom - (FHeight + FY - static_cast<float>(tm.tmAscent));
        if (FFlags & glyph_vertical_center)
            dy /= 2;
    }
    if (FPath && (dy != 0 || glyphs.stretch != 1))
        for (TArrayOfFloatPoint& polygon : polygons())
            for (TFloatPoint& p : polygon) {
                p.X *= glyphs.stretch_reciprocal;
                p.Y += dy;
            }
    return {FRect.Left, FRect.Top, FWidest * glyphs.stretch_reciprocal,
            FY - static_cast<float>(tm.tmAscent) + FHeight + dy};
}

} // namespace

void GlyphsToPath(HDC DC, TCustomPath* Path, TFloatRect& DstRect, std::uint32_t Flags, const String& Text) {
    TFlattenedPath* target = dynamic_cast<TFlattenedPath*>(Path);
    std::unique_ptr<TFlattenedPath> temporary;
    if (Path && !target) {
        temporary = std::make_unique<TFlattenedPath>();
        target = temporary.get();
    }
    if (target) {
        target->Clear();
        target->BeginPath();
    }
    DstRect = glyph_layout(DC, target, DstRect, Flags).run(Text);
    if (target)
        target->EndPath();
    if (temporary)
        Path->Assign(temporary.get());
}

void FontTextToPath(HFONT FontHandle, TCustomPath* Path, TFloatRect& DstRect, std::uint32_t Flags,
                    const String& Text) {
    const window_dc screen;
    const select_object font(screen.get(), FontHandle);
    GlyphsToPath(screen.get(), Path, DstRect, Flags, Text);
}

namespace {

TFloatRect rounded(const TFloatRect& r) {
    const auto round = [](float v) { return static_cast<float>(Round(v)); };
    return {round(r.Left), round(r.Top), round(r.Right), round(r.Bottom)};
}

} // namespace

TFloatRect MeasureGlyphText(HDC DC, const TFloatRect& DstRect, const String& Text, std::uint32_t Flags) {
    TFloatRect r = DstRect;
    GlyphsToPath(DC, nullptr, r, Flags, Text);
    return rounded(r);
}

TFloatRect MeasureGlyphText(HFONT FontHandle, const TFloatRect& DstRect, const String& Text, std::uint32_t Flags) {
    TFloatRect r = DstRect;
    FontTextToPath(FontHandle, nullptr, r, Flags, Text);
    return rounded(r);
}

} // namespace kq
