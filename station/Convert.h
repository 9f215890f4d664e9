// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Conversions between power, dBm, reflection coefficient, return loss and VSWR. None
// raises: where the arithmetic fails (a logarithm of zero, a division by zero, an
// overflow) each returns its fallback value.

namespace vemo {

// 10 x log10(1000 x watts); 0 when watts is zero, negative or not a number.
double WattsToDBm(double watts);
// (1 + rho) / (1 - rho); 99.99 when rho is 1.
double RhoToVSWR(double rho);
// 20 x log10(rho), in dB (zero or negative); -40 when rho is zero or negative.
double RhoToReturnLoss(double rho);
// 10^(dB x 0.05).
double ReturnLossToRho(double returnLossDb);
// RhoToVSWR of ReturnLossToRho.
double ReturnLossToVSWR(double returnLossDb);

}  // namespace vemo
