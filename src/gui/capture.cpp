#include "gui/capture.h"

#include "base/handles.h"
#include "gui/gdi.h"

namespace mf::gui {

namespace {

// A top-down 32-bit DIB section and a DC to draw into it.
class DibCanvas {
public:
    DibCanvas(int width, int height) noexcept : width_(width), height_(height) {
        if (width <= 0 || height <= 0) return;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_.reset(::CreateCompatibleDC(nullptr));
        bitmap_.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits_, nullptr, 0));
        if (dc_ && bitmap_) old_ = ::SelectObject(dc_.get(), bitmap_.get());
    }
    ~DibCanvas() {
        if (old_ != nullptr) ::SelectObject(dc_.get(), old_);
    }
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    [[nodiscard]] bool valid() const noexcept { return old_ != nullptr && bits_ != nullptr; }
    [[nodiscard]] HDC dc() const noexcept { return dc_.get(); }
    [[nodiscard]] Pixels Read() const {
        ::GdiFlush();
        Pixels out;
        out.width = width_;
        out.height = height_;
        const auto* first = static_cast<const std::uint32_t*>(bits_);
        out.data.assign(first, first + static_cast<std::size_t>(width_) * height_);
        for (auto& pixel : out.data) pixel &= 0x00FFFFFF;
        return out;
    }

private:
    int width_;
    int height_;
    UniqueMemoryDc dc_;
    UniqueGdiObject bitmap_;
    void* bits_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

Pixels Print(HWND window, bool clientOnly) noexcept {
    RECT rect{};
    if (clientOnly ? !::GetClientRect(window, &rect) : !::GetWindowRect(window, &rect)) return {};
    try {
        DibCanvas canvas(rect.right - rect.left, rect.bottom - rect.top);
        if (!canvas.valid()) return {};
        if (!::PrintWindow(window, canvas.dc(), clientOnly ? PW_CLIENTONLY : 0)) return {};
        return canvas.Read();
    } catch (...) {
        return {};
    }
}

}  // namespace

COLORREF Pixels::At(int x, int y) const noexcept {
    if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
    const std::uint32_t p = data[static_cast<std::size_t>(y) * width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

int Pixels::RunFromLeft(int y, COLORREF colour) const noexcept {
    int x = 0;
    while (x < width && At(x, y) == colour) ++x;
    return x;
}

long long Pixels::Count(COLORREF colour) const noexcept {
    long long n = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (At(x, y) == colour) ++n;
    return n;
}

Pixels CaptureClient(HWND window) noexcept { return Print(window, true); }

Pixels CaptureWindow(HWND window) noexcept { return Print(window, false); }

Pixels CaptureFromScreen(HWND window) noexcept {
    RECT rect{};
    if (!::GetWindowRect(window, &rect)) return {};
    try {
        DibCanvas canvas(rect.right - rect.left, rect.bottom - rect.top);
        if (!canvas.valid()) return {};
        WindowDc screen(nullptr);
        if (!::BitBlt(canvas.dc(), 0, 0, rect.right - rect.left, rect.bottom - rect.top, screen.get(), rect.left,
                      rect.top, SRCCOPY))
            return {};
        return canvas.Read();
    } catch (...) {
        return {};
    }
}

bool SaveBmp(const Pixels& pixels, const std::wstring& path) noexcept {
    if (pixels.empty()) return false;
    const int stride = (pixels.width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = pixels.width;
    info.biHeight = -pixels.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(stride) * pixels.height;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + info.biSizeImage;
    UniqueFile out(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return false;
    DWORD written = 0;
    bool ok = ::WriteFile(out.get(), &file, sizeof(file), &written, nullptr) &&
              ::WriteFile(out.get(), &info, sizeof(info), &written, nullptr);
    try {
        std::vector<unsigned char> row(static_cast<std::size_t>(stride), 0);
        for (int y = 0; ok && y < pixels.height; ++y) {
            for (int x = 0; x < pixels.width; ++x) {
                const std::uint32_t p = pixels.data[static_cast<std::size_t>(y) * pixels.width + x];
                row[static_cast<std::size_t>(x) * 3] = static_cast<unsigned char>(p & 0xFF);
                row[static_cast<std::size_t>(x) * 3 + 1] = static_cast<unsigned char>((p >> 8) & 0xFF);
                row[static_cast<std::size_t>(x) * 3 + 2] = static_cast<unsigned char>((p >> 16) & 0xFF);
            }
            ok = ::WriteFile(out.get(), row.data(), static_cast<DWORD>(stride), &written, nullptr) != FALSE;
        }
    } catch (...) {
        return false;
    }
    return ok;
}

}  // namespace mf::gui
