// The player's process side: starting it, taking over its window, suspending,
// resuming and ending it, and waiting for its end while serving messages.
#include "win/projector/PlayerProcess.h"

#include "win/projector/RuntimeLibrary.h"
#include "win/projector/ShowError.h"
#include "win/projector/package/StartupRules.h"
#include "win/runtime/PrivateMessages.h"

namespace kw::orbalo {

namespace {

constexpr DWORD kSearchPauseMs = 20;
constexpr DWORD kStripPauseMs = 100;
constexpr DWORD kFailedWaitPauseMs = 20;

struct WindowSearch {
  DWORD processId = 0;
  HWND found = nullptr;
};

BOOL CALLBACK TakeVisibleWindowOfProcess(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

void DispatchQueuedMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace

PlayerProcess::~PlayerProcess() {
  if (process_.hThread != nullptr) CloseHandle(process_.hThread);
  if (process_.hProcess != nullptr) CloseHandle(process_.hProcess);
}

// Polls every 20 ms for the first visible top-level window of the player.
// Gives up when the player process has ended (the pause is a wait on the
// process, so its end is seen at once) or after kWindowSearchLimitMs.
HWND PlayerProcess::FindPlayerWindow() const {
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    if (WaitForSingleObject(process_.hProcess, kSearchPauseMs) == WAIT_OBJECT_0) return nullptr;
    WindowSearch search;
    search.processId = process_.dwProcessId;
    EnumWindows(TakeVisibleWindowOfProcess, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
    if (GetTickCount64() - start >= kWindowSearchLimitMs) return nullptr;
  }
}

bool PlayerProcess::Start() {
  const std::string path = ComposeStartPath();

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USEPOSITION;
  startup.dwX = 0;
  startup.dwY = 0;
  if (!CreateProcessA(path.c_str(), nullptr, nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE, nullptr,
                      nullptr, &startup, &process_)) {
    process_ = PROCESS_INFORMATION{};
    ShowError(kTextStartPlayerFailed, static_cast<int>(GetLastError()));
    return false;
  }

  window_ = FindPlayerWindow();
  if (window_ == nullptr) {
    // Ended, or no window within the limit. A player that still runs is told
    // to quit through its main thread, as orbalo never kills it.
    PostThreadMessageA(process_.dwThreadId, WM_QUIT, 0, 0);
    return false;
  }

  GetClientRect(window_, &clientRect_);
  const int width = clientRect_.right - clientRect_.left;
  const int height = clientRect_.bottom - clientRect_.top;

  SetWindowPos(window_, nullptr, 0, 0, 0, 0,
               SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(window_, SW_HIDE);
  SetMenu(window_, nullptr);
  SetWindowTextA(window_, "");

  CallInstall(process_.dwThreadId);

  PostMessageA(window_, PM_STRIP_FRAME, 0, 0);
  Sleep(kStripPauseMs);
  if (config_.blockRightClick != 0) PostMessageA(window_, PM_BLOCK_RIGHT_CLICK, 0, 0);
  if (config_.hideCursor != 0) PostMessageA(window_, PM_HIDE_CURSOR, 0, reinterpret_cast<LPARAM>(window_));

  SetWindowPos(window_, HWND_TOPMOST, 0, 0, width, height, SWP_HIDEWINDOW | SWP_NOREDRAW);
  return true;
}

void PlayerProcess::Suspend() {
  if (process_.hThread != nullptr) SuspendThread(process_.hThread);
}

void PlayerProcess::Resume() {
  if (process_.hThread != nullptr) ResumeThread(process_.hThread);
  if (window_ != nullptr) {
    ShowWindow(window_, SW_SHOW);
    if (config_.escapeQuits != 0) PostMessageA(window_, PM_ESCAPE_QUITS, 0, 0);
  }
}

void PlayerProcess::Quit() {
  if (window_ != nullptr) PostMessageA(window_, WM_QUIT, 0, 0);
}

// Waits for the player's end or for input to this thread, whichever comes
// first, and dispatches the input (the background window and the keyboard
// filter live on this thread). A wait that fails is retried after a short
// pause; kMaxFailedWaits failures in a row end the wait as if the player had
// ended, so a broken handle cannot keep the run spinning.
void PlayerProcess::WaitForEnd() {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, process_.dwProcessId);
  if (process == nullptr) return;
  int failures = 0;
  while (failures < kMaxFailedWaits) {
    const DWORD result = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT);
    if (result == WAIT_OBJECT_0) break;
    if (result == WAIT_OBJECT_0 + 1) {
      failures = 0;
      DispatchQueuedMessages();
      continue;
    }
    ++failures;
    DispatchQueuedMessages();
    Sleep(kFailedWaitPauseMs);
  }
  CloseHandle(process);
}

}  // namespace kw::orbalo
