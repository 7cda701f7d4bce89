// Windows helper of the Wine tests: answers message boxes and records them,
// injects keys and right clicks through SendInput, lists top-level windows.
//
//   winhelper dialogs OUTFILE [HOLD_MS]
//       Watches for message boxes (top-level dialogs of class "#32770"). For each
//       new one it appends a line to OUTFILE and presses its OK button HOLD_MS
//       (default 300) later:
//           dialog title="TITLE" text="TEXT" owner=0xH
//       In the texts a backslash, double quote, line feed and carriage return
//       are written as \\, \", \n and \r. Runs until the process is ended.
//   winhelper keys CHORD...
//       Presses and releases each chord in turn: keys joined by "+", from
//       ctrl, lctrl, rctrl, alt, shift, tab, esc, lwin, rwin, apps, enter,
//       space, a-z, 0-9 (modifiers go down first and up last).
//   winhelper rclick CLASS
//       Right-clicks the middle of the first visible top-level window of CLASS.
//   winhelper windows
//       Prints each visible top-level window: handle, process id, class, title.
//   winhelper screen
//       Prints the screen size: "screen W H".
//   winhelper message TITLE TEXT
//       Shows a message box (to check the dialog watcher itself).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

// Waits while answering messages sent to this thread: the system broadcasts
// messages (for instance on a display mode change) and waits for every thread
// that owns a window, so a helper that only slept would stall the projector.
void Pause(DWORD ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= ms) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
  }
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

std::string WindowText(HWND window) {
  int length = GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
  int copied = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

std::string ClassOf(HWND window) {
  char name[256];
  int length = GetClassNameA(window, name, sizeof name);
  return std::string(name, static_cast<size_t>(length > 0 ? length : 0));
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> windows;
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

// The message text: the static control with the message box's text id, or
// else every static child's text in order.
std::string MessageText(HWND dialog) {
  constexpr int kMessageBoxTextId = 0xFFFF;
  if (HWND item = GetDlgItem(dialog, kMessageBoxTextId)) return WindowText(item);
  std::string text;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (_stricmp(ClassOf(child).c_str(), "Static") == 0) text += WindowText(child);
  }
  return text;
}

int WatchDialogs(const char* outPath, DWORD holdMs) {
  std::set<HWND> answered;
  for (;;) {
    for (HWND window : TopLevelWindows()) {
      if (ClassOf(window) != "#32770" || answered.count(window)) continue;
      // Give the box a moment to fill in its controls.
      Pause(50);
      std::string title = WindowText(window);
      std::string text = MessageText(window);
      HWND owner = GetWindow(window, GW_OWNER);
      if (FILE* out = std::fopen(outPath, "ab")) {
        std::fprintf(out, "dialog title=\"%s\" text=\"%s\" owner=0x%llx\n", Escaped(title).c_str(),
                     Escaped(text).c_str(),
                     static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(owner)));
        std::fclose(out);
      }
      answered.insert(window);
      Pause(holdMs);
      HWND ok = GetDlgItem(window, IDOK);
      PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
    }
    Pause(50);
  }
}

struct KeyName {
  const char* name;
  WORD vk;
};

constexpr KeyName kKeys[] = {
    {"ctrl", VK_LCONTROL}, {"lctrl", VK_LCONTROL}, {"rctrl", VK_RCONTROL}, {"alt", VK_LMENU},
    {"shift", VK_LSHIFT},  {"tab", VK_TAB},        {"esc", VK_ESCAPE},     {"lwin", VK_LWIN},
    {"rwin", VK_RWIN},     {"apps", VK_APPS},      {"enter", VK_RETURN},   {"space", VK_SPACE},
};

bool KeyCode(const std::string& name, WORD& vk) {
  for (const KeyName& key : kKeys) {
    if (name == key.name) {
      vk = key.vk;
      return true;
    }
  }
  if (name.size() == 1 && ((name[0] >= 'a' && name[0] <= 'z') || (name[0] >= '0' && name[0] <= '9'))) {
    vk = static_cast<WORD>(std::toupper(static_cast<unsigned char>(name[0])));
    return true;
  }
  return false;
}

INPUT KeyInput(WORD vk, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  if (vk == VK_RCONTROL || vk == VK_LWIN || vk == VK_RWIN || vk == VK_APPS) {
    input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
  }
  return input;
}

bool Send(const INPUT& input) {
  INPUT copy = input;
  bool sent = SendInput(1, &copy, sizeof copy) == 1;
  Pause(30);
  return sent;
}

int SendChords(int count, char** chords) {
  for (int i = 0; i < count; ++i) {
    std::vector<WORD> keys;
    std::string chord = chords[i];
    size_t start = 0;
    while (start <= chord.size()) {
      size_t plus = chord.find('+', start);
      std::string name = chord.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
      WORD vk = 0;
      if (!KeyCode(name, vk)) {
        std::fprintf(stderr, "winhelper: unknown key '%s'\n", name.c_str());
        return 2;
      }
      keys.push_back(vk);
      if (plus == std::string::npos) break;
      start = plus + 1;
    }
    for (WORD vk : keys) {
      if (!Send(KeyInput(vk, false))) return 1;
    }
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
      if (!Send(KeyInput(*it, true))) return 1;
    }
    std::printf("sent %s\n", chords[i]);
    Pause(100);
  }
  return 0;
}

int RightClick(const char* className) {
  HWND target = nullptr;
  for (HWND window : TopLevelWindows()) {
    if (ClassOf(window) == className) {
      target = window;
      break;
    }
  }
  if (!target) {
    std::fprintf(stderr, "winhelper: no visible window of class %s\n", className);
    return 1;
  }
  RECT rect;
  GetWindowRect(target, &rect);
  SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  Pause(50);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
  if (!Send(input)) return 1;
  input.mi.dwFlags = MOUSEEVENTF_RIGHTUP;
  if (!Send(input)) return 1;
  std::printf("right-clicked %s\n", className);
  return 0;
}

int ListWindows() {
  for (HWND window : TopLevelWindows()) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    std::printf("0x%llx %lu \"%s\" \"%s\"\n",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)),
                static_cast<unsigned long>(process), Escaped(ClassOf(window)).c_str(),
                Escaped(WindowText(window)).c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "";
  if (command == "dialogs" && argc >= 3) {
    DWORD hold = argc >= 4 ? static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)) : 300;
    return WatchDialogs(argv[2], hold);
  }
  if (command == "keys" && argc >= 3) return SendChords(argc - 2, argv + 2);
  if (command == "rclick" && argc == 3) return RightClick(argv[2]);
  if (command == "windows") return ListWindows();
  if (command == "screen") {
    std::printf("screen %d %d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    return 0;
  }
  if (command == "message" && argc == 4) {
    MessageBoxA(nullptr, argv[3], argv[2], MB_OK);
    return 0;
  }
  std::fprintf(stderr, "usage: winhelper dialogs OUTFILE [HOLD_MS] | keys CHORD... | rclick CLASS | windows | screen | message TITLE TEXT\n");
  return 2;
}
