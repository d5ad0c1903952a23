#pragma once
// Paints the analysis control's window: the idle picture when nothing is
// shown, else the camera picture stretched over the window with the overlay
// of zones, edges, numbers and the status label.
#include <QImage>
#include <QPainter>
#include <opencv2/core.hpp>

#include "analysis_control/analysis_view.h"

namespace ORV::AnalysisView {

// A grey or blue-green-red frame as an image sharing its pixels.
QImage FrameImage(const cv::Mat& frame);

// Paints into `p` over `client`: `frame` null shows the idle picture.
void PaintAnalysisView(QPainter& p, const QRect& client, const cv::Mat* frame, const Overlay& overlay,
                       const AnalysisViewModel& model);

}  // namespace ORV::AnalysisView
