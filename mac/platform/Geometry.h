// Desktop geometry in the window system's own terms: points, sizes and
// rectangles in screen coordinates with the origin at the bottom left of the
// main screen and y upward.
#pragma once

namespace kw {

struct DesktopPoint {
  double x = 0;
  double y = 0;
  friend bool operator==(const DesktopPoint&, const DesktopPoint&) = default;
};

struct DesktopSize {
  double width = 0;
  double height = 0;
  friend bool operator==(const DesktopSize&, const DesktopSize&) = default;
};

struct DesktopRect {
  DesktopPoint origin;
  DesktopSize size;
  friend bool operator==(const DesktopRect&, const DesktopRect&) = default;

  double minX() const { return origin.x; }
  double minY() const { return origin.y; }
  double maxX() const { return origin.x + size.width; }
  double maxY() const { return origin.y + size.height; }
  bool isEmpty() const { return !(size.width > 0 && size.height > 0); }
  // Points on the left and bottom edges are inside, those on the right and top are not.
  bool contains(DesktopPoint p) const { return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY(); }
};

inline DesktopRect intersection(const DesktopRect& a, const DesktopRect& b) {
  const double x0 = a.minX() > b.minX() ? a.minX() : b.minX();
  const double y0 = a.minY() > b.minY() ? a.minY() : b.minY();
  const double x1 = a.maxX() < b.maxX() ? a.maxX() : b.maxX();
  const double y1 = a.maxY() < b.maxY() ? a.maxY() : b.maxY();
  if (x1 <= x0 || y1 <= y0) return {};
  return {{x0, y0}, {x1 - x0, y1 - y0}};
}

}  // namespace kw
