#include "gui/animated_picture.h"

#include <wincodec.h>

#include "base/resources.h"
#include "gui/gdi.h"

namespace mf::gui {

namespace {

// A top-down 32-bit DIB section holding the frame as premultiplied BGRA.
UniqueGdiObject DecodeFrame(IWICImagingFactory* factory, const std::string& gif) {
    ComPtr<IWICStream> stream;
    if (FAILED(factory->CreateStream(&stream))) return {};
    if (FAILED(stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(gif.data())),
                                            static_cast<DWORD>(gif.size()))))
        return {};
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder)))
        return {};
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, &frame))) return {};
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(&converter))) return {};
    if (FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                     0.0, WICBitmapPaletteTypeCustom)))
        return {};
    UINT width = 0, height = 0;
    if (FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0) return {};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueGdiObject bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr) return {};
    const UINT stride = width * 4;
    if (FAILED(converter->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits)))) return {};
    return bitmap;
}

SIZE BitmapSize(HGDIOBJ bitmap) {
    BITMAP info{};
    ::GetObjectW(bitmap, sizeof(info), &info);
    return {info.bmWidth, info.bmHeight};
}

}  // namespace

CPictureEx::~CPictureEx() {
    Stop();
    Destroy();
    Unload();
}

bool CPictureEx::Create(HWND parent, const RECT& rect, int id) {
    if (!RegisterWindowClass(kClassName)) return false;
    return Window::Create(kClassName, L"", WS_CHILD | WS_VISIBLE, 0, rect, parent, static_cast<UINT_PTR>(id));
}

bool CPictureEx::CreateInPlaceOf(HWND dialog, int controlId) {
    return RegisterWindowClass(kClassName) && Window::CreateInPlaceOf(dialog, controlId, kClassName);
}

bool CPictureEx::LoadResource(HMODULE module, const wchar_t* type, int id) {
    const std::string_view bytes = ResourceBytes(module, type, id);
    return !bytes.empty() && Load(bytes);
}

bool CPictureEx::Load(std::string_view gif) {
    Unload();
    std::optional<GifSplit> split = SplitGif(gif);
    if (!split) return false;
    // The imaging component is a COM server; this thread may already have
    // joined an apartment of either kind, which serves as well.
    ComInit com;
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))))
        return false;
    for (GifFrame& info : split->frames) {
        UniqueGdiObject bitmap = DecodeFrame(factory.Get(), info.gif);
        // A frame that does not decode is left out; the rest still play.
        if (!bitmap) continue;
        info.gif.clear();
        info.gif.shrink_to_fit();
        frames_.push_back(Frame{std::move(info), std::move(bitmap)});
    }
    if (frames_.empty()) return false;
    width_ = split->width;
    height_ = split->height;
    WindowDc screen(nullptr);
    std::lock_guard guard(canvasLock_);
    canvasDc_.reset(::CreateCompatibleDC(screen.get()));
    savedDc_.reset(::CreateCompatibleDC(screen.get()));
    canvasBitmap_.reset(::CreateCompatibleBitmap(screen.get(), width_, height_));
    savedBitmap_.reset(::CreateCompatibleBitmap(screen.get(), width_, height_));
    if (!canvasDc_ || !savedDc_ || !canvasBitmap_ || !savedBitmap_) {
        frames_.clear();
        return false;
    }
    canvasOld_ = ::SelectObject(canvasDc_.get(), canvasBitmap_.get());
    savedOld_ = ::SelectObject(savedDc_.get(), savedBitmap_.get());
    ResetCanvas();
    return true;
}

void CPictureEx::Unload() noexcept {
    Stop();
    std::lock_guard guard(canvasLock_);
    if (canvasOld_ != nullptr) ::SelectObject(canvasDc_.get(), canvasOld_);
    if (savedOld_ != nullptr) ::SelectObject(savedDc_.get(), savedOld_);
    canvasOld_ = savedOld_ = nullptr;
    canvasBitmap_.reset();
    savedBitmap_.reset();
    canvasDc_.reset();
    savedDc_.reset();
    frames_.clear();
    width_ = height_ = 0;
}

void CPictureEx::Start() {
    Stop();
    if (frames_.empty()) return;
    framesDrawn_ = 0;
    if (frames_.size() == 1) {
        ShowFrame(0);
        framesDrawn_ = 1;
        return;
    }
    stop_ = false;
    stopEvent_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stopEvent_) return;
    thread_.reset(::CreateThread(nullptr, 0, ThreadEntry, this, CREATE_SUSPENDED, nullptr));
    if (!thread_) return;
    ::SetThreadPriority(thread_.get(), THREAD_PRIORITY_LOWEST);
    ::ResumeThread(thread_.get());
}

void CPictureEx::Stop() noexcept {
    if (!thread_) return;
    stop_ = true;
    ::SetEvent(stopEvent_.get());
    ::WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
    stopEvent_.reset();
}

void CPictureEx::ShowFrame(std::size_t index) {
    if (frames_.empty() || Playing()) return;
    {
        std::lock_guard guard(canvasLock_);
        ResetCanvas();
        for (std::size_t i = 0; i <= index && i < frames_.size(); ++i) {
            if (i > 0) Dispose(frames_[i - 1]);
            SaveUnder(frames_[i]);
            DrawFrame(frames_[i]);
        }
    }
    Invalidate();
}

DWORD WINAPI CPictureEx::ThreadEntry(void* self) noexcept {
    static_cast<CPictureEx*>(self)->Play();
    return 0;
}

void CPictureEx::Play() noexcept {
    try {
        {
            std::lock_guard guard(canvasLock_);
            ResetCanvas();
        }
        while (!stop_) {
            for (const Frame& frame : frames_) {
                if (stop_) return;
                {
                    std::lock_guard guard(canvasLock_);
                    SaveUnder(frame);
                    DrawFrame(frame);
                }
                ++framesDrawn_;
                Invalidate();
                if (::WaitForSingleObject(stopEvent_.get(), FrameWaitMs(frame.info.delay)) != WAIT_TIMEOUT || stop_)
                    return;
                std::lock_guard guard(canvasLock_);
                Dispose(frame);
            }
        }
    } catch (...) {
        // The picture stops where it is; the window keeps what it shows.
    }
}

void CPictureEx::ResetCanvas() {
    const RECT all{0, 0, width_, height_};
    FillSolid(canvasDc_.get(), all, background_);
}

void CPictureEx::SaveUnder(const Frame& frame) {
    if (frame.info.disposal != 3) return;
    const SIZE size = BitmapSize(frame.bitmap.get());
    ::BitBlt(savedDc_.get(), frame.info.left, frame.info.top, size.cx, size.cy, canvasDc_.get(), frame.info.left,
             frame.info.top, SRCCOPY);
}

void CPictureEx::DrawFrame(const Frame& frame) {
    const SIZE size = BitmapSize(frame.bitmap.get());
    UniqueMemoryDc source(::CreateCompatibleDC(canvasDc_.get()));
    if (!source) return;
    SelectedObject selected(source.get(), frame.bitmap.get());
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::GdiAlphaBlend(canvasDc_.get(), frame.info.left, frame.info.top, size.cx, size.cy, source.get(), 0, 0, size.cx,
                    size.cy, blend);
}

void CPictureEx::Dispose(const Frame& frame) {
    const SIZE size = BitmapSize(frame.bitmap.get());
    if (frame.info.disposal == 2) {
        const RECT area{frame.info.left, frame.info.top, frame.info.left + size.cx, frame.info.top + size.cy};
        FillSolid(canvasDc_.get(), area, background_);
    } else if (frame.info.disposal == 3) {
        ::BitBlt(canvasDc_.get(), frame.info.left, frame.info.top, size.cx, size.cy, savedDc_.get(), frame.info.left,
                 frame.info.top, SRCCOPY);
    }
}

void CPictureEx::Invalidate() noexcept {
    if (hwnd() != nullptr) ::InvalidateRect(hwnd(), nullptr, FALSE);
}

LRESULT CPictureEx::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
        case WM_PRINTCLIENT: return HandlePaint(message, wParam);
        case WM_ERASEBKGND: return 1;
        case WM_DESTROY: Stop(); break;
        default: break;
    }
    return DefaultHandling(message, wParam, lParam);
}

void CPictureEx::Paint(HDC dc, const RECT&) {
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    std::lock_guard guard(canvasLock_);
    // Around the picture, and everywhere before one is loaded: the background.
    FillSolid(dc, client, background_);
    if (canvasDc_) ::BitBlt(dc, 0, 0, width_, height_, canvasDc_.get(), 0, 0, SRCCOPY);
}

}  // namespace mf::gui
