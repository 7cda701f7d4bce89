// The background window: creation with its pictures, painting, the timer
// waits of intro and outro, and the move after a 640 x 480 fall-back.
#include "win/projector/BackgroundWindow.h"

#include <algorithm>
#include <cstdint>

#include "win/projector/OwnPackage.h"
#include "win/projector/package/Placement.h"
#include "win/projector/package/StartupRules.h"

namespace kw::orbalo {

BackgroundWindow* BackgroundWindow::current_ = nullptr;

namespace {

// Seconds from the configuration as a timer interval the system accepts.
UINT SecondsToTimerMs(uint32_t seconds) {
  const uint64_t ms = uint64_t{seconds} * 1000u;
  return static_cast<UINT>(std::min<uint64_t>(ms, USER_TIMER_MAXIMUM));
}

}  // namespace

BackgroundWindow::BackgroundWindow() { current_ = this; }

BackgroundWindow::~BackgroundWindow() {
  ReleaseResources();
  if (current_ == this) current_ = nullptr;
}

void BackgroundWindow::CreateImages() {
  for (auto& image : images_) image = std::make_unique<BackgroundImage>();
}

HWND BackgroundWindow::Create(HINSTANCE instance) {
  CreateImages();
  const std::optional<ProjectorConfig> config = ReadOwnConfig();
  if (!config) return nullptr;
  config_ = *config;

  // An unknown resolution code gets a 640 x 480 window; the run then ends at
  // the display switch.
  const Size screen = BackgroundSizeForCode(config_.resolutionCode);
  fill_ = RECT{0, 0, screen.width, screen.height};

  const struct {
    int slot;
    uint32_t entry;
    uint32_t present;
  } pictures[] = {
      {kBackgroundPicture, kEntryBackground, config_.hasBackground},
      {kIntroPicture, kEntryIntro, config_.hasIntro},
      {kOutroPicture, kEntryOutro, config_.hasOutro},
  };
  for (const auto& picture : pictures) {
    if (picture.present == 0) continue;
    BackgroundImage& image = *images_[picture.slot];
    if (config_.stretchPictures != 0) {
      image.Load(picture.entry, kAlignStretch, screen.width, screen.height);
    } else if (image.Load(picture.entry, 1, screen.width, screen.height) && image.Width() <= screen.width &&
               image.Height() <= screen.height) {
      image.Align(0, screen.width, screen.height);  // centred when it fits
    }
  }

  brush_ = CreateSolidBrush(static_cast<COLORREF>(config_.backgroundColour));
  arrow_ = LoadCursor(nullptr, IDC_ARROW);

  WNDCLASSA windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, kIconResource);
  windowClass.hCursor = nullptr;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = kWindowClassName;
  if (RegisterClassA(&windowClass) == 0) return nullptr;

  window_ = CreateWindowExA(WS_EX_TOPMOST, kWindowClassName, kWindowTitle, WS_POPUP, 0, 0, screen.width,
                            screen.height, nullptr, nullptr, instance, nullptr);
  if (window_ != nullptr) {
    ShowWindow(window_, SW_SHOWNORMAL);
    UpdateWindow(window_);
  }
  return window_;
}

void BackgroundWindow::Destroy() {
  if (window_ != nullptr) DestroyWindow(window_);
  window_ = nullptr;
}

HWND BackgroundWindow::GetWindow() { return window_; }

void BackgroundWindow::SetPlayerWindow(HWND player) { player_ = player; }

void BackgroundWindow::Select(int picture, bool present) {
  selected_ = present ? picture : kNoPicture;
  // Painting fills the whole client area, so no erase is needed first. The
  // repaint happens at once: until the intro wait, this thread runs no
  // message loop that would deliver it.
  if (window_ != nullptr) {
    InvalidateRect(window_, nullptr, FALSE);
    UpdateWindow(window_);
  }
}

void BackgroundWindow::SelectNone() { Select(kNoPicture, false); }
void BackgroundWindow::SelectBackground() { Select(kBackgroundPicture, config_.hasBackground != 0); }
void BackgroundWindow::SelectIntro() { Select(kIntroPicture, config_.hasIntro != 0); }
void BackgroundWindow::SelectOutro() { Select(kOutroPicture, config_.hasOutro != 0); }

void BackgroundWindow::RunIntro() {
  if (config_.hasIntro == 0) return;
  SelectIntro();
  Wait(kIntroTimer, SecondsToTimerMs(config_.introSeconds));
}

void BackgroundWindow::RunOutro() {
  if (config_.hasOutro == 0) return;
  SelectOutro();
  Wait(kOutroTimer, SecondsToTimerMs(config_.outroSeconds));
}

void BackgroundWindow::Wait(UINT_PTR timerId, UINT ms) {
  if (window_ == nullptr) return;
  SetTimer(window_, timerId, ms, nullptr);
  MSG message;
  // GetMessage answers 0 for a quit message and -1 when it fails; both end
  // the wait (a failing GetMessage would otherwise spin).
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
    if (message.message == WM_TIMER && message.hwnd == window_ && message.wParam == timerId) break;
  }
  KillTimer(window_, timerId);
}

void BackgroundWindow::MoveTo640x480() {
  if (window_ == nullptr) return;
  fill_ = RECT{0, 0, kFallbackResolution.width, kFallbackResolution.height};
  MoveWindow(window_, 0, 0, kFallbackResolution.width, kFallbackResolution.height, TRUE);

  const Point shift = FallbackShift(BackgroundSizeForCode(config_.resolutionCode));
  if (player_ != nullptr) {
    RECT frame;
    if (GetWindowRect(player_, &frame)) {
      SetWindowPos(player_, nullptr, frame.left + shift.x, frame.top + shift.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  for (auto& image : images_) {
    if (image) image->Shift(shift.x, shift.y);
  }
}

void BackgroundWindow::ReleaseResources() {
  for (auto& image : images_) image.reset();
  if (brush_ != nullptr) DeleteObject(brush_);
  brush_ = nullptr;
}

void BackgroundWindow::BringPlayerForward() {
  if (player_ == nullptr) return;
  SetActiveWindow(player_);
  SetForegroundWindow(player_);
}

void BackgroundWindow::Paint(HWND window) {
  PAINTSTRUCT paint;
  HDC device = BeginPaint(window, &paint);
  if (device != nullptr) {
    RECT client;
    GetClientRect(window, &client);
    if (brush_ != nullptr) FillRect(device, &client, brush_);
    if (selected_ >= kBackgroundPicture && selected_ <= kOutroPicture && images_[selected_]) {
      images_[selected_]->Draw(device);
    }
  }
  EndPaint(window, &paint);
}

LRESULT CALLBACK BackgroundWindow::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (current_ == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  return current_->HandleMessage(window, message, wParam, lParam);
}

LRESULT BackgroundWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
    case WM_DESTROY:
      return 0;  // the user cannot close it; Destroy does
    case WM_ACTIVATE:
      BringPlayerForward();
      return 0;
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_SETCURSOR:
      SetCursor(config_.hideCursor != 0 ? nullptr : arrow_);
      return 0;
    case WM_WINDOWPOSCHANGING: {
      auto* change = reinterpret_cast<WINDOWPOS*>(lParam);
      if (change != nullptr) change->flags |= SWP_NOZORDER | SWP_NOACTIVATE;
      BringPlayerForward();
      return 0;
    }
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace kw::orbalo
