// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A small picture drawn without Qt Gui, so that the service and the command-line tool can
// put a trend into a report without the graphics libraries: filled rectangles and one- or
// two-pixel lines on an RGB raster, written out as PNG.

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace vemo {

class RasterImage {
 public:
  RasterImage(int width, int height, uint32_t background);  // colours as 0xRRGGBB
  int Width() const { return width_; }
  int Height() const { return height_; }
  uint32_t Pixel(int x, int y) const { return pixels_[static_cast<size_t>(y * width_ + x)]; }
  // Pixels whose centre lies inside; what falls outside the picture is left out.
  void FillRect(double x, double y, double w, double h, uint32_t rgb);
  // From (x0, y0) to (x1, y1), thick pixels wide; dashed: 4 pixels on, 3 off.
  void Line(double x0, double y0, double x1, double y1, uint32_t rgb, int thick = 1,
            bool dashed = false);
  // 8-bit truecolour PNG, unfiltered rows, deflated by zlib.
  QByteArray Png() const;

 private:
  void Plot(int x, int y, uint32_t rgb);
  int width_, height_;
  std::vector<uint32_t> pixels_;
};

}  // namespace vemo
