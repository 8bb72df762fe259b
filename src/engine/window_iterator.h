// Top-level windows of the system, filtered and kept in a fixed-capacity
// list; the main windows of one process are its visible top-level windows.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

namespace mf {

inline constexpr std::size_t kWindowCapacity = 1024;

class CWindowIterator {
public:
    explicit CWindowIterator(std::size_t capacity = kWindowCapacity);
    virtual ~CWindowIterator() = default;
    CWindowIterator(const CWindowIterator&) = delete;
    CWindowIterator& operator=(const CWindowIterator&) = delete;

    // Enumerates all top-level windows in system order and keeps those the
    // filter accepts, until the capacity is reached (the rest are dropped).
    void Collect();

    [[nodiscard]] const std::vector<HWND>& Windows() const { return windows_; }
    [[nodiscard]] std::size_t Count() const { return windows_.size(); }
    // The first window kept; null when none was.
    [[nodiscard]] HWND First() const { return windows_.empty() ? nullptr : windows_.front(); }

protected:
    // Filters, then stores while there is room; false once the list is full
    // (the enumeration then stops).
    virtual bool Add(HWND window);
    // Keeps every window.
    virtual bool Filter(HWND window);

private:
    static BOOL CALLBACK OnWindow(HWND window, LPARAM self) noexcept;

    std::size_t capacity_;
    std::vector<HWND> windows_;
};

// The visible top-level windows of one process; the first is its main
// window.
class CMainWindowIterator : public CWindowIterator {
public:
    explicit CMainWindowIterator(DWORD processId, std::size_t capacity = kWindowCapacity);

protected:
    bool Filter(HWND window) override;

private:
    DWORD processId_;
};

// Collects the main windows of a process.
std::vector<HWND> MainWindowsOf(DWORD processId, std::size_t capacity = kWindowCapacity);

}  // namespace mf
