#include "framework/Forms.h"

#include "framework/ImageCodecs.h"
#include "framework/Regions.h"

#include "VisualFixture.h"

#include <windowsx.h>

#include <filesystem>
#include <fstream>

using namespace kq;
using kq::test::visual_test;

namespace {

constexpr int title_height = 28, frame = 2, edge = 5;
constexpr COLORREF title_colour = RGB(40, 90, 200), frame_colour = RGB(20, 20, 20);

// A form that draws its own title bar and frame through the non-client messages, from a component that
// takes over its WindowProc the way a skin does.
class TDrawnTitleForm : public TForm {
public:
    explicit TDrawnTitleForm(TComponent* owner) : TForm(owner) {
        // Without a window manager, Wine leaves a window with a system caption a black caption band of
        // the X display's own: the drawn title needs a popup window.
        SetBorderStyle(TFormBorderStyle::bsNone);
        SetColor(clWhite);
        FInherited = WindowProc;
        WindowProc = [this](TMessage& m) { hook(m); };
    }

    std::vector<UINT> Seen;          // every message, from the first
    int NCPaints = 0;
    std::vector<WPARAM> ButtonDowns; // hit codes of WM_NCLBUTTONDOWN
    int ButtonUps = 0, MouseMoves = 0, SysCommands = 0;

private:
    void hook(TMessage& m) {
        Seen.push_back(m.Msg);
        switch (m.Msg) {
        case WM_NCCALCSIZE: {
            RECT& r = m.WParam ? reinterpret_cast<NCCALCSIZE_PARAMS*>(m.LParam)->rgrc[0]
                               : *reinterpret_cast<RECT*>(m.LParam);
            r.left += frame;
            r.top += title_height;
            r.right -= frame;
            r.bottom -= frame;
            m.Result = 0;
            return;
        }
        case WM_NCHITTEST: m.Result = hit_test(POINT{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)}); return;
        case WM_NCPAINT:
            ++NCPaints;
            paint_frame();
            m.Result = 0;
            return;
        case WM_NCACTIVATE: m.Result = 1; return;
        case WM_NCLBUTTONDOWN: ButtonDowns.push_back(m.WParam); return;
        case WM_NCLBUTTONUP: ++ButtonUps; return;
        case WM_NCMOUSEMOVE: ++MouseMoves; break;
        case WM_SYSCOMMAND: ++SysCommands; break;
        default: break;
        }
        FInherited(m);
    }

    LRESULT hit_test(POINT screen) {
        RECT w{};
        ::GetWindowRect(Handle(), &w);
        const int x = screen.x - w.left, y = screen.y - w.top, width = w.right - w.left, height = w.bottom - w.top;
        const bool left = x < edge, right = x >= width - edge, top = y < edge, bottom = y >= height - edge;
        if (top && left) return HTTOPLEFT;
        if (top && right) return HTTOPRIGHT;
        if (bottom && right) return HTBOTTOMRIGHT;
        if (bottom && left) return HTBOTTOMLEFT;
        if (top) return HTTOP;
        if (right) return HTRIGHT;
        if (bottom) return HTBOTTOM;
        if (left) return HTLEFT;
        if (y < title_height) return HTCAPTION;
        return HTCLIENT;
    }

    void paint_frame() {
        const window_frame_dc dc(Handle());
        RECT w{};
        ::GetWindowRect(Handle(), &w);
        const int width = w.right - w.left, height = w.bottom - w.top;
        const unique_handle<HBRUSH, ::DeleteObject> title(::CreateSolidBrush(title_colour));
        const unique_handle<HBRUSH, ::DeleteObject> border(::CreateSolidBrush(frame_colour));
        const RECT whole{0, 0, width, height}, bar{frame, frame, width - frame, title_height};
        ::FillRect(dc.get(), &whole, border.get());
        ::FillRect(dc.get(), &bar, title.get());
        ::SetBkMode(dc.get(), TRANSPARENT);
        ::SetTextColor(dc.get(), RGB(255, 255, 255));
        RECT text{8, 0, width, title_height};
        ::DrawTextW(dc.get(), L"Drawn title", -1, &text, DT_SINGLELINE | DT_VCENTER);
    }

    TWndMethod FInherited;
};

// Real mouse input at a screen point.
void click_at(POINT p) {
    ::SetCursorPos(p.x, p.y);
    INPUT inputs[2]{};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, inputs, sizeof(INPUT));
}

// The screen's pixels under rect, saved as a PNG named file in the working folder for a person to look at.
void save_screen_png(const RECT& rect, const char* file) {
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    kq::test::probe_dc probe(width, height);
    const window_dc screen;
    ::BitBlt(probe.dc(), 0, 0, width, height, screen.get(), rect.left, rect.top, SRCCOPY);
    raster_image image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const COLORREF c = probe.at(x, y);
            image.at(x, y) = 0xFF000000u | (uint32_t{GetRValue(c)} << 16) | (uint32_t{GetGValue(c)} << 8) | GetBValue(c);
        }
    const std::vector<uint8_t> png = encode_png(image);
    std::ofstream(std::filesystem::current_path() / file, std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
}

COLORREF screen_pixel(POINT p) {
    const window_dc screen;
    return ::GetPixel(screen.get(), p.x, p.y);
}

} // namespace

TEST_F(visual_test, FormDrawsItsOwnTitleBarThroughTheNonClientMessages) {
    {
        // A sizeable window's first message, WM_GETMINMAXINFO, comes before WM_NCCREATE and reaches the hook.
        auto* sizeable = CreateForm<TDrawnTitleForm>(Application);
        sizeable->SetBorderStyle(TFormBorderStyle::bsSizeable);
        sizeable->HandleNeeded();
        ASSERT_FALSE(sizeable->Seen.empty());
        const auto nccreate = std::find(sizeable->Seen.begin(), sizeable->Seen.end(), UINT{WM_NCCREATE});
        ASSERT_NE(nccreate, sizeable->Seen.end());
        EXPECT_EQ(sizeable->Seen.front(), UINT{WM_GETMINMAXINFO});
        EXPECT_LT(sizeable->Seen.begin(), nccreate);
        delete sizeable;
    }
    auto* form = CreateForm<TDrawnTitleForm>(Application);
    form->SetBounds(100, 100, 400, 300);

    form->Show();
    ASSERT_TRUE(pump_until([&] { return form->NCPaints > 0; }));
    // The client area lies inside the drawn frame and below the title bar.
    EXPECT_EQ(form->ClientWidth(), 400 - 2 * frame);
    EXPECT_EQ(form->ClientHeight(), 300 - title_height - frame);
    EXPECT_EQ(form->ClientOrigin().x, 100 + frame);
    EXPECT_EQ(form->ClientOrigin().y, 100 + title_height);

    struct row {
        POINT at; // window coordinates
        LRESULT code;
    };
    const row rows[] = {{{1, 1}, HTTOPLEFT},        {{200, 1}, HTTOP},      {{398, 2}, HTTOPRIGHT},
                        {{398, 150}, HTRIGHT},      {{398, 298}, HTBOTTOMRIGHT}, {{200, 298}, HTBOTTOM},
                        {{1, 298}, HTBOTTOMLEFT},   {{1, 150}, HTLEFT},     {{200, 15}, HTCAPTION},
                        {{200, 150}, HTCLIENT}};
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.at.x << "," << r.at.y);
        EXPECT_EQ(::SendMessageW(form->Handle(), WM_NCHITTEST, 0, MAKELPARAM(100 + r.at.x, 100 + r.at.y)), r.code);
    }

    // Left idle, the window gets no stream of non-client paints.
    pump_until([] { return false; }, 300);
    const int before = form->NCPaints;
    pump_until([] { return false; }, 1000);
    EXPECT_EQ(form->NCPaints - before, 0);

    // What a person sees: the title bar's colour, the client's white, and a picture to look at.
    EXPECT_EQ(screen_pixel({100 + 300, 100 + 20}), title_colour);
    EXPECT_EQ(screen_pixel({100 + 200, 100 + 150}), RGB(255, 255, 255));
    save_screen_png(RECT{80, 80, 520, 420}, "nonclient_title.png");

    // A real click on the drawn caption arrives as non-client button messages with the caption's code.
    ::SetForegroundWindow(form->Handle());
    const int moves = form->MouseMoves;
    click_at({100 + 200, 100 + 14});
    EXPECT_TRUE(pump_until([&] { return form->ButtonUps > 0; }));
    EXPECT_EQ(form->ButtonDowns, std::vector<WPARAM>{HTCAPTION});
    EXPECT_GT(form->MouseMoves, moves);
    ::SendMessageW(form->Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_EQ(form->SysCommands, 1);
    delete form;
}

TEST_F(visual_test, WindowRegionSetReplacedAndClearedLeavesNoRegionBehind) {
    auto* form = CreateForm<TForm>(Application);
    form->SetBorderStyle(TFormBorderStyle::bsNone);
    form->SetBounds(50, 50, 200, 150);
    form->Show();
    const HWND h = form->Handle();
    const kq::test::handle_counts before = kq::test::current_handle_counts();
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(set_window_region(h, unique_hrgn(::CreateRoundRectRgn(0, 0, 201, 151, 8, 8)), false));
        ASSERT_TRUE(set_window_region(h, unique_hrgn(::CreateRectRgn(0, 0, 100 + i % 50, 150)), false));
        RECT box{};
        ASSERT_EQ(::GetWindowRgnBox(h, &box), SIMPLEREGION);
        EXPECT_EQ(box.right, 100 + i % 50);
        ASSERT_TRUE(set_window_region(h, unique_hrgn(), false));
    }
    // A region the system refuses is freed here.
    EXPECT_FALSE(set_window_region(nullptr, unique_hrgn(::CreateRectRgn(0, 0, 10, 10)), false));
    const kq::test::handle_counts after = kq::test::current_handle_counts();
    EXPECT_EQ(after.gdi, before.gdi);
    delete form;
}
