// The top-most pop-up window that covers the screen behind the player in the
// background colour and shows the intro, background and outro pictures.
#pragma once

#include <windows.h>

#include <memory>

#include "win/projector/BackgroundImage.h"
#include "win/projector/package/PackageFormat.h"

namespace kw::orbalo {

class BackgroundWindow {
 public:
  // Selected picture, also the index of its slot.
  static constexpr int kNoPicture = -1;
  static constexpr int kBackgroundPicture = 0;
  static constexpr int kIntroPicture = 1;
  static constexpr int kOutroPicture = 2;
  static constexpr UINT_PTR kIntroTimer = 9029;
  static constexpr UINT_PTR kOutroTimer = 9030;

  // Makes this the window that the window procedure serves; no other effect.
  BackgroundWindow();
  BackgroundWindow(const BackgroundWindow&) = delete;
  BackgroundWindow& operator=(const BackgroundWindow&) = delete;

  // Runs the thread's messages until the timer `timerId` fires once (or a
  // quit message comes), `ms` after the start.
  virtual void Wait(UINT_PTR timerId, UINT ms);
  virtual void RunOutro();
  virtual void RunIntro();
  virtual void SelectNone();
  virtual void SelectOutro();
  virtual void SelectBackground();
  virtual void SelectIntro();
  virtual HWND GetWindow();
  virtual void SetPlayerWindow(HWND player);
  virtual void Destroy();
  // Loads the pictures, registers the class and creates and shows the
  // window; its handle, or none.
  virtual HWND Create(HINSTANCE instance);
  virtual ~BackgroundWindow();
  virtual void CreateImages();

  // After the display fell back to 640 x 480: the window covers that, and
  // the player window and the pictures move by the difference, halved.
  void MoveTo640x480();
  // Frees the pictures and the fill brush.
  void ReleaseResources();

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Select(int picture, bool present);
  void Paint(HWND window);
  void BringPlayerForward();

  static BackgroundWindow* current_;

  RECT fill_{};
  std::unique_ptr<BackgroundImage> images_[3];
  int selected_ = kNoPicture;
  ProjectorConfig config_{};
  HCURSOR arrow_ = nullptr;
  HBRUSH brush_ = nullptr;
  HWND window_ = nullptr;
  HWND player_ = nullptr;
};

}  // namespace kw::orbalo
