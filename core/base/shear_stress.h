#pragma once
// Wall shear stress of the vessel.

namespace ORV {

// Process-wide pi, 4 * atan(1).
extern const double kPi;

// Wall shear stress from two wall positions and the flow.
double ShearStress(double a, double b, double flow);

}  // namespace ORV
