#include "gui/block_view.h"

#include <algorithm>

#include "base/messages.h"
#include "gui/gdi.h"

namespace mf::gui {

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kPendingColour = RGB(226, 226, 232);
constexpr COLORREF kDoneColour = RGB(219, 88, 0);
constexpr int kTextInset = 40;
constexpr int kFrameInset = 30;
constexpr int kFramePadding = 10;
constexpr int kLineGap = 40;

RECT Inset(RECT rect, int by) {
    ::InflateRect(&rect, -by, -by);
    return rect;
}

}  // namespace

bool CMyDownloadBlockView::CreateInPlaceOf(HWND dialog, int controlId) {
    return RegisterWindowClass(kClassName, CS_HREDRAW | CS_VREDRAW) &&
           Window::CreateInPlaceOf(dialog, controlId, kClassName, WS_TABSTOP);
}

bool CMyDownloadBlockView::Create(HWND parent, const RECT& rect, int id) {
    return RegisterWindowClass(kClassName, CS_HREDRAW | CS_VREDRAW) &&
           Window::Create(kClassName, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, rect, parent,
                          static_cast<UINT_PTR>(id));
}

void CMyDownloadBlockView::SetTexts(std::wstring title, std::wstring message, std::wstring complete,
                                    std::wstring failed) {
    title_ = std::move(title);
    message_ = std::move(message);
    complete_ = std::move(complete);
    failed_ = std::move(failed);
    if (hwnd() != nullptr) ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void CMyDownloadBlockView::SetBitmaps(HBITMAP pending, HBITMAP done) noexcept {
    pending_ = pending;
    done_ = done;
}

int CMyDownloadBlockView::PartDone(int part) const {
    const auto found = parts_.find(part);
    return found == parts_.end() ? -1 : found->second;
}

LRESULT CMyDownloadBlockView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case msg::kFileSize:
            if (Follows(wParam)) {
                mode_ = Mode::Grid;
                fileSize_ = static_cast<std::int32_t>(lParam);
            }
            return 0;
        case msg::kBlockSize:
            if (Follows(wParam)) {
                mode_ = Mode::Grid;
                LayOut(static_cast<std::int32_t>(lParam));
            }
            return 0;
        case msg::kPartProgress: OnPartProgress(wParam, lParam); return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == msg::kDownloadDone) Finish(Mode::Finished, msg::kDownloadDone);
            else if (LOWORD(wParam) == msg::kDownloadFailed) Finish(Mode::Failed, msg::kDownloadFailed);
            return 0;
        case WM_LBUTTONDOWN: {
            const LRESULT result = DefaultHandling(message, wParam, lParam);
            ::SetFocus(hwnd());
            return result;
        }
        case WM_VSCROLL: OnScroll(LOWORD(wParam)); return 0;
        case WM_SETFONT: font_ = reinterpret_cast<HFONT>(wParam); return 0;
        case WM_GETFONT: return reinterpret_cast<LRESULT>(font_);
        case WM_ERASEBKGND: return 1;
        case WM_PAINT:
        case WM_PRINTCLIENT: return HandlePaint(message, wParam);
        default: return DefaultHandling(message, wParam, lParam);
    }
}

void CMyDownloadBlockView::LayOut(std::int32_t blockSize) {
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    layout_ = LayoutBlocks(fileSize_, blockSize, client.right, client.bottom);
    parts_.clear();
    SetScroll(ScrollHeight(layout_, client.bottom));
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void CMyDownloadBlockView::OnPartProgress(WPARAM wParam, LPARAM lParam) {
    if (static_cast<short>(LOWORD(wParam)) != static_cast<short>(word_)) return;
    const int part = HIWORD(wParam);
    const int done = SquaresDone(static_cast<std::int32_t>(lParam), layout_);
    auto [entry, fresh] = parts_.try_emplace(part, 0);
    (void)fresh;
    if (entry->second == done) return;
    const int before = std::exchange(entry->second, done);
    if (layout_.totalSquares == 0) return;
    const SquareSpan span = ChangedSquares(part, before, done, layout_);
    for (int i = span.first; i <= span.last && i < layout_.totalSquares; ++i) {
        RECT cell = SquareRect(i, layout_);
        ::OffsetRect(&cell, 0, -scrollY_);
        ::InvalidateRect(hwnd(), &cell, FALSE);
    }
}

void CMyDownloadBlockView::Finish(Mode mode, UINT command) {
    mode_ = mode;
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    layout_.columns = std::max(1, static_cast<int>(client.right) / layout_.cell);
    SetScroll(0);
    ::InvalidateRect(hwnd(), nullptr, FALSE);
    ::SendMessageW(::GetParent(hwnd()), WM_COMMAND, MAKEWPARAM(command, 0), reinterpret_cast<LPARAM>(hwnd()));
}

void CMyDownloadBlockView::SetScroll(int height) {
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = height > 0 ? height - 1 : 0;
    info.nPage = static_cast<UINT>(client.bottom > 0 ? client.bottom : 1);
    scrollY_ = std::clamp(scrollY_, 0, std::max(0, height - static_cast<int>(client.bottom)));
    info.nPos = scrollY_;
    ::SetScrollInfo(hwnd(), SB_VERT, &info, TRUE);
}

void CMyDownloadBlockView::OnScroll(WORD request) {
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    ::GetScrollInfo(hwnd(), SB_VERT, &info);
    int position = info.nPos;
    switch (request) {
        case SB_LINEUP: position -= layout_.cell; break;
        case SB_LINEDOWN: position += layout_.cell; break;
        case SB_PAGEUP: position -= static_cast<int>(info.nPage); break;
        case SB_PAGEDOWN: position += static_cast<int>(info.nPage); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: position = info.nTrackPos; break;
        case SB_TOP: position = 0; break;
        case SB_BOTTOM: position = info.nMax; break;
        default: return;
    }
    position = std::clamp(position, 0, std::max(0, info.nMax - static_cast<int>(info.nPage) + 1));
    if (position == scrollY_) return;
    scrollY_ = position;
    info.fMask = SIF_POS;
    info.nPos = position;
    ::SetScrollInfo(hwnd(), SB_VERT, &info, TRUE);
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void CMyDownloadBlockView::DrawSquare(HDC dc, const RECT& cell, bool received) const {
    const HBITMAP picture = received ? done_ : pending_;
    if (picture != nullptr) {
        BITMAP size{};
        ::GetObjectW(picture, sizeof(size), &size);
        UniqueMemoryDc source(::CreateCompatibleDC(dc));
        SelectedObject selected(source.get(), picture);
        ::BitBlt(dc, cell.left, cell.top, size.bmWidth, size.bmHeight, source.get(), 0, 0, SRCCOPY);
        return;
    }
    RECT square = cell;
    --square.right;
    --square.bottom;
    FillSolid(dc, square, received ? kDoneColour : kPendingColour);
}

void CMyDownloadBlockView::Paint(HDC dc, const RECT& dirty) {
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    MemoryCanvas canvas(dc, client.right, client.bottom);
    const HDC target = canvas.valid() ? canvas.dc() : dc;
    FillSolid(target, client, kWhite);
    if (layout_.totalSquares > 0) {
        // Only the rows in sight: a grid may be far longer than the window.
        const int firstRow = std::max(0, (scrollY_ + static_cast<int>(std::max(dirty.top, client.top))) / layout_.cell);
        const int lastRow = (scrollY_ + static_cast<int>(std::min(dirty.bottom, client.bottom))) / layout_.cell;
        const int last = static_cast<int>(
            std::min<std::int64_t>(static_cast<std::int64_t>(lastRow + 1) * layout_.columns, layout_.totalSquares));
        for (int i = firstRow * layout_.columns; i < last; ++i) {
            RECT cell = SquareRect(i, layout_);
            ::OffsetRect(&cell, 0, -scrollY_);
            DrawSquare(target, cell, SquareReceived(PartDone(i / layout_.squaresPerPart), i % layout_.squaresPerPart));
        }
    }
    DrawTexts(target, client);
    if (canvas.valid()) canvas.CopyTo(dc);
}

void CMyDownloadBlockView::DrawTexts(HDC dc, const RECT& client) const {
    const HGDIOBJ font = font_ != nullptr ? static_cast<HGDIOBJ>(font_) : ::GetStockObject(DEFAULT_GUI_FONT);
    SelectedObject selected(dc, font);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(0, 0, 0));
    if (mode_ == Mode::Grid) {
        if (layout_.totalSquares > 0) return;
        RECT title = Inset(client, kTextInset);
        ::DrawTextW(dc, title_.c_str(), static_cast<int>(title_.size()), &title, DT_WORDBREAK | DT_NOPREFIX);
        RECT message = title;
        message.top += kLineGap;
        ::DrawTextW(dc, message_.c_str(), static_cast<int>(message_.size()), &message, DT_WORDBREAK | DT_NOPREFIX);
        return;
    }
    const RECT frame = Inset(client, kFrameInset);
    {
        UniqueGdiObject white = SolidBrush(kWhite);
        SelectedObject brush(dc, white.get());
        SelectedObject pen(dc, ::GetStockObject(BLACK_PEN));
        ::Rectangle(dc, frame.left, frame.top, frame.right, frame.bottom);
    }
    RECT title = Inset(frame, kFramePadding);
    ::DrawTextW(dc, title_.c_str(), static_cast<int>(title_.size()), &title, DT_WORDBREAK | DT_NOPREFIX);
    RECT message = title;
    message.top += kLineGap;
    const std::wstring text = message_ + L"\r\n" + (mode_ == Mode::Finished ? complete_ : failed_);
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &message, DT_WORDBREAK | DT_NOPREFIX);
}

}  // namespace mf::gui
