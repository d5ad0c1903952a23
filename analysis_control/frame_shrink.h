#pragma once
// Shrinking a grey camera frame to its recording size.
//
// The result is byte for byte what OpenCV's bilinear resize gives, which the
// recordings have always been made with. For a size that divides the frame
// by whole factors, each recorded pixel is the rounded mean of the one or two
// source pixels nearest its centre along each axis (factor 2: the rounded
// mean of each 2 x 2 block). That case is computed here, on the calling
// thread, in plain loops over rows; at factor 2 they read each source row
// from start to end and the compiler vectorises them. Any other size goes
// through OpenCV.
#include <opencv2/core.hpp>

namespace ORV {

// Shrinks an 8-bit single-channel image to `size` into `out`. `out` keeps its
// memory when it already has that size and type, so a caller that shrinks
// frame after frame into the same image allocates only once. Sizes larger
// than the image, and images of any other type, go through OpenCV as well.
void ShrinkGrey(const cv::Mat& grey, cv::Size size, cv::Mat& out);

// True when `size` divides the image's size by whole factors along both
// axes: the case ShrinkGrey computes itself.
bool ShrinksByWholeFactors(cv::Size image, cv::Size size);

}  // namespace ORV
