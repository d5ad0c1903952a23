#pragma once
// The simulated preparation: one small artery mounted in a heated chamber,
// which every simulated instrument and the simulated camera read from.
//
// The vessel's outer diameter follows the transmural pressure (the mean of
// the inlet and outlet pressures P1 and P2) along a passive pressure-diameter
// curve, with a first-order lag. Warm (towards 37 C) the vessel answers a
// pressure above about 60 mmHg with a myogenic constriction; cold it has no
// tone. The wall keeps its cross-section area, so the lumen narrows more than
// the outside when the vessel constricts. A slow drift and a little noise
// keep the measurement alive; pulsation, when on, modulates the pressures and
// the diameters at once.
//
// The chamber's temperature approaches the heater's target (or the room
// temperature with the heater off) with a time constant of about a minute;
// the flow through the vessel follows the pressure difference and the
// lumen's fourth power (Poiseuille), scaled to microlitres per minute; force
// and pH carry a little noise.
//
// Time comes from a clock given at construction, in seconds, so tests step a
// virtual clock and never wait. Every call brings the model up to the
// clock's present first. Thread-safe: the instruments' threads and the
// camera read it while the program's commands change it.
#include <cstdint>
#include <functional>
#include <mutex>
#include <random>

namespace ORV::Sim {

// The geometry of the vessel at one moment, in micrometres.
struct VesselGeometry {
  double outerDiameter = 0.0;
  double lumenDiameter = 0.0;

  double WallThickness() const { return (outerDiameter - lumenDiameter) / 2.0; }
};

// Everything the instruments measure at one moment.
struct PreparationReading {
  double time = 0.0;         // seconds on the preparation's clock
  double p1 = 0.0;           // inlet pressure, mmHg (with the pulsation)
  double p2 = 0.0;           // outlet pressure, mmHg
  double temperature = 0.0;  // chamber, degrees Celsius
  double flow = 0.0;         // microlitres per minute, from P1 towards P2
  double force = 0.0;        // mN
  double pH = 0.0;
  VesselGeometry vessel;
};

// What the program has set on the instruments.
struct PreparationControls {
  double targetP1 = 60.0;
  double targetP2 = 60.0;
  double gradient = 5.0;  // mmHg per second towards a new target; 0 or less: at once
  bool pressureOn = true;
  double heaterTarget = 37.0;
  bool heaterOn = true;
  bool pulsationOn = false;
  double pulseRate = 20.0;  // pulses per minute
  double dutyRate = 10.0;   // percent of each period at the raised pressure
};

// The numbers of the preparation's model.
struct PreparationModel {
  // Passive outer diameter: D0 + (Dmax - D0)(1 - exp(-P / P0)).
  double passiveMinimum = 140.0;  // um at 0 mmHg
  double passiveMaximum = 320.0;  // um
  double passivePressure = 35.0;  // mmHg
  // Wall: its thickness at the reference diameter fixes the wall area.
  double referenceOuter = 250.0;      // um
  double referenceWall = 15.0;        // um
  double diameterTimeConstant = 4.0;  // s
  // Myogenic tone: above the threshold the outer diameter is reduced by
  // maxTone * (1 - exp(-(P - threshold) / toneRange)), scaled by the tone's
  // temperature factor (0 at or below toneColdTemperature, 1 at or above
  // toneWarmTemperature, linear between).
  double toneThreshold = 60.0;  // mmHg
  double toneRange = 40.0;      // mmHg
  double maxTone = 0.35;        // fraction of the passive diameter
  double toneColdTemperature = 30.0;
  double toneWarmTemperature = 37.0;
  // Chamber.
  double roomTemperature = 22.0;
  double heatingTimeConstant = 60.0;          // s
  double coolingTimeConstant = 120.0;         // s
  double pressureReleaseTimeConstant = 10.0;  // s, pressure off: towards 0
  // Flow: flowPerMmHg at the reference lumen, scaled with the lumen^4.
  double flowPerMmHg = 2.0;           // ul/min per mmHg
  double flowReferenceLumen = 200.0;  // um
  // Pulsation: pressure raised by this much during the duty part of each
  // period; the diameters follow it at once through the wall's compliance.
  double pulseAmplitude = 10.0;  // mmHg
  double pulseCompliance = 0.4;  // um per mmHg
  // Liveliness. The drift is a slow sine of the outer diameter; the noise
  // is Gaussian with these standard deviations.
  double driftAmplitude = 2.0;  // um
  double driftPeriod = 600.0;   // s
  double diameterNoise = 0.3;   // um
  double pressureNoise = 0.05;  // mmHg
  double temperatureNoise = 0.02;
  double flowNoise = 0.5;  // ul/min
  double baseForce = 1.5;  // mN
  double forceNoise = 0.01;
  double basePH = 7.40;
  double pHNoise = 0.005;
  std::uint32_t seed = 20240601;
};

class Preparation {
 public:
  // Seconds on a monotonic clock.
  using Clock = std::function<double()>;

  using Model = PreparationModel;

  // A model with neither drift nor noise (for exact expectations).
  static Model QuietModel();

  // The process's steady clock, in seconds.
  static Clock SteadyClock();

  // Starts at equilibrium with `controls`: the pressures at their targets,
  // the chamber at the heater's target (or the room's temperature) and the
  // vessel at its steady diameter.
  explicit Preparation(Clock clock = SteadyClock(), Model model = Model{}, PreparationControls controls = {});
  Preparation(const Preparation&) = delete;
  Preparation& operator=(const Preparation&) = delete;

  // ---- what the instruments measure ----

  // The clock's present, in seconds.
  double Now() const { return clock_(); }
  // Everything, at the clock's present.
  PreparationReading Read();
  // The vessel at time `t` (the clock's present when t lies before the
  // model's time: the past is not kept). For the camera, whose frames carry
  // their own times.
  VesselGeometry GeometryAt(double t);

  // ---- what the program sets ----

  PreparationControls Controls() const;
  void SetPressureTargets(double p1, double p2, double gradient);
  void SetPressureOn(bool on);
  void SetHeaterTarget(double celsius);
  void SetHeaterOn(bool on);
  void SetPulsation(bool on, double pulseRate, double dutyRate);
  // Makes the present force the zero of the force reading.
  void ZeroForce();

  // ---- for tests ----

  // Sets the chamber's temperature at once.
  void SetTemperature(double celsius);
  // The outer diameter the vessel settles at with the present pressures and
  // temperature (no drift, noise or pulsation).
  double SteadyOuterDiameter();
  // The lumen that goes with an outer diameter (constant wall area).
  double LumenFor(double outerDiameter) const;

 private:
  double PassiveOuter(double pressure) const;
  double ToneFactor(double temperature) const;
  double SteadyOuter(double pressure, double temperature) const;
  // Advances the state to `t` (no-op when t is not later).
  void AdvanceTo(double t);
  // Takes the lock and brings the model up to the clock's present.
  std::unique_lock<std::mutex> LockAtNow();
  void Step(double dt);
  double PulseAt(double t) const;
  VesselGeometry GeometryNow(double t);
  double Noise(double sd);

  Clock clock_;
  const Model model_;
  double wallArea4OverPi_;  // Do^2 - Di^2, kept constant

  mutable std::mutex mutex_;
  PreparationControls controls_;
  double time_ = 0.0;
  double p1_ = 0.0, p2_ = 0.0;  // without the pulsation
  double temperature_ = 0.0;
  double outer_ = 0.0;  // lagged outer diameter, without drift, noise or pulsation
  double forceZero_ = 0.0;
  double pulseStart_ = 0.0;
  std::mt19937 random_;
  std::normal_distribution<double> normal_{0.0, 1.0};
};

}  // namespace ORV::Sim
