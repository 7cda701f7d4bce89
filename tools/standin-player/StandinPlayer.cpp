// Stand-in movie player for package entry 7: a plain window program that logs
// what the projector and its runtime library do to it, for the Wine tests.
//
// Log format. One line per event, appended to the log file and flushed at once:
//
//   <ms> <event> [key=value ...]
//
// <ms> is the time since start in milliseconds. Values are hexadecimal where
// they start with 0x, decimal otherwise; texts are in double quotes (a double
// quote or backslash inside is preceded by a backslash). Events:
//
//   start pid=N tid=N exe="PATH" cwd="PATH"   the program started (tid: main thread)
//   basepath text="TEXT"                       basepath.txt of the current directory (when present)
//   window hwnd=0xH                            the main window exists (shown next)
//   state style=0xS exstyle=0xE x=N y=N w=N h=N cw=N ch=N topmost=B visible=B
//         menu=B title="T" classcursor=B cursor=B
//                                              the window as seen on a timer tick, logged
//                                              whenever one of these values changed
//   msg id=0xM wparam=0xW lparam=0xL           a private message (0x0400-0x7FFF) reached the window
//   rbutton what=down|up|dbl                   a right button message reached the window
//   key what=down|sysdown|up|sysup vk=0xV      a key message reached the window
//   focus what=lost|got                        keyboard focus changes
//   gap ms=N                                   the main thread did not run for N ms (at least
//                                              kGapMs): it was suspended or blocked
//   close                                      WM_CLOSE reached the window
//   quit wparam=N                              the message loop took WM_QUIT
//   exit                                       the process is about to end
//
// B is 0 or 1. The log goes to the file named by the environment variable
// STANDIN_LOG when set, otherwise to standin.log beside the program. The
// environment also steers the program's end: STANDIN_QUIT_FILE names a file
// whose appearance closes the window; STANDIN_LIFETIME_MS closes it after that
// many milliseconds of running.
#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kTickMs = 50;
constexpr DWORD kGapMs = 400;
constexpr UINT kFirstPrivateMessage = 0x0400;
constexpr UINT kLastPrivateMessage = 0x7FFF;
constexpr UINT kMenuExit = 100;
constexpr const char* kClassName = "KwStandinPlayer";
constexpr const char* kTitle = "Stand-in Player";

struct State {
  LONG_PTR style = 0;
  LONG_PTR exstyle = 0;
  RECT rect{};
  RECT client{};
  bool topmost = false;
  bool visible = false;
  bool menu = false;
  std::string title;
  bool classCursor = false;
  bool cursor = false;

  bool operator==(const State& other) const {
    return style == other.style && exstyle == other.exstyle && EqualRect(&rect, &other.rect) &&
           EqualRect(&client, &other.client) && topmost == other.topmost &&
           visible == other.visible && menu == other.menu && title == other.title &&
           classCursor == other.classCursor && cursor == other.cursor;
  }
};

FILE* gLog = nullptr;
DWORD gStart = 0;
DWORD gLastTick = 0;
State gLastState;
bool gHaveState = false;
std::string gQuitFile;
DWORD gLifetimeMs = 0;
DWORD gRunningMs = 0;

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    if (c == '\r') {
      out += "\\r";
      continue;
    }
    out += c;
  }
  out += '"';
  return out;
}

void Log(const char* format, ...) {
  if (!gLog) return;
  std::fprintf(gLog, "%lu ", static_cast<unsigned long>(GetTickCount() - gStart));
  va_list args;
  va_start(args, format);
  std::vfprintf(gLog, format, args);
  va_end(args);
  std::fputc('\n', gLog);
  std::fflush(gLog);
}

std::string Environment(const char* name) {
  char buffer[1024];
  DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return {};
  return std::string(buffer, length);
}

std::string ModulePath() {
  char buffer[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  return std::string(buffer, length);
}

std::string CurrentDirectory() {
  char buffer[MAX_PATH];
  DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
  return std::string(buffer, length);
}

void OpenLog() {
  std::string path = Environment("STANDIN_LOG");
  if (path.empty()) {
    path = ModulePath();
    size_t slash = path.find_last_of('\\');
    path = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "standin.log";
  }
  gLog = std::fopen(path.c_str(), "a");
}

void LogBasePath() {
  FILE* file = std::fopen("basepath.txt", "rb");
  if (!file) return;
  std::string text;
  char buffer[512];
  size_t length;
  while ((length = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, length);
  std::fclose(file);
  Log("basepath text=%s", Quoted(text).c_str());
}

State Observe(HWND window) {
  State state;
  state.style = GetWindowLongPtrA(window, GWL_STYLE);
  state.exstyle = GetWindowLongPtrA(window, GWL_EXSTYLE);
  GetWindowRect(window, &state.rect);
  GetClientRect(window, &state.client);
  state.topmost = (state.exstyle & WS_EX_TOPMOST) != 0;
  state.visible = IsWindowVisible(window) != FALSE;
  state.menu = GetMenu(window) != nullptr;
  char title[256];
  int length = GetWindowTextA(window, title, sizeof title);
  state.title.assign(title, static_cast<size_t>(length > 0 ? length : 0));
  state.classCursor = GetClassLongPtrA(window, GCLP_HCURSOR) != 0;
  CURSORINFO info{};
  info.cbSize = sizeof info;
  state.cursor = GetCursorInfo(&info) && (info.flags & CURSOR_SHOWING) != 0;
  return state;
}

void LogStateIfChanged(HWND window) {
  State state = Observe(window);
  if (gHaveState && state == gLastState) return;
  gLastState = state;
  gHaveState = true;
  Log("state style=0x%llx exstyle=0x%llx x=%ld y=%ld w=%ld h=%ld cw=%ld ch=%ld topmost=%d "
      "visible=%d menu=%d title=%s classcursor=%d cursor=%d",
      static_cast<unsigned long long>(state.style) & 0xFFFFFFFFull,
      static_cast<unsigned long long>(state.exstyle) & 0xFFFFFFFFull, state.rect.left,
      state.rect.top, state.rect.right - state.rect.left, state.rect.bottom - state.rect.top,
      state.client.right, state.client.bottom, state.topmost ? 1 : 0, state.visible ? 1 : 0,
      state.menu ? 1 : 0, Quoted(state.title).c_str(), state.classCursor ? 1 : 0,
      state.cursor ? 1 : 0);
}

void Tick(HWND window) {
  DWORD now = GetTickCount();
  DWORD elapsed = now - gLastTick;
  gLastTick = now;
  if (elapsed >= kGapMs) {
    Log("gap ms=%lu", static_cast<unsigned long>(elapsed));
  } else {
    gRunningMs += elapsed;
  }
  LogStateIfChanged(window);
  bool quitFileThere =
      !gQuitFile.empty() && GetFileAttributesA(gQuitFile.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (quitFileThere || (gLifetimeMs != 0 && gRunningMs >= gLifetimeMs)) {
    KillTimer(window, kTickTimer);
    DestroyWindow(window);
  }
}

const char* KeyWhat(UINT message) {
  switch (message) {
    case WM_KEYDOWN: return "down";
    case WM_SYSKEYDOWN: return "sysdown";
    case WM_KEYUP: return "up";
    default: return "sysup";
  }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= kFirstPrivateMessage && message <= kLastPrivateMessage) {
    Log("msg id=0x%04x wparam=0x%llx lparam=0x%llx", message,
        static_cast<unsigned long long>(wParam), static_cast<unsigned long long>(lParam));
    return 0;
  }
  switch (message) {
    case WM_TIMER:
      if (wParam == kTickTimer) Tick(window);
      return 0;
    case WM_RBUTTONDOWN: Log("rbutton what=down"); return 0;
    case WM_RBUTTONUP: Log("rbutton what=up"); return 0;
    case WM_RBUTTONDBLCLK: Log("rbutton what=dbl"); return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
      Log("key what=%s vk=0x%02llx", KeyWhat(message), static_cast<unsigned long long>(wParam));
      // Keep Alt and F10 from entering menu mode, which would hold later keys.
      return 0;
    case WM_SETFOCUS: Log("focus what=got"); return 0;
    case WM_KILLFOCUS: Log("focus what=lost"); return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kMenuExit) DestroyWindow(window);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
      SetBkMode(dc, TRANSPARENT);
      DrawTextA(dc, kTitle, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_CLOSE:
      Log("close");
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

HMENU MakeMenu() {
  HMENU file = CreatePopupMenu();
  AppendMenuA(file, MF_STRING, kMenuExit, "E&xit");
  HMENU bar = CreateMenu();
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
  return bar;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  gStart = GetTickCount();
  OpenLog();
  gQuitFile = Environment("STANDIN_QUIT_FILE");
  gLifetimeMs = static_cast<DWORD>(std::strtoul(Environment("STANDIN_LIFETIME_MS").c_str(), nullptr, 10));
  Log("start pid=%lu tid=%lu exe=%s cwd=%s", static_cast<unsigned long>(GetCurrentProcessId()),
      static_cast<unsigned long>(GetCurrentThreadId()), Quoted(ModulePath()).c_str(),
      Quoted(CurrentDirectory()).c_str());
  LogBasePath();

  WNDCLASSA windowClass{};
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kClassName;
  RegisterClassA(&windowClass);

  // A 550 x 400 client area, the usual stage size of a movie.
  RECT frame{0, 0, 550, 400};
  const DWORD style = WS_OVERLAPPEDWINDOW;
  AdjustWindowRectEx(&frame, style, TRUE, 0);
  HWND window = CreateWindowExA(0, kClassName, kTitle, style, CW_USEDEFAULT, CW_USEDEFAULT,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                MakeMenu(), instance, nullptr);
  if (!window) {
    Log("exit");
    return 1;
  }
  Log("window hwnd=0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  gLastTick = GetTickCount();
  LogStateIfChanged(window);
  SetTimer(window, kTickTimer, kTickMs, nullptr);

  MSG message;
  BOOL result;
  while ((result = GetMessageA(&message, nullptr, 0, 0)) != 0) {
    if (result == -1) break;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  Log("quit wparam=%llu", static_cast<unsigned long long>(message.wParam));
  Log("exit");
  if (gLog) std::fclose(gLog);
  return static_cast<int>(message.wParam);
}
