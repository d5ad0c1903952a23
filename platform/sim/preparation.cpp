#include "platform/sim/preparation.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

namespace ORV::Sim {

namespace {

// Moves `value` towards `target` over `dt` with time constant `tau` (the
// exact solution of the first-order lag for a constant target).
double Approach(double value, double target, double dt, double tau) {
  if (tau <= 0.0) return target;
  return target + (value - target) * std::exp(-dt / tau);
}

// Moves `value` towards `target` at `rate` per second; at once for rate <= 0.
double Ramp(double value, double target, double rate, double dt) {
  if (rate <= 0.0) return target;
  const double step = rate * dt;
  if (std::abs(target - value) <= step) return target;
  return value + (target > value ? step : -step);
}

}  // namespace

Preparation::Model Preparation::QuietModel() {
  Model m;
  m.driftAmplitude = 0.0;
  m.diameterNoise = 0.0;
  m.pressureNoise = 0.0;
  m.temperatureNoise = 0.0;
  m.flowNoise = 0.0;
  m.forceNoise = 0.0;
  m.pHNoise = 0.0;
  return m;
}

Preparation::Clock Preparation::SteadyClock() {
  return [] { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); };
}

Preparation::Preparation(Clock clock, Model model, PreparationControls controls)
    : clock_(std::move(clock)), model_(model), controls_(controls), random_(model.seed) {
  const double innerReference = model_.referenceOuter - 2.0 * model_.referenceWall;
  wallArea4OverPi_ = model_.referenceOuter * model_.referenceOuter - innerReference * innerReference;
  time_ = clock_();
  p1_ = controls_.pressureOn ? controls_.targetP1 : 0.0;
  p2_ = controls_.pressureOn ? controls_.targetP2 : 0.0;
  temperature_ = controls_.heaterOn ? controls_.heaterTarget : model_.roomTemperature;
  outer_ = SteadyOuter((p1_ + p2_) / 2.0, temperature_);
  pulseStart_ = time_;
}

double Preparation::PassiveOuter(double pressure) const {
  const double p = std::max(pressure, 0.0);
  return model_.passiveMinimum +
         (model_.passiveMaximum - model_.passiveMinimum) * (1.0 - std::exp(-p / model_.passivePressure));
}

double Preparation::ToneFactor(double temperature) const {
  const double span = model_.toneWarmTemperature - model_.toneColdTemperature;
  if (span <= 0.0) return temperature >= model_.toneWarmTemperature ? 1.0 : 0.0;
  return std::clamp((temperature - model_.toneColdTemperature) / span, 0.0, 1.0);
}

double Preparation::SteadyOuter(double pressure, double temperature) const {
  double tone = 0.0;
  if (pressure > model_.toneThreshold) {
    tone = model_.maxTone * (1.0 - std::exp(-(pressure - model_.toneThreshold) / model_.toneRange));
  }
  return PassiveOuter(pressure) * (1.0 - tone * ToneFactor(temperature));
}

double Preparation::LumenFor(double outerDiameter) const {
  const double squared = outerDiameter * outerDiameter - wallArea4OverPi_;
  return squared > 0.0 ? std::sqrt(squared) : 0.0;
}

void Preparation::AdvanceTo(double t) {
  // Short steps keep the pressure ramps and the lag on them close to the
  // continuous model; after a long pause larger steps suffice, since every
  // step is exact for its constant targets.
  while (t > time_) {
    const double remaining = t - time_;
    const double dt = std::min(remaining, remaining > 60.0 ? 1.0 : 0.05);
    Step(dt);
    time_ += dt;
  }
}

void Preparation::Step(double dt) {
  const PreparationControls& c = controls_;
  if (c.pressureOn) {
    p1_ = Ramp(p1_, c.targetP1, c.gradient, dt);
    p2_ = Ramp(p2_, c.targetP2, c.gradient, dt);
  } else {
    p1_ = Approach(p1_, 0.0, dt, model_.pressureReleaseTimeConstant);
    p2_ = Approach(p2_, 0.0, dt, model_.pressureReleaseTimeConstant);
  }
  if (c.heaterOn)
    temperature_ = Approach(temperature_, c.heaterTarget, dt, model_.heatingTimeConstant);
  else
    temperature_ = Approach(temperature_, model_.roomTemperature, dt, model_.coolingTimeConstant);
  outer_ = Approach(outer_, SteadyOuter((p1_ + p2_) / 2.0, temperature_), dt, model_.diameterTimeConstant);
}

double Preparation::PulseAt(double t) const {
  if (!controls_.pulsationOn || controls_.pulseRate <= 0.0) return 0.0;
  const double cycles = (t - pulseStart_) * controls_.pulseRate / 60.0;
  const double phase = cycles - std::floor(cycles);
  return phase < controls_.dutyRate / 100.0 ? model_.pulseAmplitude : 0.0;
}

double Preparation::Noise(double sd) { return sd > 0.0 ? sd * normal_(random_) : 0.0; }

VesselGeometry Preparation::GeometryNow(double t) {
  double outer = outer_ + Noise(model_.diameterNoise) + model_.pulseCompliance * PulseAt(t);
  if (model_.driftPeriod > 0.0)
    outer += model_.driftAmplitude * std::sin(2.0 * std::numbers::pi * t / model_.driftPeriod);
  outer = std::max(outer, 0.0);
  return {outer, LumenFor(outer)};
}

std::unique_lock<std::mutex> Preparation::LockAtNow() {
  const double now = clock_();
  std::unique_lock<std::mutex> lock(mutex_);
  AdvanceTo(now);
  return lock;
}

PreparationReading Preparation::Read() {
  const auto g = LockAtNow();
  PreparationReading r;
  r.time = time_;
  const double pulse = PulseAt(time_);
  r.p1 = p1_ + pulse + Noise(model_.pressureNoise);
  r.p2 = p2_ + pulse + Noise(model_.pressureNoise);
  r.temperature = temperature_ + Noise(model_.temperatureNoise);
  r.vessel = GeometryNow(time_);
  const double scale = r.vessel.lumenDiameter / model_.flowReferenceLumen;
  r.flow = model_.flowPerMmHg * (p1_ - p2_) * scale * scale * scale * scale + Noise(model_.flowNoise);
  r.force = model_.baseForce - forceZero_ + Noise(model_.forceNoise);
  r.pH = model_.basePH + Noise(model_.pHNoise);
  return r;
}

VesselGeometry Preparation::GeometryAt(double t) {
  std::lock_guard<std::mutex> g(mutex_);
  AdvanceTo(t);
  return GeometryNow(std::max(t, time_));
}

PreparationControls Preparation::Controls() const {
  std::lock_guard<std::mutex> g(mutex_);
  return controls_;
}

void Preparation::SetPressureTargets(double p1, double p2, double gradient) {
  // A value that is no number would spoil the model for good.
  if (!std::isfinite(p1) || !std::isfinite(p2) || !std::isfinite(gradient)) return;
  const auto g = LockAtNow();
  controls_.targetP1 = p1;
  controls_.targetP2 = p2;
  controls_.gradient = gradient;
}

void Preparation::SetPressureOn(bool on) {
  const auto g = LockAtNow();
  controls_.pressureOn = on;
}

void Preparation::SetHeaterTarget(double celsius) {
  if (!std::isfinite(celsius)) return;
  const auto g = LockAtNow();
  controls_.heaterTarget = celsius;
}

void Preparation::SetHeaterOn(bool on) {
  const auto g = LockAtNow();
  controls_.heaterOn = on;
}

void Preparation::SetPulsation(bool on, double pulseRate, double dutyRate) {
  if (!std::isfinite(pulseRate) || !std::isfinite(dutyRate)) return;
  const auto g = LockAtNow();
  if (on && !controls_.pulsationOn) pulseStart_ = time_;
  controls_.pulsationOn = on;
  controls_.pulseRate = pulseRate;
  controls_.dutyRate = std::clamp(dutyRate, 0.0, 100.0);
}

void Preparation::ZeroForce() {
  const auto g = LockAtNow();
  forceZero_ = model_.baseForce;
}

void Preparation::SetTemperature(double celsius) {
  if (!std::isfinite(celsius)) return;
  const auto g = LockAtNow();
  temperature_ = celsius;
}

double Preparation::SteadyOuterDiameter() {
  const auto g = LockAtNow();
  return SteadyOuter((p1_ + p2_) / 2.0, temperature_);
}

}  // namespace ORV::Sim
