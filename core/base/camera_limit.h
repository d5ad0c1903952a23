#pragma once
// The number of cameras the program works with, shared by the camera
// back-ends and the experiment record.
namespace ORV {

// At most four cameras take part in an experiment; camera indexes are 0..3.
inline constexpr int kMaxCameras = 4;

}  // namespace ORV
