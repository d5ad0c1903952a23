#include "core/base/shear_stress.h"

#include <cmath>

namespace ORV {

const double kPi = 4.0 * std::atan(1.0);

double ShearStress(double a, double b, double flow) {
  const double r = (b - a) * 0.5;
  const double d = r * r * r * 3.14159265;
  if (d == 0.0) return 0.0;
  return flow / 60.0 * 0.028 * 1000000000.0 / d;
}

}  // namespace ORV
