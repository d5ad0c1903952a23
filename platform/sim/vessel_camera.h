#pragma once
// The simulated vessel camera: 8-bit grey frames of a vessel running
// vertically through the picture, as a microscope camera sees a mounted
// artery, at the diameters of a geometry source (normally the simulated
// preparation). Two looks:
//   - plain: an even bright background, two even dark walls and a lumen a
//     little brighter than the background;
//   - brightfield: what a brightfield microscope shows of a pressurised
//     artery. The background is bright and uneven (darker on one side, with
//     a slow gradient); a bright halo lies just outside each wall; each wall
//     is a band of several dark lines (the darkest at the wall's outer
//     edge, one near the lumen) on a body darker than the background,
//     textured along the vessel, and fades into the lumen over a ramp of
//     several columns centred on the lumen's edge; the lumen is about as
//     bright as the background, speckled, and darker the more the vessel is
//     constricted; the vessel drifts slowly sideways.
//
// Each frame carries its truth: the edges it was drawn with, in sensor
// pixels, counted as the wall search counts them (the first column of each
// wall and the first column after it). In the exact mode (plain look) the
// edges lie on whole pixels and the frame has neither blur nor noise, so a
// search finds them exactly; otherwise the edges lie where the geometry puts
// them, the picture is blurred and carries noise from a fixed seed, so every
// frame index always gives the same frame.
//
// Faults on demand: a changed frame size, a lost device (and its return),
// dropped frames and torn frames (cut short on the way: fewer bytes than the
// picture has).
//
// Frames are numbered; frame n shows the vessel at start time + n / frame
// rate. The camera does no pacing: its user grabs at the rate it wants.
// Grab may be called from one thread while another changes the settings.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/sim/preparation.h"

namespace ORV::Sim {

// The edges of one frame. Whole pixels: the first column of the left wall,
// the first lumen column, the first column of the right wall and the first
// column after it. The exact positions (in pixels from the left side of the
// sensor) are kept beside them.
struct VesselEdges {
  int outerLeft = 0;
  int lumenLeft = 0;
  int lumenRight = 0;
  int outerRight = 0;
  double exactOuterLeft = 0.0;
  double exactLumenLeft = 0.0;
  double exactLumenRight = 0.0;
  double exactOuterRight = 0.0;

  bool operator==(const VesselEdges&) const = default;
};

struct VesselFrame {
  std::uint64_t index = 0;
  double time = 0.0;  // seconds, on the geometry source's clock
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // width * height bytes, rows top to bottom
  VesselGeometry geometry;           // micrometres
  VesselEdges truth;
};

enum class GrabResult {
  Frame,    // a frame was made
  Dropped,  // this frame is lost on the way (a dropped-frame fault)
  Lost,     // the device is gone
};

class VesselCamera {
 public:
  // The vessel at a time in seconds.
  using GeometrySource = std::function<VesselGeometry(double)>;

  enum class Look {
    kPlain,
    kBrightfield,
  };

  // The brightfield picture. The vessel darkens the light that passes it:
  // the picture is the background times what the vessel lets through, and
  // each darkening here is what it takes from a background of 195.
  struct Brightfield {
    double background = 183.0;       // grey level at the picture's centre, before gain and gamma
    double gradientX = 25.0;         // its rise from the left side to the right side
    double gradientY = 6.0;          // from the top to the bottom
    double halo = 14.0;              // the light added just outside each wall (a negative darkening)
    double haloWidth = 6.0;          // pixels
    double wallDarkening = 90.0;     // the wall's body
    double lineDarkening = 125.0;    // the darkest of its lines
    int lines = 3;                   // dark lines across each wall
    double innerRamp = 8.0;          // pixels over which a wall fades into the lumen (at most half the wall)
    double lumenDarkening = 10.0;    // the lumen of a vessel at rest
    double constrictedLumen = 20.0;  // more darkening of a lumen at half its resting diameter (in proportion)
    double restingLumen = 220.0;     // micrometres: the lumen's diameter at rest
    double wallTexture = 10.0;       // standard deviation along the walls
    double speckle = 8.0;            // standard deviation in the lumen
    double driftAmplitude = 12.0;    // pixels: the vessel drifts sideways and back
    double driftPeriod = 45.0;       // seconds
  };

  struct Options {
    int width = 1280;
    int height = 960;
    double frameRate = 15.0;
    double micronsPerPixel = 0.5;
    // The vessel's axis, in pixels from the left; below 0: the middle.
    double axis = -1.0;
    Look look = Look::kPlain;
    bool exact = false;       // plain look only: whole-pixel edges, no blur, no noise
    double blurSigma = 1.0;   // pixels
    double noiseSigma = 8.0;  // grey levels
    std::uint32_t seed = 7;
    // The plain look's grey levels before gain and gamma.
    double background = 200.0;
    double wall = 50.0;
    double lumen = 215.0;
    Brightfield brightfield;
  };

  VesselCamera(GeometrySource source, Options options);
  // A camera on the preparation; frame 0 is its present.
  VesselCamera(std::shared_ptr<Preparation> preparation, Options options);
  VesselCamera(const VesselCamera&) = delete;
  VesselCamera& operator=(const VesselCamera&) = delete;

  int Width() const;
  int Height() const;
  double FrameRate() const;
  void SetFrameRate(double framesPerSecond);
  // The time that frame `index` shows.
  double FrameTime(std::uint64_t index) const;
  // Frame 0 shows this time (on a preparation's camera, the preparation's
  // present when the camera was made). A user that numbers its frames from 0
  // again when it starts streaming sets it to the present then.
  void SetStartTime(double seconds);

  // The picture's response: levels are scaled by `gain` and then raised to
  // 1 / gamma (on the 0..1 scale), as a camera's gain, exposure and gamma
  // settings change them. Both 1 by default.
  void SetGain(double gain);
  void SetGamma(double gamma);

  // Makes frame `index` into `frame` (its buffer is reused). Dropped or Lost
  // leave `frame` as it was.
  GrabResult Grab(std::uint64_t index, VesselFrame& frame);

  // ---- faults ----

  // Frames from now on have this size (a camera changing its format).
  void SetSize(int width, int height);
  // The device goes away: every later grab is Lost.
  void Unplug();
  // The device is back.
  void Replug();
  bool IsPresent() const;
  // While set, every frame comes cut short: only its first half of the rows.
  void SetTorn(bool torn);
  // Drops every `n`th frame (indices n-1, 2n-1, ...); 0 drops none.
  void DropEvery(std::uint64_t n);
  // Drops the next `count` frames grabbed.
  void DropNext(std::uint64_t count);

  // The edges of a vessel of `geometry` on this camera's sensor, with the
  // vessel at its resting place (no drift).
  VesselEdges EdgesFor(const VesselGeometry& geometry) const;

 private:
  struct Settings {
    Options options;
    double startTime = 0.0;
    double gain = 1.0;
    double gamma = 1.0;
    bool present = true;
    bool torn = false;
    std::uint64_t dropEvery = 0;
    std::uint64_t dropNext = 0;
  };
  // The edges with the vessel's axis `drift` pixels right of its resting place.
  static VesselEdges EdgesFor(const Settings& s, const VesselGeometry& geometry, double drift);
  // The drift at a time, in pixels (brightfield look only).
  static double DriftAt(const Settings& s, double time);
  // One row's grey levels before noise (plain look).
  static std::vector<std::int16_t> DrawProfile(const Settings& s, const VesselEdges& edges);
  // The whole brightfield picture, noise included, of a vessel with the
  // lumen of `geometry`.
  void DrawBrightfield(const Settings& s, const VesselEdges& edges, const VesselGeometry& geometry, double drift,
                       VesselFrame& frame) const;
  // The plain look: the profile across, the same on every row, with noise.
  void DrawPlain(const Settings& s, VesselFrame& frame) const;

  GeometrySource source_;
  mutable std::mutex mutex_;
  Settings settings_;
  // Gaussian noise of the seed, made once; each row of a frame adds a
  // window of it that starts at a place drawn from the seed and the frame's
  // index.
  std::vector<std::int8_t> noise_;
  // The brightfield textures, made once from the seed: smooth noise of
  // standard deviation kTextureScale, one tile drawn out along the vessel
  // (the walls' fibres), one round-grained (the lumen's speckle).
  std::vector<std::int8_t> wallTexture_;
  std::vector<std::int8_t> speckle_;
};

}  // namespace ORV::Sim
