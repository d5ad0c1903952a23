#pragma once
// The Lumenera camera library as this program calls it: the C functions by
// the names the library exports, with the types the back-end passes. A call
// succeeds when it returns non-zero (or a non-null handle, or a callback id
// other than -1). Declared only to name their types; the program never links
// them, it looks them up in the loaded library (lucam_library.h).
#include "platform/cameras/lumenera/lucam_api.h"

extern "C" {
long LucamNumCameras();
ORV::Cameras::LucamHandle LucamCameraOpen(unsigned long number);
int LucamCameraClose(ORV::Cameras::LucamHandle camera);
int LucamGetFormat(ORV::Cameras::LucamHandle camera, ORV::Cameras::LucamFrameFormat* format, float* frameRate);
int LucamSetFormat(ORV::Cameras::LucamHandle camera, ORV::Cameras::LucamFrameFormat* format, float frameRate);
int LucamGetProperty(ORV::Cameras::LucamHandle camera, unsigned long property, float* value, long* flags);
int LucamSetProperty(ORV::Cameras::LucamHandle camera, unsigned long property, float value, long flags);
long LucamAddStreamingCallback(ORV::Cameras::LucamHandle camera, ORV::Cameras::LucamStreamingCallback callback,
                               void* context);
int LucamRemoveStreamingCallback(ORV::Cameras::LucamHandle camera, long id);
int LucamStreamVideoControl(ORV::Cameras::LucamHandle camera, unsigned long mode, void* window);
}
