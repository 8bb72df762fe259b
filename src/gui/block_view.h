// The download block view: a grid of squares, one group per block of a
// ranged download, filling in as the parts report their bytes. It follows
// the downloader's progress messages of one message word (base/messages.h:
// file size, block size, part progress) and the two end commands, and
// shows its owner's texts before the grid exists and over it at the end.
// Layout and progress are the functions of gui/block_layout.h; the window
// only stores, invalidates and paints.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <unordered_map>

#include "gui/block_layout.h"
#include "gui/window.h"

namespace mf::gui {

class CMyDownloadBlockView : public Window {
public:
    static constexpr const wchar_t* kClassName = L"MirefoldDownloadBlockView";

    enum class Mode { Grid = 0, Finished = 1, Failed = 2 };

    // In place of a dialog control (its rectangle, id and font).
    bool CreateInPlaceOf(HWND dialog, int controlId);
    bool Create(HWND parent, const RECT& rect, int id);

    void SetWord(int word) noexcept { word_ = word; }
    void SetTexts(std::wstring title, std::wstring message, std::wstring complete, std::wstring failed);
    // The squares' pictures; the owner keeps them alive. Without them the
    // squares are plain colours.
    void SetBitmaps(HBITMAP pending, HBITMAP done) noexcept;

    [[nodiscard]] const BlockLayout& layout() const noexcept { return layout_; }
    [[nodiscard]] Mode mode() const noexcept { return mode_; }
    [[nodiscard]] std::int32_t fileSize() const noexcept { return fileSize_; }
    // The squares done of a part; -1 when it has reported nothing.
    [[nodiscard]] int PartDone(int part) const;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Paint(HDC dc, const RECT& dirty) override;

private:
    [[nodiscard]] bool Follows(WPARAM wParam) const noexcept { return static_cast<int>(wParam) == word_; }
    void LayOut(std::int32_t blockSize);
    void OnPartProgress(WPARAM wParam, LPARAM lParam);
    void Finish(Mode mode, UINT command);
    void SetScroll(int height);
    void OnScroll(WORD request);
    void DrawSquare(HDC dc, const RECT& cell, bool received) const;
    void DrawTexts(HDC dc, const RECT& client) const;

    int word_ = -1;
    std::int32_t fileSize_ = 0;
    BlockLayout layout_;
    std::unordered_map<int, int> parts_;
    Mode mode_ = Mode::Grid;
    int scrollY_ = 0;
    HFONT font_ = nullptr;
    HBITMAP pending_ = nullptr;
    HBITMAP done_ = nullptr;
    std::wstring title_, message_, complete_, failed_;
};

}  // namespace mf::gui
