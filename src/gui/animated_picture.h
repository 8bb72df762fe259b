// A child window that plays an animated GIF. The GIF is split into
// one-frame GIFs (gui/gif_split.h), each decoded once by the imaging
// component into a bitmap with its transparency; a thread of the lowest
// priority composes the frames into an off-screen canvas of the logical
// screen's size (offsets, delays, disposal) and invalidates the window,
// which paints the canvas. The thread never touches the window beyond
// invalidating it, so stopping it from the window thread cannot deadlock,
// and PrintWindow reads the current frame like any other window.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string_view>
#include <vector>

#include "base/handles.h"
#include "gui/gif_split.h"
#include "gui/window.h"

namespace mf::gui {

class CPictureEx : public Window {
public:
    CPictureEx() = default;
    ~CPictureEx() override;

    static constexpr const wchar_t* kClassName = L"MirefoldAnimatedPicture";

    // A visible child of `parent` with this rectangle and id.
    bool Create(HWND parent, const RECT& rect, int id);
    // In place of a dialog control: its rectangle, id and font.
    bool CreateInPlaceOf(HWND dialog, int controlId);

    // Splits and decodes the GIF; false when no frame could be loaded. A
    // picture that plays is stopped first.
    bool Load(std::string_view gif);
    // A resource of the module (type "GIF" for the launcher's picture).
    bool LoadResource(HMODULE module, const wchar_t* type, int id);
    // The colour of what a frame leaves to the background (white unless set).
    void SetBackground(COLORREF colour) noexcept { background_ = colour; }

    // Plays the frames on the animation thread, or shows the single frame.
    void Start();
    // Ends the animation at once (the wait for a frame's delay is cut short)
    // and waits for the thread to end.
    void Stop() noexcept;
    void Unload() noexcept;

    // Composes frames 0 ... index as the player would, without the thread
    // (for pictures of a given frame).
    void ShowFrame(std::size_t index);

    [[nodiscard]] std::size_t FrameCount() const noexcept { return frames_.size(); }
    [[nodiscard]] const GifFrame& FrameInfo(std::size_t index) const { return frames_[index].info; }
    [[nodiscard]] SIZE PictureSize() const noexcept { return {width_, height_}; }
    [[nodiscard]] bool Playing() const noexcept { return thread_.valid(); }
    // How many frames the player has drawn since Start().
    [[nodiscard]] unsigned FramesDrawn() const noexcept { return framesDrawn_.load(); }

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Paint(HDC dc, const RECT& dirty) override;

private:
    struct Frame {
        GifFrame info;
        UniqueGdiObject bitmap;  // 32-bit premultiplied, the frame's own size
    };

    static DWORD WINAPI ThreadEntry(void* self) noexcept;
    void Play() noexcept;
    // Under the canvas lock.
    void ResetCanvas();
    void DrawFrame(const Frame& frame);
    void SaveUnder(const Frame& frame);
    void Dispose(const Frame& frame);
    void Invalidate() noexcept;

    std::vector<Frame> frames_;
    int width_ = 0;
    int height_ = 0;
    COLORREF background_ = RGB(255, 255, 255);

    std::mutex canvasLock_;
    UniqueMemoryDc canvasDc_, savedDc_;
    UniqueGdiObject canvasBitmap_, savedBitmap_;
    HGDIOBJ canvasOld_ = nullptr, savedOld_ = nullptr;

    UniqueHandle thread_;
    UniqueHandle stopEvent_;
    std::atomic<bool> stop_{false};
    std::atomic<unsigned> framesDrawn_{0};
};

}  // namespace mf::gui
