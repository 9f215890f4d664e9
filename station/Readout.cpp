// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/Readout.h"

#include "station/Convert.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <QByteArray>
#include <QString>

namespace vemo {

namespace {

// A negative power is no measurement to derive anything from: its derived quantities take
// the values of a computation that faults (total reflection, nothing transmitted).
bool NegativePower(double forward, double reflected) {
  return !(forward >= 0) || !(reflected >= 0);
}

double ReflectionCoefficient(double forward, double reflected) {
  // No forward power, a negative power or an overflow all read as total reflection;
  // no reflected power with forward power is a perfect match.
  if (forward == 0 || NegativePower(forward, reflected)) return 1;
  const double ratio = reflected / forward;
  if (!std::isfinite(ratio) || !(ratio >= 0)) return 1;
  if (ratio == 0) return 0;  // also for a reflected power of -0: no "-0.00"
  return std::min(std::sqrt(ratio), 1.0);
}

// The share of the forward power that goes on to the load: F - R of F, 100 (1 - rho^2).
// Nothing when all of it comes back or nothing goes out.
double TransmittedPercent(double forward, double reflected) {
  if (NegativePower(forward, reflected) || !(forward > reflected)) return 0;
  const double percent = 100 * (forward - reflected) / forward;
  return std::isfinite(percent) ? percent : 0;
}

int32_t RoundToWatts(double watts) {
  if (std::isnan(watts)) return 0;
  return static_cast<int32_t>(std::clamp(std::nearbyint(watts), -2147483648.0, 2147483647.0));
}

}  // namespace

std::string FormatNumber(const char* format, double value) {
  // QString::asprintf ignores the C locale's decimal point, so "." holds everywhere.
  return QString::asprintf(format, value).toStdString();
}

TDisplayUnit DisplayUnitFor(double fullScale) {
  if (fullScale < 10) return {"W", 1, "%9.3f", "%12.4f"};
  if (fullScale < 100) return {"W", 1, "%8.2f", "%11.3f"};
  if (fullScale < 1000) return {"W", 1, "%7.1f", "%10.2f"};
  if (fullScale < 10000) return {"KW", 0.001, "%9.3f", "%12.4f"};
  if (fullScale < 100000) return {"KW", 0.001, "%8.2f", "%11.3f"};
  if (fullScale < 1000000) return {"KW", 0.001, "%7.1f", "%10.2f"};
  return {"MW", 0.000001, "%9.3f", "%12.4f"};
}

double DeriveVSWR(double forward, double reflected) {
  // From the return loss, not from rho: the VSWR's floor is that of -40 dB.
  return ReturnLossToVSWR(RhoToReturnLoss(ReflectionCoefficient(forward, reflected)));
}

TReadout DeriveReadout(double forward, double reflected, double fullScale) {
  TReadout r;
  r.Rho = ReflectionCoefficient(forward, reflected);
  r.ReturnLoss = RhoToReturnLoss(r.Rho);
  r.VSWR = DeriveVSWR(forward, reflected);
  r.Transmitted = TransmittedPercent(forward, reflected);
  r.DBm = WattsToDBm(forward);
  r.MeterPosition = RoundToWatts(forward);

  r.Unit = DisplayUnitFor(fullScale);
  r.ForwardInUnit = forward * r.Unit.Scale;
  r.ReflectedInUnit = reflected * r.Unit.Scale;
  r.ForwardLabel = std::string("Forward Power (") + r.Unit.Unit + "):";
  r.ReflectedLabel = std::string("Reflected Power (") + r.Unit.Unit + "):";
  r.ForwardText = FormatNumber(r.Unit.ForwardFormat, r.ForwardInUnit);
  r.ReflectedText = FormatNumber(r.Unit.ReflectedFormat, r.ReflectedInUnit);
  r.ReturnLossText = FormatNumber("%10.2f", r.ReturnLoss);
  r.VSWRText = FormatNumber("%10.2f", r.VSWR);
  r.RhoText = FormatNumber("%10.2f", r.Rho);
  r.TransmittedText = FormatNumber("%10.2f", r.Transmitted);
  r.DBmText = FormatNumber("%7.1f", r.DBm);
  return r;
}

}  // namespace vemo
