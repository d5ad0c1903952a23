#include "platform/sim/vessel_camera.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace ORV::Sim {

namespace {

constexpr std::size_t kNoiseLength = std::size_t{1} << 21;
// Frames are at most this wide, so a row's noise window always fits.
constexpr int kMaxSide = 1 << 16;

int ClampSide(int side) { return std::clamp(side, 1, kMaxSide); }

// The share of pixel [c, c + 1) that lies right of an edge at x, after a
// Gaussian blur of `sigma`: the mean of Phi((u - x) / sigma) over the pixel,
// through the antiderivative u Phi(u) + phi(u). Without blur, the covered
// share of the pixel.
double ShareRightOf(int c, double x, double sigma) {
  const double from = c - x;
  const double to = from + 1.0;
  if (sigma <= 0.0) return std::clamp(to, 0.0, 1.0);
  if (to < -8.0 * sigma) return 0.0;
  if (from > 8.0 * sigma) return 1.0;
  const auto integral = [sigma](double d) {
    const double u = d / sigma;
    const double cdf = 0.5 * std::erfc(-u / std::numbers::sqrt2);
    const double pdf = std::exp(-0.5 * u * u) / std::sqrt(2.0 * std::numbers::pi);
    return sigma * (u * cdf + pdf);
  };
  return integral(to) - integral(from);
}

int RoundToPixel(double x) { return static_cast<int>(std::floor(x + 0.5)); }

// A 64-bit mix (splitmix64): the start of each frame's row offsets.
std::uint64_t Mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

}  // namespace

VesselCamera::VesselCamera(GeometrySource source, Options options) : source_(std::move(source)) {
  options.width = ClampSide(options.width);
  options.height = ClampSide(options.height);
  if (!(options.frameRate > 0.0)) options.frameRate = 15.0;
  settings_.options = options;

  std::mt19937 random(options.seed);
  std::normal_distribution<double> normal(0.0, std::max(options.noiseSigma, 0.0));
  noise_.resize(kNoiseLength);
  for (std::int8_t& n : noise_) n = static_cast<std::int8_t>(std::clamp(std::round(normal(random)), -127.0, 127.0));
}

VesselCamera::VesselCamera(std::shared_ptr<Preparation> preparation, Options options)
    : VesselCamera([preparation](double t) { return preparation->GeometryAt(t); }, options) {
  settings_.startTime = preparation->Now();
}

int VesselCamera::Width() const {
  std::lock_guard<std::mutex> g(mutex_);
  return settings_.options.width;
}

int VesselCamera::Height() const {
  std::lock_guard<std::mutex> g(mutex_);
  return settings_.options.height;
}

double VesselCamera::FrameRate() const {
  std::lock_guard<std::mutex> g(mutex_);
  return settings_.options.frameRate;
}

void VesselCamera::SetFrameRate(double framesPerSecond) {
  if (!(framesPerSecond > 0.0)) return;
  std::lock_guard<std::mutex> g(mutex_);
  settings_.options.frameRate = framesPerSecond;
}

double VesselCamera::FrameTime(std::uint64_t index) const {
  std::lock_guard<std::mutex> g(mutex_);
  return settings_.startTime + static_cast<double>(index) / settings_.options.frameRate;
}

void VesselCamera::SetStartTime(double seconds) {
  std::lock_guard<std::mutex> g(mutex_);
  settings_.startTime = seconds;
}

void VesselCamera::SetGain(double gain) {
  std::lock_guard<std::mutex> g(mutex_);
  settings_.gain = std::max(gain, 0.0);
}

void VesselCamera::SetGamma(double gamma) {
  if (!(gamma > 0.0)) return;
  std::lock_guard<std::mutex> g(mutex_);
  settings_.gamma = gamma;
}

void VesselCamera::SetSize(int width, int height) {
  std::lock_guard<std::mutex> g(mutex_);
  settings_.options.width = ClampSide(width);
  settings_.options.height = ClampSide(height);
}

void VesselCamera::Unplug() {
  std::lock_guard<std::mutex> g(mutex_);
  settings_.present = false;
}

void VesselCamera::Replug() {
  std::lock_guard<std::mutex> g(mutex_);
  settings_.present = true;
}

void VesselCamera::SetTorn(bool torn) {
  std::lock_guard<std::mutex> g(mutex_);
  settings_.torn = torn;
}

bool VesselCamera::IsPresent() const {
  std::lock_guard<std::mutex> g(mutex_);
  return settings_.present;
}

void VesselCamera::DropEvery(std::uint64_t n) {
  std::lock_guard<std::mutex> g(mutex_);
  settings_.dropEvery = n;
}

void VesselCamera::DropNext(std::uint64_t count) {
  std::lock_guard<std::mutex> g(mutex_);
  settings_.dropNext = count;
}

VesselEdges VesselCamera::EdgesFor(const VesselGeometry& geometry) const {
  std::lock_guard<std::mutex> g(mutex_);
  return EdgesFor(settings_, geometry);
}

VesselEdges VesselCamera::EdgesFor(const Settings& s, const VesselGeometry& geometry) {
  const Options& o = s.options;
  const double axis = o.axis >= 0.0 && o.axis <= kMaxSide ? o.axis : o.width / 2.0;
  const double scale = o.micronsPerPixel > 0.0 ? 1.0 / o.micronsPerPixel : 1.0;
  // A geometry that is no number draws no vessel.
  const auto size = [](double d) { return std::isfinite(d) && d > 0.0 ? d : 0.0; };
  const double outer = std::min(size(geometry.outerDiameter) * scale / 2.0, 2.0 * kMaxSide);
  const double lumen = std::min(size(geometry.lumenDiameter) * scale / 2.0, outer);
  const auto onSensor = [&o](double x) { return std::clamp(x, 0.0, static_cast<double>(o.width)); };
  VesselEdges e;
  e.exactOuterLeft = onSensor(axis - outer);
  e.exactLumenLeft = onSensor(axis - lumen);
  e.exactLumenRight = onSensor(axis + lumen);
  e.exactOuterRight = onSensor(axis + outer);
  e.outerLeft = RoundToPixel(e.exactOuterLeft);
  e.lumenLeft = RoundToPixel(e.exactLumenLeft);
  e.lumenRight = RoundToPixel(e.exactLumenRight);
  e.outerRight = RoundToPixel(e.exactOuterRight);
  return e;
}

std::vector<std::int16_t> VesselCamera::DrawProfile(const Settings& s, const VesselEdges& e) {
  const Options& o = s.options;
  // The level steps at the four edges, left to right.
  const double steps[4] = {o.wall - o.background, o.lumen - o.wall, o.wall - o.lumen, o.background - o.wall};
  const double at[4] = {o.exact ? e.outerLeft : e.exactOuterLeft, o.exact ? e.lumenLeft : e.exactLumenLeft,
                        o.exact ? e.lumenRight : e.exactLumenRight, o.exact ? e.outerRight : e.exactOuterRight};
  const double sigma = o.exact ? 0.0 : o.blurSigma;
  const bool linear = s.gain == 1.0 && s.gamma == 1.0;

  std::vector<std::int16_t> profile(static_cast<std::size_t>(o.width));
  for (int c = 0; c < o.width; ++c) {
    double level = o.background;
    for (int k = 0; k < 4; ++k) level += steps[k] * ShareRightOf(c, at[k], sigma);
    if (!linear) level = 255.0 * std::pow(std::clamp(level * s.gain / 255.0, 0.0, 1.0), 1.0 / s.gamma);
    profile[static_cast<std::size_t>(c)] = static_cast<std::int16_t>(std::clamp(std::round(level), 0.0, 255.0));
  }
  return profile;
}

GrabResult VesselCamera::Grab(std::uint64_t index, VesselFrame& frame) {
  Settings s;
  {
    std::lock_guard<std::mutex> g(mutex_);
    if (!settings_.present) return GrabResult::Lost;
    if (settings_.dropNext > 0) {
      --settings_.dropNext;
      return GrabResult::Dropped;
    }
    if (settings_.dropEvery > 0 && (index + 1) % settings_.dropEvery == 0) return GrabResult::Dropped;
    s = settings_;
  }
  const Options& o = s.options;
  frame.index = index;
  frame.time = s.startTime + static_cast<double>(index) / o.frameRate;
  frame.geometry = source_(frame.time);
  frame.truth = EdgesFor(s, frame.geometry);
  frame.width = o.width;
  frame.height = o.height;
  const auto width = static_cast<std::size_t>(o.width);
  frame.pixels.resize(width * static_cast<std::size_t>(o.height));

  const std::vector<std::int16_t> profile = DrawProfile(s, frame.truth);
  const bool noisy = !o.exact && o.noiseSigma > 0.0;
  std::uint64_t state = Mix(o.seed ^ Mix(index));
  const std::size_t windows = kNoiseLength - width + 1;
  for (int y = 0; y < o.height; ++y) {
    std::uint8_t* row = frame.pixels.data() + static_cast<std::size_t>(y) * width;
    if (!noisy) {
      for (std::size_t x = 0; x < width; ++x) row[x] = static_cast<std::uint8_t>(profile[x]);
      continue;
    }
    state = Mix(state);
    const std::int8_t* noise = noise_.data() + state % windows;
    for (std::size_t x = 0; x < width; ++x) {
      const int v = profile[x] + noise[x];
      row[x] = static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
    }
  }
  if (s.torn) frame.pixels.resize(width * static_cast<std::size_t>(o.height / 2));
  return GrabResult::Frame;
}

}  // namespace ORV::Sim
