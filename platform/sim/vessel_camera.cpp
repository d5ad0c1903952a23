#include "platform/sim/vessel_camera.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <numbers>
#include <random>

namespace ORV::Sim {

namespace {

constexpr std::size_t kNoiseLength = std::size_t{1} << 21;
// Frames are at most this wide, so a row's noise window always fits.
constexpr int kMaxSide = 1 << 16;
// The brightfield textures: square tiles of this side, repeated over the
// picture, holding smooth noise times kTextureScale.
constexpr int kTextureSide = 512;
constexpr double kTextureScale = 32.0;
// Samples per pixel of the brightfield row before its blur.
constexpr int kSubsamples = 4;
// The brightfield look's darkenings are grey levels at this background.
constexpr double kBrightfieldLevel = 195.0;

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

// Blurs `values` with a Gaussian of `sigma` samples; the ends repeat their
// last value.
void Blur(std::vector<float>& values, double sigma) {
  if (!(sigma > 0.0) || values.empty()) return;
  const int radius = static_cast<int>(std::ceil(4.0 * sigma));
  std::vector<float> kernel(static_cast<std::size_t>(2 * radius + 1));
  double sum = 0.0;
  for (int k = -radius; k <= radius; ++k) {
    const double w = std::exp(-0.5 * k * k / (sigma * sigma));
    kernel[static_cast<std::size_t>(k + radius)] = static_cast<float>(w);
    sum += w;
  }
  for (float& w : kernel) w = static_cast<float>(w / sum);
  const std::vector<float> in = values;
  const int n = static_cast<int>(in.size());
  for (int i = 0; i < n; ++i) {
    float v = 0.0f;
    for (int k = -radius; k <= radius; ++k) {
      v += kernel[static_cast<std::size_t>(k + radius)] * in[static_cast<std::size_t>(std::clamp(i + k, 0, n - 1))];
    }
    values[static_cast<std::size_t>(i)] = v;
  }
}

// A tile of smooth Gaussian noise of standard deviation kTextureScale, its
// grain about `sigmaX` by `sigmaY` pixels, wrapping at its sides: white
// noise through three box blurs each way (close to a Gaussian blur).
std::vector<std::int8_t> MakeTexture(std::uint32_t seed, double sigmaX, double sigmaY) {
  constexpr int n = kTextureSide;
  // Uniform noise suffices: the blurs make it Gaussian.
  std::mt19937 random(seed);
  std::vector<float> field(static_cast<std::size_t>(n) * n);
  for (float& v : field) v = static_cast<float>(random()) - 2147483648.0f;
  std::vector<float> line(n);
  const auto blur = [&](double sigma, std::size_t step, std::size_t stride) {
    // Three boxes of width 2r + 1 have the variance of a Gaussian of sigma.
    const int r = std::max(0, static_cast<int>(std::lround((std::sqrt(4.0 * sigma * sigma + 1.0) - 1.0) / 2.0)));
    if (r == 0) return;
    for (int l = 0; l < n; ++l) {
      float* at = field.data() + static_cast<std::size_t>(l) * stride;
      for (int pass = 0; pass < 3; ++pass) {
        for (int i = 0; i < n; ++i) line[static_cast<std::size_t>(i)] = at[static_cast<std::size_t>(i) * step];
        float sum = 0.0f;
        for (int k = -r; k <= r; ++k) sum += line[static_cast<std::size_t>((k + n) % n)];
        for (int i = 0; i < n; ++i) {
          at[static_cast<std::size_t>(i) * step] = sum / static_cast<float>(2 * r + 1);
          sum += line[static_cast<std::size_t>((i + r + 1) % n)] - line[static_cast<std::size_t>((i - r + n) % n)];
        }
      }
    }
  };
  blur(sigmaX, 1, n);
  blur(sigmaY, n, 1);
  double squares = 0.0;
  for (const float v : field) squares += static_cast<double>(v) * v;
  const double scale = kTextureScale / std::sqrt(squares / static_cast<double>(field.size()));
  std::vector<std::int8_t> tile(field.size());
  for (std::size_t i = 0; i < field.size(); ++i)
    tile[i] = static_cast<std::int8_t>(std::clamp(std::round(field[i] * scale), -127.0, 127.0));
  return tile;
}

// The darkening of a wall's lined part at `u`, its place across that part
// from the wall's outer edge (0) to where it starts fading into the lumen
// (1): dark lines on the wall's body covering kLineShare of it, the darkest
// at the outer edge, one ending at the fade, the others spread between.
double LineDarkening(const VesselCamera::Brightfield& b, double u) {
  static constexpr double kLineDepths[] = {1.0, 0.95, 0.8, 0.85, 0.75, 0.9};
  constexpr double kLineShare = 0.6;
  const int lines = std::max(b.lines, 0);
  if (lines == 0) return b.wallDarkening;
  const double width = kLineShare / lines;
  const double pitch = lines > 1 ? (1.0 - width) / (lines - 1) : 0.0;
  for (int k = 0; k < lines; ++k) {
    const double start = k * pitch;
    // The first line, then the innermost, then those between.
    const std::size_t depth = k == 0 ? 0 : (k == lines - 1 ? 1 : static_cast<std::size_t>(k + 1));
    if (u >= start && u < start + width) return b.lineDarkening * kLineDepths[depth % std::size(kLineDepths)];
  }
  return b.wallDarkening;
}

// The darkness of the innermost line (where the wall starts fading).
double InnerLineDarkening(const VesselCamera::Brightfield& b) { return LineDarkening(b, 1.0 - 1e-9); }

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
  if (options.look == Look::kBrightfield) {
    wallTexture_ = MakeTexture(options.seed + 1, 1.0, 8.0);
    speckle_ = MakeTexture(options.seed + 2, 1.5, 1.5);
  }
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
  return EdgesFor(settings_, geometry, 0.0);
}

double VesselCamera::DriftAt(const Settings& s, double time) {
  const Brightfield& b = s.options.brightfield;
  if (s.options.look != Look::kBrightfield || !(b.driftPeriod > 0.0) || !std::isfinite(b.driftAmplitude)) return 0.0;
  return b.driftAmplitude * std::sin(2.0 * std::numbers::pi * time / b.driftPeriod);
}

VesselEdges VesselCamera::EdgesFor(const Settings& s, const VesselGeometry& geometry, double drift) {
  const Options& o = s.options;
  const double axis = (o.axis >= 0.0 && o.axis <= kMaxSide ? o.axis : o.width / 2.0) + drift;
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
  const double drift = DriftAt(s, frame.time);
  frame.truth = EdgesFor(s, frame.geometry, drift);
  frame.width = o.width;
  frame.height = o.height;
  const auto width = static_cast<std::size_t>(o.width);
  frame.pixels.resize(width * static_cast<std::size_t>(o.height));
  if (o.look == Look::kBrightfield)
    DrawBrightfield(s, frame.truth, frame.geometry, drift, frame);
  else
    DrawPlain(s, frame);
  // A torn frame keeps only its upper half.
  if (s.torn) frame.pixels.resize(width * static_cast<std::size_t>(o.height / 2));
  return GrabResult::Frame;
}

void VesselCamera::DrawPlain(const Settings& s, VesselFrame& frame) const {
  const Options& o = s.options;
  const auto width = static_cast<std::size_t>(o.width);
  const std::vector<std::int16_t> profile = DrawProfile(s, frame.truth);
  const bool noisy = !o.exact && o.noiseSigma > 0.0;
  std::uint64_t state = Mix(o.seed ^ Mix(frame.index));
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
}

void VesselCamera::DrawBrightfield(const Settings& s, const VesselEdges& e, const VesselGeometry& geometry,
                                   double drift, VesselFrame& frame) const {
  const Options& o = s.options;
  const Brightfield& b = o.brightfield;
  const int width = o.width;

  // The lumen darkens as the vessel constricts.
  const double lumenSize = std::isfinite(geometry.lumenDiameter) ? geometry.lumenDiameter : b.restingLumen;
  const double constricted =
      b.restingLumen > 0.0 ? std::clamp(2.0 * (1.0 - lumenSize / b.restingLumen), 0.0, 1.0) : 0.0;
  const double lumenDark = b.lumenDarkening + b.constrictedLumen * constricted;
  const double innerLine = InnerLineDarkening(b);
  // Each wall fades into the lumen over a ramp centred on the lumen's edge,
  // at most half the wall wide on the wall's side.
  const double thickness = std::min(e.exactLumenLeft - e.exactOuterLeft, e.exactOuterRight - e.exactLumenRight);
  const double ramp = std::clamp(0.5 * b.innerRamp, 0.0, 0.5 * std::max(thickness, 0.0));
  const auto fade = [&](double intoWall) {  // from the lumen edge: > 0 in the wall, < 0 in the lumen
    const double t = ramp > 0.0 ? std::clamp(0.5 + 0.5 * intoWall / ramp, 0.0, 1.0) : (intoWall >= 0.0 ? 1.0 : 0.0);
    return lumenDark + t * (innerLine - lumenDark);
  };
  const auto halo = [&](double outside) {  // distance outside the wall
    return b.haloWidth > 0.0 && outside < b.haloWidth ? -b.halo * (1.0 - outside / b.haloWidth) : 0.0;
  };

  // Across the picture: what the vessel takes from the light at each place,
  // and how strongly the walls' texture and the lumen's speckle show there,
  // drawn at several samples per pixel, blurred and averaged per column.
  const std::size_t samples = static_cast<std::size_t>(width) * kSubsamples;
  std::vector<float> dark(samples, 0.0f), wallGrain(samples, 0.0f), speckle(samples, 0.0f);
  for (std::size_t i = 0; i < samples; ++i) {
    const double x = (static_cast<double>(i) + 0.5) / kSubsamples;
    double d = 0.0;
    if (x < e.exactOuterLeft) {
      d = halo(e.exactOuterLeft - x);
    } else if (x >= e.exactOuterRight) {
      d = halo(x - e.exactOuterRight);
    } else if (x < e.exactLumenLeft || x >= e.exactLumenRight) {
      // In a wall: its lines, then its fade into the lumen.
      const bool left = x < e.exactLumenLeft;
      const double fromOuter = left ? x - e.exactOuterLeft : e.exactOuterRight - x;
      const double toLumen = left ? e.exactLumenLeft - x : x - e.exactLumenRight;
      const double lined = (left ? e.exactLumenLeft - e.exactOuterLeft : e.exactOuterRight - e.exactLumenRight) - ramp;
      d = toLumen < ramp ? fade(toLumen) : LineDarkening(b, lined > 0.0 ? fromOuter / lined : 0.0);
      wallGrain[i] = static_cast<float>(b.wallTexture);
    } else {
      d = fade(-std::min(x - e.exactLumenLeft, e.exactLumenRight - x));
      speckle[i] = static_cast<float>(b.speckle);
    }
    dark[i] = static_cast<float>(d);
  }
  for (auto* v : {&dark, &wallGrain, &speckle}) Blur(*v, o.blurSigma * kSubsamples);
  // Per column, as shares of the background's level: what passes, and the
  // textures' weights (the tiles hold kTextureScale per standard deviation).
  std::vector<float> passes(static_cast<std::size_t>(width)), wallWeight(passes.size()), speckleWeight(passes.size());
  std::vector<float> columnLight(passes.size());
  for (int c = 0; c < width; ++c) {
    float d = 0.0f, w = 0.0f, l = 0.0f;
    for (int k = 0; k < kSubsamples; ++k) {
      const std::size_t i = static_cast<std::size_t>(c) * kSubsamples + static_cast<std::size_t>(k);
      d += dark[i];
      w += wallGrain[i];
      l += speckle[i];
    }
    const auto n = static_cast<float>(kSubsamples * kBrightfieldLevel);
    const auto at = static_cast<std::size_t>(c);
    passes[at] = 1.0f - d / n;
    wallWeight[at] = w / n / static_cast<float>(kTextureScale);
    speckleWeight[at] = l / n / static_cast<float>(kTextureScale);
    columnLight[at] = static_cast<float>(b.background + b.gradientX * ((c + 0.5) / width - 0.5));
  }

  // The camera's response, from the light's grey level to the pixel's; none
  // to apply at the usual gain and gamma of 1.
  const bool linear = s.gain == 1.0 && s.gamma == 1.0;
  std::array<std::uint8_t, 256> response{};
  for (int v = 0; v < 256; ++v) {
    const double level = 255.0 * std::pow(std::clamp(v * s.gain / 255.0, 0.0, 1.0), 1.0 / s.gamma);
    response[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(std::clamp(std::round(level), 0.0, 255.0));
  }

  // Row by row, in runs of columns over which the textures' tiles run on
  // without wrapping, so the work per pixel is a few steps the compiler
  // does several pixels at a time. The textures move with the vessel.
  const auto shift = static_cast<int>(std::lround(drift));
  constexpr int mask = kTextureSide - 1;
  const bool noisy = o.noiseSigma > 0.0;
  std::uint64_t state = Mix(o.seed ^ Mix(frame.index));
  const std::size_t windows = kNoiseLength - static_cast<std::size_t>(width) + 1;
  std::vector<float> light(passes.size());
  for (int y = 0; y < o.height; ++y) {
    std::uint8_t* row = frame.pixels.data() + static_cast<std::size_t>(y) * width;
    const auto rowLight = static_cast<float>(b.gradientY * ((y + 0.5) / o.height - 0.5));
    for (std::size_t c = 0; c < light.size(); ++c) light[c] = columnLight[c] + rowLight;
    const std::int8_t* grainRow = wallTexture_.data() + static_cast<std::size_t>(y & mask) * kTextureSide;
    const std::int8_t* spotsRow = speckle_.data() + static_cast<std::size_t>(y & mask) * kTextureSide;
    state = Mix(state);
    const std::int8_t* noise = noise_.data() + state % windows;
    for (int x = 0; x < width;) {
      const int t0 = (x - shift) & mask;
      const int run = std::min(width - x, kTextureSide - t0);
      const std::int8_t* grain = grainRow + t0;
      const std::int8_t* spots = spotsRow + t0;
      const float* l = light.data() + x;
      const float* p = passes.data() + x;
      const float* ww = wallWeight.data() + x;
      const float* sw = speckleWeight.data() + x;
      const std::int8_t* n = noise + x;
      std::uint8_t* out = row + x;
      // The level lies far within an int's range (the light is below 256,
      // what passes about 1 either way), so it is rounded to an int and
      // clamped there: plain comparisons of ints, which the compiler does
      // several at a time and the sanitised test build does without calls.
      if (linear) {
        for (int i = 0; i < run; ++i) {
          const float level =
              l[i] * (p[i] - ww[i] * static_cast<float>(grain[i]) - sw[i] * static_cast<float>(spots[i]));
          const int v = static_cast<int>(level + 0.5f);
          const int lit = (v < 0 ? 0 : (v > 255 ? 255 : v)) + (noisy ? n[i] : 0);
          out[i] = static_cast<std::uint8_t>(lit < 0 ? 0 : (lit > 255 ? 255 : lit));
        }
      } else {
        for (int i = 0; i < run; ++i) {
          const float level =
              l[i] * (p[i] - ww[i] * static_cast<float>(grain[i]) - sw[i] * static_cast<float>(spots[i]));
          const int v = static_cast<int>(level + 0.5f);
          const int lit = response[static_cast<std::size_t>(v < 0 ? 0 : (v > 255 ? 255 : v))] + (noisy ? n[i] : 0);
          out[i] = static_cast<std::uint8_t>(lit < 0 ? 0 : (lit > 255 ? 255 : lit));
        }
      }
      x += run;
    }
  }
}

}  // namespace ORV::Sim
