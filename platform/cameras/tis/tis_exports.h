#pragma once
// The Imaging Source camera library as this program calls it: the C
// functions by the names the library exports, with the types the back-end
// passes. A call succeeds when it returns 1. Declared only to name their
// types; the program never links them, it looks them up in the loaded
// library (tis_library.h).
#include "platform/cameras/tis/tis_api.h"

extern "C" {
int IC_InitLibrary(const char* licence);
ORV::Cameras::TisGrabber IC_CreateGrabber();
void IC_ReleaseGrabber(ORV::Cameras::TisGrabber* grabber);
int IC_IsTriggerAvailable(ORV::Cameras::TisGrabber grabber);
int IC_EnableTrigger(ORV::Cameras::TisGrabber grabber, int enable);
int IC_SetCallbacks(ORV::Cameras::TisGrabber grabber, ORV::Cameras::TisFrameCallback frame, void* frameContext,
                    ORV::Cameras::TisDeviceLostCallback lost, void* lostContext);
int IC_OpenVideoCaptureDevice(ORV::Cameras::TisGrabber grabber, const char* name);
int IC_IsDevValid(ORV::Cameras::TisGrabber grabber);
void IC_CloseVideoCaptureDevice(ORV::Cameras::TisGrabber grabber);
int IC_SetFrameRate(ORV::Cameras::TisGrabber grabber, double framesPerSecond);
double IC_GetFrameRate(ORV::Cameras::TisGrabber grabber);
int IC_GetFormat(ORV::Cameras::TisGrabber grabber);
int IC_SetFormat(ORV::Cameras::TisGrabber grabber, int format);
int IC_GetVideoFormatWidth(ORV::Cameras::TisGrabber grabber);
int IC_GetVideoFormatHeight(ORV::Cameras::TisGrabber grabber);
int IC_SetContinuousMode(ORV::Cameras::TisGrabber grabber, int mode);
int IC_IsVideoPropertyAutoAvailable(ORV::Cameras::TisGrabber grabber, int property);
int IC_EnableAutoVideoProperty(ORV::Cameras::TisGrabber grabber, int property, int enable);
int IC_IsCameraPropertyAutoAvailable(ORV::Cameras::TisGrabber grabber, int property);
int IC_EnableAutoCameraProperty(ORV::Cameras::TisGrabber grabber, int property, int enable);
int IC_IsVideoPropertyAvailable(ORV::Cameras::TisGrabber grabber, int property);
int IC_VideoPropertyGetRange(ORV::Cameras::TisGrabber grabber, int property, long* minimum, long* maximum);
int IC_GetVideoProperty(ORV::Cameras::TisGrabber grabber, int property, long* value);
int IC_SetVideoProperty(ORV::Cameras::TisGrabber grabber, int property, long value);
int IC_StartLive(ORV::Cameras::TisGrabber grabber, int showWindow);
void IC_StopLive(ORV::Cameras::TisGrabber grabber);
int IC_GetDeviceCount();
const char* IC_GetDevice(int index);
const char* IC_GetUniqueNamefromList(int index);
}
