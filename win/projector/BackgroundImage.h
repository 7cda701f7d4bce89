// One picture of the background window: a JPEG entry of the package decoded
// once into a 32-bit bottom-up bitmap, placed on the screen and drawn as is.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace kw::orbalo {

class BackgroundImage {
 public:
  BackgroundImage();
  virtual ~BackgroundImage() = default;
  BackgroundImage(const BackgroundImage&) = delete;
  BackgroundImage& operator=(const BackgroundImage&) = delete;

  // Copies the bitmap to the device at the picture's position; nothing when
  // the picture is not loaded.
  virtual void Draw(HDC device);
  // Extracts the entry into the per-run folder, decodes it and places it by
  // the alignment code on a screen of sw x sh; code 10 stretches it to the
  // screen. False (and nothing loaded) when any step fails.
  virtual bool Load(uint32_t entryId, uint32_t alignmentCode, int screenWidth, int screenHeight);

  // Places the loaded picture by an alignment code on a screen of sw x sh.
  void Align(uint32_t alignmentCode, int screenWidth, int screenHeight);
  void Shift(int dx, int dy);

  bool IsLoaded() const { return loaded_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int X() const { return x_; }
  int Y() const { return y_; }

 private:
  int x_ = 0;
  int y_ = 0;
  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> pixels_;  // bottom row first, 0x00RRGGBB
  bool loaded_ = false;
  BITMAPINFOHEADER info_{};
};

}  // namespace kw::orbalo
