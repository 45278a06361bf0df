#pragma once
// Looking at and working the windows of another process: texts, states and rectangles read
// with messages the system carries across processes, buttons pressed by posting their command,
// and memory in the other process for messages that take a pointer.

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kq::e2e {

using namespace std::chrono_literals;

// The window's text (caption, label text, edit contents) by WM_GETTEXT; empty when the window
// does not answer within a few seconds.
std::wstring windowText(HWND window);
std::wstring className(HWND window);

// Polls `condition` until it holds or `timeout` has passed; true when it held.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10000ms);

// Presses a button the way a click does: its command, posted to its parent. Posted, so that a
// modal box the click opens does not block the driver.
void pressButton(HWND button);
// The same for a dialog's button by its identifier (IDOK, IDCANCEL).
void pressDialogButton(HWND dialog, int id);

// The rectangle of `window` in its parent's client coordinates (the screen's for a top-level
// window).
RECT rectInParent(HWND window);

// The visible top-level windows of the process, and the first of class "#32770" (dialog boxes:
// message boxes, the folder chooser) among them.
std::vector<HWND> topLevelWindows(DWORD processId);
std::optional<HWND> findDialog(DWORD processId);
HWND waitForDialog(DWORD processId, std::chrono::milliseconds timeout = 15000ms);

// Every descendant of `parent`, depth first.
std::vector<HWND> descendants(HWND parent);

// Memory in another process: allocated at construction, freed at destruction.
class RemoteMemory {
  public:
    RemoteMemory(HANDLE process, std::size_t size);
    ~RemoteMemory();
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    void* address() const { return address_; }
    bool write(const void* data, std::size_t size, std::size_t offset = 0) const;
    bool read(void* data, std::size_t size, std::size_t offset = 0) const;

  private:
    HANDLE process_;  // borrowed
    void* address_;
};

}  // namespace kq::e2e
