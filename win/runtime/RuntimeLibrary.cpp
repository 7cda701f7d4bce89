// ORBALORT.DLL: the message filter that orbalo puts on the player's thread and
// the low-level keyboard filter on orbalo's own thread, plus the two exports.
//
// Each process that loads the library has its own copy of the state below:
// orbalo's copy records the filter handles; the copy that the system loads into
// the player process together with the message filter records none, so there
// the messages that are not ours are not handed further down the chain.
// The decisions themselves live in FilterRules.cpp; this file does the calls.
#include <windows.h>

#include <cstdint>

#include "win/runtime/FilterRules.h"
#include "win/runtime/PrivateMessages.h"
#include "win/runtime/RuntimeExports.h"

namespace {

kw::orbalo::RuntimeState g_state;
HHOOK g_messageFilter = nullptr;
HHOOK g_keyboardFilter = nullptr;

constexpr const char* kOwnModuleName = "orbalort.dll";

LRESULT CALLBACK MessageFilter(int code, WPARAM wParam, LPARAM lParam) {
  MSG* msg = reinterpret_cast<MSG*>(lParam);
  if (code < 0 || msg == nullptr) {
    return g_messageFilter != nullptr ? CallNextHookEx(g_messageFilter, code, wParam, lParam) : 0;
  }

  const kw::orbalo::MessageDecision decision =
      kw::orbalo::DecideMessage(g_state, msg->message, static_cast<std::uint64_t>(msg->wParam),
                                g_messageFilter != nullptr);
  if (decision.hidePointerFirst) ShowCursor(FALSE);

  switch (decision.action) {
    case kw::orbalo::MessageAction::kSwallow:
      msg->message = kw::orbalo::PM_SWALLOWED;
      break;
    case kw::orbalo::MessageAction::kStripFrame:
      SetWindowLongPtrA(msg->hwnd, GWL_STYLE, static_cast<LONG_PTR>(WS_POPUP));
      SetWindowLongPtrA(msg->hwnd, GWL_EXSTYLE, 0);
      SetClassLongPtrA(msg->hwnd, GCLP_HCURSOR, 0);
      break;
    case kw::orbalo::MessageAction::kHideCursor:
      SetClassLongPtrA(msg->hwnd, GCLP_HCURSOR, 0);
      ShowCursor(FALSE);
      break;
    case kw::orbalo::MessageAction::kReactivate:
      SetActiveWindow(msg->hwnd);
      SetForegroundWindow(msg->hwnd);
      break;
    case kw::orbalo::MessageAction::kPostQuit:
      PostQuitMessage(0);
      break;
    case kw::orbalo::MessageAction::kPassOn:
      if (decision.callNextFilter) return CallNextHookEx(g_messageFilter, code, wParam, lParam);
      break;
    case kw::orbalo::MessageAction::kNone:
      break;
  }
  return 0;
}

LRESULT CALLBACK KeyboardFilter(int code, WPARAM wParam, LPARAM lParam) {
  const KBDLLHOOKSTRUCT* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
  if (code < 0 || key == nullptr) {
    return CallNextHookEx(g_keyboardFilter, code, wParam, lParam);
  }
  return kw::orbalo::KeyboardEventSwallowed(g_state, key->vkCode, key->flags) ? 1 : 0;
}

void RemoveFilters() {
  if (g_keyboardFilter != nullptr) {
    UnhookWindowsHookEx(g_keyboardFilter);
    g_keyboardFilter = nullptr;
  }
  if (g_messageFilter != nullptr) {
    UnhookWindowsHookEx(g_messageFilter);
    g_messageFilter = nullptr;
  }
}

}  // namespace

extern "C" __declspec(dllexport) int ORBALO_Install(std::uint32_t threadId) {
  // A second install replaces the filters of the first rather than stacking them.
  RemoveFilters();
  HMODULE self = GetModuleHandleA(kOwnModuleName);
  g_messageFilter = SetWindowsHookExA(WH_GETMESSAGE, MessageFilter, self, threadId);
  if (g_messageFilter == nullptr) return 0;
  g_keyboardFilter = SetWindowsHookExA(WH_KEYBOARD_LL, KeyboardFilter, self, 0);
  return g_keyboardFilter != nullptr ? 1 : 0;
}

extern "C" __declspec(dllexport) int ORBALO_Cleanup() {
  RemoveFilters();
  return 1;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
