// Camera detection over the three back-ends: the makers' order, the model
// names tried, and the cap of four cameras.
#include <gtest/gtest.h>

#include "tests/video/camera_fakes.h"
#include "video/cameras/camera_interface.h"
#include "video/cameras/lumenera_interface.h"
#include "video/cameras/tis_camera_interface.h"
#include "video/cameras/ximea_interface.h"

namespace ORV {
namespace {

using namespace Test;

TEST(CameraDetection, TakesTheFirstMakerWithCamerasAndAtMostFour) {
  struct Case {
    const char* what;
    long lumenera;
    int ximea;
    std::vector<std::string> tis;
    std::vector<std::string> tisOpens;
    int kind, count;
  };
  const std::vector<std::string> six = {"DMx 41AU02 a", "DMx 41AU02 b", "DMx 41AU02 c",
                                        "DMx 41AU02 d", "DMx 41AU02 e", "DMx 41AU02 f"};
  const Case cases[] = {
      {"nothing attached", 0, 0, {}, {}, kCameraTypeImagingSource, 0},
      {"one Lumenera wins over the rest", 1, 2, six, {}, kCameraTypeLumenera, 1},
      {"two Lumenera cameras cannot be opened", 2, 0, six, {}, kCameraTypeLumenera, 0},
      {"XIMEA before TIS", 0, 2, six, {}, kCameraTypeXimea, 2},
      {"TIS capped at four", 0, 0, six, {}, kCameraTypeImagingSource, 4},
      {"TIS opened by the fallback model", 0, 0, {"DMK 42AUC03 a", "x"}, {"DMK 42AUC03"}, kCameraTypeImagingSource, 2},
      {"TIS that opens neither model", 0, 0, {"DMK 23UV024 a"}, {"DMK 23UV024 a"}, kCameraTypeImagingSource, 0},
  };
  for (const Case& c : cases) {
    FakeLucam lucam;
    lucam.cameras = c.lumenera;
    FakeXi xi;
    xi.devices = c.ximea;
    FakeTis tis;
    tis.devices = c.tis;
    tis.opensOnly = c.tisOpens;
    std::vector<int> built;
    auto create = [&](int type) -> std::unique_ptr<CameraInterface> {
      built.push_back(type);
      if (type == kCameraTypeLumenera) return std::make_unique<LumeneraInterface>(lucam.Table());
      if (type == kCameraTypeXimea) return std::make_unique<XIMEAInterface>(xi.Table());
      return std::make_unique<TISCameraInterface>(tis.Table());
    };
    const CameraDetection found = DetectCameras("DMx 41AU02", create);
    EXPECT_EQ(found.cameraKind, c.kind) << c.what;
    EXPECT_EQ(found.cameraCount, c.count) << c.what;
    ASSERT_EQ(found.deviceNames.size(), static_cast<std::size_t>(c.count)) << c.what;
    if (c.kind == kCameraTypeImagingSource) {
      for (int i = 0; i < c.count; ++i) EXPECT_EQ(found.deviceNames[i], c.tis[i]) << c.what;
      EXPECT_EQ(built, (std::vector<int>{1, 2, 0})) << c.what;
      EXPECT_EQ(tis.log.Count("Open DMx 41AU02"), 1) << c.what;
    } else {
      for (const auto& name : found.deviceNames) EXPECT_EQ(name, "") << c.what;  // these have no device names
    }
  }
}

TEST(CameraDetection, UnboundLibrariesFindNoCamera) {
  // The simulated lab may be switched on around the tests: unbind it here.
  const Cameras::TisApi before = Cameras::BindTis(Cameras::TisApi::Unbound());
  const CameraDetection found = DetectCameras();
  EXPECT_EQ(found.cameraKind, kCameraTypeImagingSource);
  EXPECT_EQ(found.cameraCount, 0);
  auto tis = CreateCameraInterface(7);
  EXPECT_FALSE(tis->IsAvailable());
  EXPECT_EQ(tis->GetDeviceCount(), 0);
  EXPECT_FALSE(CreateCameraInterface(kCameraTypeLumenera)->IsAvailable());
  EXPECT_FALSE(CreateCameraInterface(kCameraTypeXimea)->IsAvailable());
  Cameras::BindTis(before);
}

TEST(CameraModels, KnownNamesAndTheDefaultModel) {
  for (const char* name : {"DMx 41AU02", "DMK 42AUC03 12345", "Lt220", "XIMEA", "DFx 41AU02 x", "DMK 23UV024"})
    EXPECT_TRUE(IsKnownCameraModel(name)) << name;
  for (const char* name : {"", "USB Camera", "dmx 41AU02", "DMK 42AUC0"})
    EXPECT_FALSE(IsKnownCameraModel(name)) << name;
  CameraModelList list;
  list.Add({"Other", 640, 480});
  list.AddDefaultModel();
  ASSERT_EQ(list.models().size(), 2u);
  EXPECT_EQ(list.models()[1].name, "DMx 41AU02");
  EXPECT_EQ(list.models()[1].width, 1280);
  EXPECT_EQ(list.models()[1].height, 960);
}

}  // namespace
}  // namespace ORV
