// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/Convert.h"

#include <cmath>

namespace vemo {

double WattsToDBm(double watts) {
  const double milliwatts = 1000 * watts;
  if (!(milliwatts > 0) || !std::isfinite(milliwatts)) return 0;
  return 10 * std::log10(milliwatts);
}

double RhoToVSWR(double rho) {
  const double vswr = (1 + rho) / (1 - rho);
  return rho == 1 || !std::isfinite(vswr) ? 99.99 : vswr;
}

double RhoToReturnLoss(double rho) {
  if (!(rho > 0) || !std::isfinite(rho)) return -40;
  return 20 * std::log10(rho);
}

double ReturnLossToRho(double returnLossDb) {
  return std::pow(10.0, returnLossDb * 0.05);
}

double ReturnLossToVSWR(double returnLossDb) {
  return RhoToVSWR(ReturnLossToRho(returnLossDb));
}

}  // namespace vemo
