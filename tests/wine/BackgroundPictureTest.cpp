// orbalo's background window on screen under Wine: a picture smaller than the
// screen is centred on the fill colour, a larger one is cut at the top left,
// and with the stretch flag every picture fills the whole screen. Checked by
// the colours of screenshots at a few points.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/wine/OrbaloShow.h"

namespace kw::winetest {
namespace {

namespace fs = std::filesystem;

struct Colour {
  int red, green, blue;
};

// The pictures are JPEGs: colours are compared with this much slack per channel.
constexpr int kTolerance = 48;

constexpr Colour kFill{0, 0, 255};  // the configured fill colour "#0000FF"
constexpr Colour kOrange{255, 165, 0};
constexpr Colour kRed{255, 0, 0};
constexpr Colour kGreen{0, 128, 0};

// A point of the screen (the background window lies at the top left of the X
// screen, 640 x 480 after the display switch) and the colour expected there.
struct Spot {
  int x, y;
  Colour colour;
  std::string what;
};

// An RGB image read from a binary PPM file.
class ScreenImage {
 public:
  explicit ScreenImage(const fs::path& ppm) {
    std::ifstream in(ppm, std::ios::binary);
    std::string magic;
    int maximum = 0;
    in >> magic >> width_ >> height_ >> maximum;
    in.get();  // the single white space after the header
    if (magic != "P6" || maximum != 255 || width_ <= 0 || height_ <= 0) return;
    pixels_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 3);
    in.read(reinterpret_cast<char*>(pixels_.data()), static_cast<std::streamsize>(pixels_.size()));
    if (!in) pixels_.clear();
  }

  bool Valid() const { return !pixels_.empty(); }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

  Colour At(int x, int y) const {
    const size_t at = (static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)) * 3;
    return {pixels_[at], pixels_[at + 1], pixels_[at + 2]};
  }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<unsigned char> pixels_;
};

bool Near(const Colour& seen, const Colour& wanted) {
  return std::abs(seen.red - wanted.red) <= kTolerance && std::abs(seen.green - wanted.green) <= kTolerance &&
         std::abs(seen.blue - wanted.blue) <= kTolerance;
}

std::string Text(const Colour& colour) {
  return "(" + std::to_string(colour.red) + "," + std::to_string(colour.green) + "," +
         std::to_string(colour.blue) + ")";
}

class BackgroundPictureTest : public ::testing::Test {
 protected:
  BackgroundPictureTest() : session_(BuildSetup(), CurrentTestName()), show_(session_) {}

  // The spots of `spots` whose colour differs in a new screenshot `name`;
  // empty when all match.
  std::string Mismatches(const std::string& name, const std::vector<Spot>& spots) {
    session_.Screenshot(name);
    const fs::path png = session_.artifacts() / (name + ".png");
    const fs::path ppm = session_.artifacts() / (name + ".ppm");
    const std::string command = "convert '" + png.string() + "' -depth 8 'ppm:" + ppm.string() + "'";
    if (std::system(command.c_str()) != 0) return "cannot read the screenshot " + png.string();
    ScreenImage image(ppm);
    fs::remove(ppm);
    if (!image.Valid()) return "unreadable screenshot " + png.string();
    std::ostringstream out;
    for (const auto& spot : spots) {
      if (!image.Contains(spot.x, spot.y)) {
        out << "(" << spot.x << "," << spot.y << ") lies outside the screenshot\n";
        continue;
      }
      const Colour seen = image.At(spot.x, spot.y);
      if (!Near(seen, spot.colour)) {
        out << "(" << spot.x << "," << spot.y << ") " << spot.what << ": " << Text(seen) << " instead of "
            << Text(spot.colour) << "\n";
      }
    }
    return out.str();
  }

  // Takes screenshots `name` until every spot shows its colour or `timeout`
  // passed; returns the mismatches of the last one (empty on success).
  std::string WaitForColours(const std::string& name, const std::vector<Spot>& spots, Millis timeout = 10s) {
    std::string last;
    WineSession::WaitUntil(
        [&] {
          last = Mismatches(name, spots);
          return last.empty();
        },
        timeout);
    return last;
  }

  WineSession session_;
  OrbaloShow show_;
};

TEST_F(BackgroundPictureTest, SmallPictureIsCentredLargeOneCutAtTopLeftAndStretchFillsTheScreen) {
  // First run, pictures keep their size on 640 x 480. The player (550 x 400)
  // covers (45, 40)-(595, 440); the background window shows around it.
  ASSERT_TRUE(show_.Pack({"--background", show_.Picture("back-small.jpg", 600, 440, "orange"), "--outro",
                          show_.TwoColourPicture("outro-large.jpg", 800, 600, "green", 640, 480, "red"),
                          "--set", "resolution=640x480", "--set", "alignment=0", "--set", "colour=#0000FF",
                          "--set", "stretch=0", "--set", "outro-time=2"}));
  show_.Start();
  ASSERT_TRUE(show_.WaitUntilPlaying()) << "the player was never shown";

  // 600 x 440 centred: (20, 20)-(620, 460), the fill colour in a 20 pixel margin.
  EXPECT_EQ(WaitForColours("centred",
                           {{30, 30, kOrange, "top left of the centred picture"},
                            {610, 450, kOrange, "bottom right of the centred picture"},
                            {10, 30, kFill, "left of the centred picture"},
                            {30, 10, kFill, "above the centred picture"},
                            {630, 450, kFill, "right of the centred picture"},
                            {610, 470, kFill, "below the centred picture"}}),
            "");

  // 800 x 600 at (0, 0): only its red top-left 640 x 480 is on the screen;
  // centred or shrunk, the green part would show at the right and bottom.
  show_.QuitPlayer();
  EXPECT_EQ(WaitForColours("cut",
                           {{10, 10, kRed, "top left of the cut picture"},
                            {630, 10, kRed, "top right of the cut picture"},
                            {10, 470, kRed, "bottom left of the cut picture"},
                            {630, 470, kRed, "bottom right of the cut picture"},
                            {320, 240, kRed, "middle of the cut picture"}}),
            "");
  auto code = show_.WaitForEnd(60s);
  ASSERT_TRUE(code) << "orbalo did not end after the player";
  EXPECT_EQ(*code, 0);

  // Second run with the stretch flag: a small orange background fills the
  // whole border around the player, and a 320 x 240 outro, left half red and
  // right half green, becomes a red left and a green right half of the screen.
  ASSERT_TRUE(show_.Pack({"--background", show_.Picture("back-tiny.jpg", 64, 48, "orange"), "--outro",
                          show_.TwoColourPicture("outro-halves.jpg", 320, 240, "green", 160, 240, "red"),
                          "--set", "resolution=640x480", "--set", "alignment=0", "--set", "colour=#0000FF",
                          "--set", "stretch=1", "--set", "outro-time=2"}));
  show_.StartAgain("orbalo-stretch");
  ASSERT_TRUE(show_.WaitUntilPlaying()) << "the player was never shown in the stretching run";
  EXPECT_EQ(WaitForColours("stretched-background",
                           {{5, 5, kOrange, "top left corner"},
                            {634, 5, kOrange, "top right corner"},
                            {5, 474, kOrange, "bottom left corner"},
                            {634, 474, kOrange, "bottom right corner"},
                            {320, 20, kOrange, "above the player"},
                            {20, 240, kOrange, "left of the player"}}),
            "");

  show_.QuitPlayer();
  EXPECT_EQ(WaitForColours("stretched-outro",
                           {{5, 5, kRed, "top left corner"},
                            {5, 474, kRed, "bottom left corner"},
                            {290, 240, kRed, "left of the middle"},
                            {350, 240, kGreen, "right of the middle"},
                            {634, 5, kGreen, "top right corner"},
                            {634, 474, kGreen, "bottom right corner"}}),
            "");
  code = show_.WaitForEnd(60s);
  ASSERT_TRUE(code) << "orbalo did not end after the player in the stretching run";
  EXPECT_EQ(*code, 0);
}

}  // namespace
}  // namespace kw::winetest
