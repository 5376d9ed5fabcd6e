// Peer libraries doing the jobs of some of our converters, where their Debian packages are installed:
// libyuv, OpenCV (one thread) and libdc1394.
#include "bench_support.h"

#include <array>
#include <memory>

#if defined(VYR_BENCH_LIBYUV)
#include <libyuv.h>
#endif
#if defined(VYR_BENCH_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif
#if defined(VYR_BENCH_DC1394)
#include <dc1394/conversions.h>
#endif

namespace vyr::bench {
namespace {

[[maybe_unused]] int stride(const Image& i) { return int(i.pitch); }
[[maybe_unused]] int width(const Image& i) { return int(i.width); }
[[maybe_unused]] int height(const Image& i) { return int(i.height); }

#if defined(VYR_BENCH_LIBYUV)
// libyuv's ARGB is our RGB8888 (blue first), its RGB24 our RGB888, its J400 a full-range grey.
template <int (*F)(const uint8_t*, int, uint8_t*, int, int, int)>
void yuv(const Image& s, const Image& d)
{
    F(s.plane[0], stride(s), d.plane[0], stride(d), width(s), height(s));
}

void registerLibyuv()
{
    registerPeer({"libyuv ARGBToRGB24", "ConvertRGB8888toRGB888", {4, 3}, yuv<libyuv::ARGBToRGB24>});
    registerPeer({"libyuv RGB24ToARGB", "ConvertRGB888toRGB8888", {3, 4}, yuv<libyuv::RGB24ToARGB>});
    registerPeer({"libyuv ARGBToRGB565", "ConvertRGB888toRGB565", {4, 2}, yuv<libyuv::ARGBToRGB565>});
    registerPeer({"libyuv J400ToARGB", "ConvertMONO8toRGB8888", {1, 4}, yuv<libyuv::J400ToARGB>});
    registerPeer({"libyuv ARGBToJ400", "ConvertRGB8888toMONO8", {4, 1}, yuv<libyuv::ARGBToJ400>});
    registerPeer({"libyuv RGB24ToJ400", "ConvertRGB888toMONO8", {3, 1}, yuv<libyuv::RGB24ToJ400>});
    registerPeer({"libyuv YUY2ToARGB", "ConvertYUY2toRGB8888", {2, 4}, yuv<libyuv::YUY2ToARGB>});
    registerPeer({"libyuv UYVYToARGB", "ConvertUYVYtoRGB8888", {2, 4}, yuv<libyuv::UYVYToARGB>});
    registerPeer({"libyuv ARGBToYUY2", "ConvertRGB8888toYUY2", {4, 2}, yuv<libyuv::ARGBToYUY2>});
    registerPeer({"libyuv ARGBToUYVY", "ConvertRGB8888toUYVY", {4, 2}, yuv<libyuv::ARGBToUYVY>});
    registerPeer({"libyuv YUY2ToY", "ConvertYUY2toMONO8", {2, 1}, yuv<libyuv::YUY2ToY>});
    registerPeer({"libyuv UYVYToY", "ConvertUYVYtoMONO8", {2, 1}, yuv<libyuv::UYVYToY>});
}

// libyuv has no single call between 4:2:2 and RGB24: each row goes through an ARGB row of its own.
using RowFn = int (*)(const uint8_t*, int, uint8_t*, int, int, int);
template <RowFn First, RowFn Second>
void throughArgb(const Image& s, const Image& d)
{
    static std::vector<uint8_t> argb;
    argb.resize(size_t(4) * s.width);
    for (uint32_t y = 0; y < s.height; ++y) {
        First(s.line(0, y), stride(s), argb.data(), 0, width(s), 1);
        Second(argb.data(), 0, d.line(0, y), stride(d), width(s), 1);
    }
}

void registerLibyuvRgb24Forms()
{
    using namespace libyuv;
    registerPeer({"libyuv YUY2ToARGB+ARGBToRGB24",
                  "ConvertYUY2toRGB888",
                  {2, 3},
                  throughArgb<YUY2ToARGB, ARGBToRGB24>});
    registerPeer({"libyuv UYVYToARGB+ARGBToRGB24",
                  "ConvertUYVYtoRGB888",
                  {2, 3},
                  throughArgb<UYVYToARGB, ARGBToRGB24>});
    registerPeer({"libyuv RGB24ToARGB+ARGBToYUY2",
                  "ConvertRGB888toYUY2",
                  {3, 2},
                  throughArgb<RGB24ToARGB, ARGBToYUY2>});
    registerPeer({"libyuv RGB24ToARGB+ARGBToUYVY",
                  "ConvertRGB888toUYVY",
                  {3, 2},
                  throughArgb<RGB24ToARGB, ARGBToUYVY>});
}
#endif

#if defined(VYR_BENCH_OPENCV)
cv::Mat mat(const Image& i, int k, int type)
{
    return cv::Mat(height(i), width(i), type, i.plane[k], i.pitch);
}

// The first three planes of an image of bytes.
std::array<cv::Mat, 3> bytePlanes(const Image& i)
{
    return {mat(i, 0, CV_8UC1), mat(i, 1, CV_8UC1), mat(i, 2, CV_8UC1)};
}

template <int From, int To, int Code>
void cvt(const Image& s, const Image& d)
{
    cv::cvtColor(mat(s, 0, From), mat(d, 0, To), Code);
}

void registerOpencv()
{
    cv::setNumThreads(1);
    registerPeer({"OpenCV split", "SplitRGB8888toMONO8", {4, 3, 1, 3}, [](const Image& s, const Image& d) {
                      const std::array<cv::Mat, 3> planes = bytePlanes(d);
                      cv::Mat four[4] = {planes[0], planes[1], planes[2], cv::Mat()};
                      cv::split(mat(s, 0, CV_8UC4), four);
                  }});
    registerPeer({"OpenCV merge (3 channels)",
                  "MergeMONO8toRGB8888",
                  {3, 3, 3, 1},
                  [](const Image& s, const Image& d) {
                      cv::Mat out = mat(d, 0, CV_8UC3);
                      cv::merge(bytePlanes(s).data(), 3, out);
                  }});
    // Our job exactly: three planes to blue, green, red and a fourth byte of 0, by merge with a plane of
    // zeros (made on the first call, outside the timed ones) and by mixChannels (its -1 source).
    registerPeer({"OpenCV merge (zero plane)",
                  "MergeMONO8toRGB8888",
                  {3, 4, 3, 1},
                  [zero = std::make_shared<cv::Mat>()](const Image& s, const Image& d) {
                      const std::array<cv::Mat, 3> planes = bytePlanes(s);
                      if (zero->size() != planes[0].size())
                          *zero = cv::Mat::zeros(planes[0].size(), CV_8UC1);
                      const cv::Mat four[4] = {planes[0], planes[1], planes[2], *zero};
                      cv::Mat out = mat(d, 0, CV_8UC4);
                      cv::merge(four, 4, out);
                  }});
    registerPeer({"OpenCV mixChannels (zero fourth)",
                  "MergeMONO8toRGB8888",
                  {3, 4, 3, 1},
                  [](const Image& s, const Image& d) {
                      cv::Mat out = mat(d, 0, CV_8UC4);
                      const int fromTo[] = {0, 0, 1, 1, 2, 2, -1, 3};
                      cv::mixChannels(bytePlanes(s).data(), 3, &out, 1, fromTo, 4);
                  }});
    registerPeer(
        {"OpenCV BGR2BGR565", "ConvertRGB888toRGB565", {3, 2}, cvt<CV_8UC3, CV_8UC2, cv::COLOR_BGR2BGR565>});
    registerPeer(
        {"OpenCV BGRA2GRAY", "ConvertRGB8888toMONO8", {4, 1}, cvt<CV_8UC4, CV_8UC1, cv::COLOR_BGRA2GRAY>});
    registerPeer({"OpenCV BGR2Lab", "ConvertRGB8888toLAB", {3, 3}, cvt<CV_8UC3, CV_8UC3, cv::COLOR_BGR2Lab>});
    registerPeer({"OpenCV Lab2BGR", "ConvertLABtoRGB8888", {3, 3}, cvt<CV_8UC3, CV_8UC3, cv::COLOR_Lab2BGR>});
    registerPeer({"OpenCV BGR2HSV", "ConvertRGB8888toHSV", {3, 3}, cvt<CV_8UC3, CV_8UC3, cv::COLOR_BGR2HSV>});
    registerPeer({"OpenCV HSV2BGR", "ConvertHSVtoRGB8888", {3, 3}, cvt<CV_8UC3, CV_8UC3, cv::COLOR_HSV2BGR>});
    registerPeer({"OpenCV BayerRG2BGRA",
                  "ConvertBayer8_2x2toRGB8888",
                  {1, 4},
                  cvt<CV_8UC1, CV_8UC4, cv::COLOR_BayerRG2BGRA>,
                  5});
    registerPeer({"OpenCV BayerRG2BGRA",
                  "ConvertBayer8_MalvartoRGB8888",
                  {1, 4},
                  cvt<CV_8UC1, CV_8UC4, cv::COLOR_BayerRG2BGRA>,
                  5});
    registerPeer({"OpenCV BayerRG2BGR_EA",
                  "ConvertBayer8_MalvartoRGB8888",
                  {1, 3},
                  cvt<CV_8UC1, CV_8UC3, cv::COLOR_BayerRG2BGR_EA>,
                  5});
}
#endif

#if defined(VYR_BENCH_DC1394)
void registerDc1394()
{
    registerPeer({"libdc1394 HQLINEAR",
                  "ConvertBayer8_MalvartoRGB8888",
                  {1, 3},
                  [](const Image& s, const Image& d) {
                      dc1394_bayer_decoding_8bit(s.plane[0], d.plane[0], s.width, s.height,
                                                 DC1394_COLOR_FILTER_RGGB, DC1394_BAYER_METHOD_HQLINEAR);
                  },
                  5});
}
#endif

const bool registered = [] {
#if defined(VYR_BENCH_LIBYUV)
    registerLibyuv();
    registerLibyuvRgb24Forms();
#endif
#if defined(VYR_BENCH_OPENCV)
    registerOpencv();
#endif
#if defined(VYR_BENCH_DC1394)
    registerDc1394();
#endif
    return true;
}();

} // namespace
} // namespace vyr::bench
