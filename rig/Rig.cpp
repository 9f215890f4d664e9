// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/Rig.h"

#include <hamlib/rig.h>

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cstring>
#include <mutex>
#include <tuple>

namespace vemo {
namespace {

std::once_flag hamlibSetUp;

void SetUpHamlib() {
  std::call_once(hamlibSetUp, [] {
    // Hamlib writes its debugging to stderr unless told otherwise; the service logs there.
    rig_set_debug(RIG_DEBUG_NONE);
    rig_load_all_backends();
  });
}

// rig_open keeps the name of the numeric locale, switches to "C" and switches back to the
// name it kept, which the switch has freed unless the locale was "C" already. Opening with
// the numeric locale at "C" keeps it from reading freed memory, and one open at a time keeps
// two opens from switching the locale under each other. Our own number formatting never
// depends on the C locale.
std::mutex openMutex;

int OpenInCLocale(RIG* rig) {
  std::lock_guard lock(openMutex);
  const char* numeric = std::setlocale(LC_NUMERIC, nullptr);
  if (!numeric || std::strcmp(numeric, "C") != 0) std::setlocale(LC_NUMERIC, "C");
  return rig_open(rig);
}

bool MeansLost(int status) {
  switch (-status) {
    case RIG_ETIMEOUT:
    case RIG_EIO:
    case RIG_EPROTO:
    case RIG_ECONF:
    case RIG_EINTERNAL:
      return true;
    default:
      return false;
  }
}

// Hamlib's text for a status, without the line break it ends with.
std::string HamlibText(int status) {
  std::string text = rigerror2(status);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  return text;
}

}  // namespace

std::vector<TRigModel> RigModels() {
  SetUpHamlib();
  std::vector<TRigModel> models;
  rig_list_foreach(
      [](const rig_caps* caps, void* out) {
        static_cast<std::vector<TRigModel>*>(out)->push_back(
            {static_cast<int>(caps->rig_model), caps->mfg_name ? caps->mfg_name : "",
             caps->model_name ? caps->model_name : ""});
        return 1;  // go on
      },
      &models);
  std::sort(models.begin(), models.end(), [](const TRigModel& a, const TRigModel& b) {
    return std::tie(a.Maker, a.Name, a.Model) < std::tie(b.Maker, b.Name, b.Model);
  });
  return models;
}

TRigTarget RigctldTarget(const std::string& hostPort) {
  const size_t colon = hostPort.rfind(':');
  int port = 0;
  const char* portText = hostPort.data() + colon + 1;
  const char* end = hostPort.data() + hostPort.size();
  if (colon == std::string::npos || colon == 0 || std::from_chars(portText, end, port).ptr != end ||
      port < 1 || port > 65535)
    throw RigError(
        "\"" + hostPort + "\" is no rigctld address; give HOST:PORT, such as 127.0.0.1:4532",
        false);
  TRigTarget target;
  target.Path = hostPort;
  return target;
}

Rig::Rig(TRigTarget target) : target_(std::move(target)) {
  SetUpHamlib();
}

Rig::~Rig() {
  Close();
}

std::string Rig::Description() const {
  if (target_.Model == kRigctldModel) return "rigctld at " + target_.Path;
  return "rig model " + std::to_string(target_.Model) + " on " + target_.Path;
}

void Rig::Open() {
  std::lock_guard lock(mutex_);
  OpenLocked();
}

void Rig::OpenLocked() {
  if (open_) return;
  if (!rig_) {
    rig_ = rig_init(static_cast<rig_model_t>(target_.Model));
    if (!rig_)
      throw RigError("Hamlib knows no rig model " + std::to_string(target_.Model) +
                         "; \"rigctl --list\" shows the models it knows",
                     false);
    const std::string timeout = std::to_string(target_.TimeoutMs);
    rig_set_conf(rig_, rig_token_lookup(rig_, "rig_pathname"), target_.Path.c_str());
    rig_set_conf(rig_, rig_token_lookup(rig_, "timeout"), timeout.c_str());
    // One try per call: a rig that went away is retried by its owner's back-off, not here.
    rig_set_conf(rig_, rig_token_lookup(rig_, "retry"), "0");
    if (target_.Speed > 0)
      rig_set_conf(rig_, rig_token_lookup(rig_, "serial_speed"),
                   std::to_string(target_.Speed).c_str());
  }
  const int status = OpenInCLocale(rig_);
  if (status != RIG_OK)
    throw RigError("Cannot connect to the " + Description() + ": " + HamlibText(status) +
                       ". Check that it is switched on and that the address is right.",
                   true);
  // A key-up must be seen at the next poll, not after a cache time.
  rig_set_cache_timeout_ms(rig_, HAMLIB_CACHE_ALL, 0);
  open_ = true;
}

void Rig::Close() {
  std::lock_guard lock(mutex_);
  if (open_) rig_close(rig_);
  open_ = false;
  if (rig_) rig_cleanup(rig_);
  rig_ = nullptr;
}

void Rig::Check(int status, const char* what) {
  if (status == RIG_OK) return;
  const bool lost = MeansLost(status);
  if (lost) {
    rig_close(rig_);
    open_ = false;
  }
  throw RigError("The " + Description() + " " +
                     (lost ? std::string("stopped answering") : std::string("refused")) + " (" +
                     what + ": " + HamlibText(status) + ")",
                 lost);
}

double Rig::Frequency() {
  std::lock_guard lock(mutex_);
  OpenLocked();
  freq_t hz = 0;
  Check(rig_get_freq(rig_, RIG_VFO_CURR, &hz), "reading the frequency");
  return hz;
}

void Rig::SetFrequency(double hz) {
  std::lock_guard lock(mutex_);
  OpenLocked();
  Check(rig_set_freq(rig_, RIG_VFO_CURR, hz), "setting the frequency");
}

std::pair<std::string, long> Rig::Mode() {
  std::lock_guard lock(mutex_);
  OpenLocked();
  rmode_t mode = RIG_MODE_NONE;
  pbwidth_t width = 0;
  Check(rig_get_mode(rig_, RIG_VFO_CURR, &mode, &width), "reading the mode");
  return {rig_strrmode(mode), static_cast<long>(width)};
}

void Rig::SetMode(const std::string& mode, long passbandHz) {
  std::lock_guard lock(mutex_);
  OpenLocked();
  const rmode_t m = rig_parse_mode(mode.c_str());
  if (m == RIG_MODE_NONE) throw RigError("Hamlib knows no mode \"" + mode + "\"", false);
  Check(rig_set_mode(rig_, RIG_VFO_CURR, m, passbandHz > 0 ? passbandHz : RIG_PASSBAND_NOCHANGE),
        "setting the mode");
}

bool Rig::Ptt() {
  std::lock_guard lock(mutex_);
  OpenLocked();
  ptt_t ptt = RIG_PTT_OFF;
  Check(rig_get_ptt(rig_, RIG_VFO_CURR, &ptt), "reading PTT");
  return ptt != RIG_PTT_OFF;
}

void Rig::SetPtt(bool keyed) {
  std::lock_guard lock(mutex_);
  OpenLocked();
  Check(rig_set_ptt(rig_, RIG_VFO_CURR, keyed ? RIG_PTT_ON : RIG_PTT_OFF),
        keyed ? "keying" : "unkeying");
}

std::optional<double> Rig::Power() {
  std::lock_guard lock(mutex_);
  OpenLocked();
  value_t value{};
  const int status = rig_get_level(rig_, RIG_VFO_CURR, RIG_LEVEL_RFPOWER, &value);
  if (status == -RIG_ENAVAIL || status == -RIG_ENIMPL) return std::nullopt;
  Check(status, "reading RF power");
  return value.f;
}

void Rig::SetPower(double fraction) {
  std::lock_guard lock(mutex_);
  OpenLocked();
  value_t value{};
  value.f = static_cast<float>(std::clamp(fraction, 0.0, 1.0));
  Check(rig_set_level(rig_, RIG_VFO_CURR, RIG_LEVEL_RFPOWER, value), "setting RF power");
}

std::optional<double> Rig::FractionForWatts(double watts) {
  std::lock_guard lock(mutex_);
  OpenLocked();
  freq_t hz = 0;
  rmode_t mode = RIG_MODE_NONE;
  pbwidth_t width = 0;
  Check(rig_get_freq(rig_, RIG_VFO_CURR, &hz), "reading the frequency");
  Check(rig_get_mode(rig_, RIG_VFO_CURR, &mode, &width), "reading the mode");
  float fraction = 0;
  if (rig_mW2power(rig_, &fraction, static_cast<unsigned int>(watts * 1000.0), hz, mode) != RIG_OK)
    return std::nullopt;
  return fraction;
}

}  // namespace vemo
