// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/BandPlan.h"

#include "platform/ProfileFile.h"

#include <algorithm>
#include <charconv>

namespace vemo {
namespace {

constexpr char kSection[] = "Bands";

// Allocations common to all three regions, then each region's own edges where they differ.
struct RegionalBand {
  const char* name;
  std::int64_t low[3];
  std::int64_t high[3];
};

constexpr RegionalBand kAmateurBands[] = {
    {"2200m", {135700, 135700, 135700}, {137800, 137800, 137800}},
    {"630m", {472000, 472000, 472000}, {479000, 479000, 479000}},
    {"160m", {1810000, 1800000, 1800000}, {2000000, 2000000, 2000000}},
    {"80m", {3500000, 3500000, 3500000}, {3800000, 4000000, 3900000}},
    {"60m", {5351500, 5351500, 5351500}, {5366500, 5366500, 5366500}},
    {"40m", {7000000, 7000000, 7000000}, {7200000, 7300000, 7300000}},
    {"30m", {10100000, 10100000, 10100000}, {10150000, 10150000, 10150000}},
    {"20m", {14000000, 14000000, 14000000}, {14350000, 14350000, 14350000}},
    {"17m", {18068000, 18068000, 18068000}, {18168000, 18168000, 18168000}},
    {"15m", {21000000, 21000000, 21000000}, {21450000, 21450000, 21450000}},
    {"12m", {24890000, 24890000, 24890000}, {24990000, 24990000, 24990000}},
    {"10m", {28000000, 28000000, 28000000}, {29700000, 29700000, 29700000}},
    {"6m", {50000000, 50000000, 50000000}, {52000000, 54000000, 54000000}},
    {"4m", {70000000, 0, 0}, {70500000, 0, 0}},
    {"2m", {144000000, 144000000, 144000000}, {146000000, 148000000, 148000000}},
    {"1.25m", {0, 222000000, 0}, {0, 225000000, 0}},
    {"70cm", {430000000, 420000000, 430000000}, {440000000, 450000000, 440000000}},
    {"33cm", {0, 902000000, 0}, {0, 928000000, 0}},
    {"23cm", {1240000000, 1240000000, 1240000000}, {1300000000, 1300000000, 1300000000}},
};

bool ParseWhole(std::string_view text, std::int64_t& value) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc{} && end == text.data() + text.size() && value >= 0;
}

}  // namespace

std::optional<std::pair<std::int64_t, std::int64_t>> ParseBandRange(const std::string& text) {
  const size_t dash = text.find('-');
  if (dash == std::string::npos) return std::nullopt;
  std::int64_t low = 0, high = 0;
  if (!ParseWhole(std::string_view(text).substr(0, dash), low) ||
      !ParseWhole(std::string_view(text).substr(dash + 1), high) || low > high)
    return std::nullopt;
  return std::make_pair(low, high);
}

BandPlan::BandPlan(std::vector<TBand> bands) : bands_(std::move(bands)) {}

BandPlan BandPlan::Amateur(int region) {
  const int r = std::clamp(region, 1, 3) - 1;
  std::vector<TBand> bands;
  for (const RegionalBand& b : kAmateurBands)
    if (b.high[r] > 0) bands.push_back({b.name, b.low[r], b.high[r]});
  return BandPlan(std::move(bands));
}

BandPlan BandPlan::Read(const ProfileFile& file, std::vector<std::string>& warnings) {
  int region = 1;
  const std::string regionText = file.ReadString(kSection, "Region", "1");
  if (regionText == "1" || regionText == "2" || regionText == "3")
    region = regionText[0] - '0';
  else
    warnings.push_back("[Bands] Region must be 1, 2 or 3; region 1 is used");
  BandPlan plan = Amateur(region);
  for (const auto& [key, value] : file.ReadSectionValues(kSection)) {
    if (key == "Region") continue;
    if (value.empty()) {
      plan.Remove(key);
      continue;
    }
    if (const auto range = ParseBandRange(value))
      plan.Put({key, range->first, range->second});
    else
      warnings.push_back("[Bands] " + key + ": \"" + value +
                         "\" is no range of hertz such as 14000000-14350000; band skipped");
  }
  return plan;
}

const TBand* BandPlan::Find(std::int64_t hz) const {
  const TBand* best = nullptr;
  for (const TBand& band : bands_)
    if (hz >= band.LowHz && hz <= band.HighHz &&
        (!best || band.HighHz - band.LowHz < best->HighHz - best->LowHz))
      best = &band;
  return best;
}

void BandPlan::Put(TBand band) {
  for (TBand& existing : bands_)
    if (existing.Name == band.Name) {
      existing = std::move(band);
      return;
    }
  bands_.push_back(std::move(band));
}

void BandPlan::Remove(const std::string& name) {
  std::erase_if(bands_, [&](const TBand& b) { return b.Name == name; });
}

}  // namespace vemo
