// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/RasterImage.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace vemo {
namespace {

uint32_t Crc32(const QByteArray& bytes) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  uint32_t c = 0xFFFFFFFFu;
  for (const char b : bytes) c = table[(c ^ static_cast<uint8_t>(b)) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void AppendBigEndian(QByteArray& out, uint32_t value) {
  char bytes[4];
  qToBigEndian(value, bytes);
  out.append(bytes, 4);
}

void AppendChunk(QByteArray& out, const char* type, const QByteArray& data) {
  AppendBigEndian(out, static_cast<uint32_t>(data.size()));
  const QByteArray typed = QByteArray(type, 4) + data;
  out.append(typed);
  AppendBigEndian(out, Crc32(typed));
}

}  // namespace

RasterImage::RasterImage(int width, int height, uint32_t background)
    : width_(std::max(1, width)),
      height_(std::max(1, height)),
      pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_), background) {}

void RasterImage::Plot(int x, int y, uint32_t rgb) {
  if (x >= 0 && y >= 0 && x < width_ && y < height_)
    pixels_[static_cast<size_t>(y * width_ + x)] = rgb;
}

void RasterImage::FillRect(double x, double y, double w, double h, uint32_t rgb) {
  const int left = std::max(0, static_cast<int>(std::lround(x)));
  const int top = std::max(0, static_cast<int>(std::lround(y)));
  const int right = std::min(width_, static_cast<int>(std::lround(x + w)));
  const int bottom = std::min(height_, static_cast<int>(std::lround(y + h)));
  for (int row = top; row < bottom; ++row)
    for (int col = left; col < right; ++col) Plot(col, row, rgb);
}

void RasterImage::Line(double x0, double y0, double x1, double y1, uint32_t rgb, int thick,
                       bool dashed) {
  // Bresenham's line, each step widened across the line's main direction.
  int ax = static_cast<int>(std::lround(x0)), ay = static_cast<int>(std::lround(y0));
  const int bx = static_cast<int>(std::lround(x1)), by = static_cast<int>(std::lround(y1));
  const int dx = std::abs(bx - ax), dy = -std::abs(by - ay);
  const int sx = ax < bx ? 1 : -1, sy = ay < by ? 1 : -1;
  const bool steep = -dy > dx;
  int error = dx + dy;
  for (int step = 0;; ++step) {
    if (!dashed || step % 7 < 4)
      for (int t = 0; t < thick; ++t) steep ? Plot(ax + t, ay, rgb) : Plot(ax, ay + t, rgb);
    if (ax == bx && ay == by) break;
    const int twice = 2 * error;
    if (twice >= dy) error += dy, ax += sx;
    if (twice <= dx) error += dx, ay += sy;
  }
}

QByteArray RasterImage::Png() const {
  QByteArray rows;
  rows.reserve(height_ * (1 + 3 * width_));
  for (int y = 0; y < height_; ++y) {
    rows.append('\0');  // no filter
    for (int x = 0; x < width_; ++x) {
      const uint32_t p = Pixel(x, y);
      rows.append(static_cast<char>(p >> 16))
          .append(static_cast<char>(p >> 8))
          .append(static_cast<char>(p));
    }
  }
  QByteArray header;
  AppendBigEndian(header, static_cast<uint32_t>(width_));
  AppendBigEndian(header, static_cast<uint32_t>(height_));
  header.append("\x08\x02\x00\x00\x00", 5);  // 8 bits, truecolour, deflate, no filter, no interlace
  QByteArray png("\x89PNG\r\n\x1a\n", 8);
  AppendChunk(png, "IHDR", header);
  // qCompress puts the length in 4 bytes before the zlib stream that PNG wants.
  AppendChunk(png, "IDAT", qCompress(rows, 9).mid(4));
  AppendChunk(png, "IEND", {});
  return png;
}

}  // namespace vemo
