// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/WsjtxStatus.h"

namespace vemo {
namespace {

constexpr std::uint32_t kMagic = 0xadbccbda;
constexpr std::uint32_t kStatus = 1;
// No id, mode or call WSJT-X sends comes near this; more means a corrupt length.
constexpr std::uint32_t kLongestText = 1024;
constexpr std::uint32_t kNullText = 0xffffffff;
// Above the highest band any rig control reaches.
constexpr std::uint64_t kHighestHz = 300'000'000'000ULL;

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> data) : data_(data) {}

  bool U8(std::uint8_t& v) {
    if (data_.size() - pos_ < 1) return false;
    v = data_[pos_++];
    return true;
  }
  bool U32(std::uint32_t& v) {
    if (data_.size() - pos_ < 4) return false;
    v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | data_[pos_++];
    return true;
  }
  bool U64(std::uint64_t& v) {
    std::uint32_t high = 0, low = 0;
    if (!U32(high) || !U32(low)) return false;
    v = (std::uint64_t{high} << 32) | low;
    return true;
  }
  // Qt's QByteArray stream form: a 32-bit length (0xffffffff: null), then UTF-8 bytes.
  bool Text(std::string& v) {
    std::uint32_t length = 0;
    if (!U32(length)) return false;
    if (length == kNullText) {
      v.clear();
      return true;
    }
    if (length > kLongestText || length > data_.size() - pos_) return false;
    v.assign(reinterpret_cast<const char*>(data_.data() + pos_), length);
    pos_ += length;
    return true;
  }
  bool Flag(bool& v) {
    std::uint8_t b = 0;
    if (!U8(b) || b > 1) return false;
    v = b == 1;
    return true;
  }

 private:
  std::span<const std::uint8_t> data_;
  size_t pos_ = 0;
};

}  // namespace

TWsjtxParse ParseWsjtxMessage(std::span<const std::uint8_t> datagram) {
  TWsjtxParse out;
  Reader in(datagram);
  std::uint32_t magic = 0, schema = 0, type = 0;
  if (!in.U32(magic) || magic != kMagic) {
    out.Error = "not a WSJT-X message (wrong magic number)";
    return out;
  }
  if (!in.U32(schema) || schema < 1 || schema > 3) {
    out.Error = "unknown WSJT-X message schema";
    return out;
  }
  if (!in.U32(type)) {
    out.Error = "truncated WSJT-X message";
    return out;
  }
  if (type != kStatus) {
    out.What = TWsjtxParse::OtherMessage;
    return out;
  }
  TWsjtxStatus& s = out.Message;
  std::string dxCall, report, txMode;
  bool txEnabled = false;
  if (!in.Text(s.Id) || !in.U64(s.DialHz) || !in.Text(s.Mode) || !in.Text(dxCall) ||
      !in.Text(report) || !in.Text(txMode) || !in.Flag(txEnabled) || !in.Flag(s.Transmitting)) {
    out.Error = "truncated or malformed WSJT-X status message";
    return out;
  }
  if (s.DialHz == 0 || s.DialHz > kHighestHz) {
    out.Error = "WSJT-X status message with an impossible dial frequency";
    return out;
  }
  out.What = TWsjtxParse::Status;
  return out;
}

}  // namespace vemo
