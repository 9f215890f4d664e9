// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which band a frequency lies in. By default the IARU amateur bands of one region
// (1: Europe, Africa, Middle East; 2: the Americas; 3: Asia-Pacific), from 2200 m to
// 23 cm; section [Bands] of the settings file may pick another region and add or replace
// bands, so a broadcast station names its own channels:
//   [Bands]
//   Region=2
//   20m=14000000-14350000      (name=low-high in hertz, both edges inside the band)
//   FM 98.5=98400000-98600000
//   40m=                        (an empty value drops a default band)
// Where bands overlap, the narrowest wins, so a channel inside an amateur band is found.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vemo {

class ProfileFile;

struct TBand {
  std::string Name;
  std::int64_t LowHz = 0;
  std::int64_t HighHz = 0;  // inclusive
};

class BandPlan {
 public:
  BandPlan() = default;
  explicit BandPlan(std::vector<TBand> bands);

  // The default amateur bands of IARU region 1, 2 or 3.
  static BandPlan Amateur(int region);
  // [Bands] of file over the default; one warning per bad entry (which is skipped).
  static BandPlan Read(const ProfileFile& file, std::vector<std::string>& warnings);

  // The band holding hz, if any.
  const TBand* Find(std::int64_t hz) const;
  const std::vector<TBand>& Bands() const { return bands_; }

  void Put(TBand band);  // adds, or replaces the band of the same name
  void Remove(const std::string& name);

 private:
  std::vector<TBand> bands_;
};

// "14000000-14350000" -> {low, high}; none when it is not two whole numbers, low <= high.
std::optional<std::pair<std::int64_t, std::int64_t>> ParseBandRange(const std::string& text);

}  // namespace vemo
