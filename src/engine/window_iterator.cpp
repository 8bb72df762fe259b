#include "engine/window_iterator.h"

namespace mf {

CWindowIterator::CWindowIterator(std::size_t capacity) : capacity_(capacity) {
    // Reserved up front: storing never allocates inside the callback.
    windows_.reserve(capacity_);
}

void CWindowIterator::Collect() {
    windows_.clear();
    if (capacity_ == 0) return;
    ::EnumWindows(&CWindowIterator::OnWindow, reinterpret_cast<LPARAM>(this));
}

bool CWindowIterator::Add(HWND window) {
    if (windows_.size() >= capacity_) return false;
    if (Filter(window)) windows_.push_back(window);
    return windows_.size() < capacity_;
}

bool CWindowIterator::Filter(HWND /*window*/) { return true; }

BOOL CALLBACK CWindowIterator::OnWindow(HWND window, LPARAM self) noexcept {
    try {
        return reinterpret_cast<CWindowIterator*>(self)->Add(window) ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}

CMainWindowIterator::CMainWindowIterator(DWORD processId, std::size_t capacity)
    : CWindowIterator(capacity), processId_(processId) {}

bool CMainWindowIterator::Filter(HWND window) {
    if ((::GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) == 0) return false;
    DWORD owner = 0;
    if (::GetWindowThreadProcessId(window, &owner) == 0) return false;
    return owner == processId_;
}

std::vector<HWND> MainWindowsOf(DWORD processId, std::size_t capacity) {
    CMainWindowIterator iterator(processId, capacity);
    iterator.Collect();
    return iterator.Windows();
}

}  // namespace mf
