// The same work done by OpenCV on one thread, measured in the same run as the yardstick.
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "BenchImages.h"

namespace {

cv::Mat RandomMat(int type, uint32_t seed) {
    cv::Mat mat(kFrameHeight, kFrameWidth, type);
    cv::RNG rng(seed);
    rng.fill(mat, cv::RNG::UNIFORM, 0, mat.depth() == CV_8U ? 256 : 65536);
    return mat;
}

void SingleThread() { cv::setNumThreads(1); }

void BayerToBgr(benchmark::State& state, int rawType) {
    SingleThread();
    const cv::Mat raw = RandomMat(rawType, 1);
    cv::Mat colour;
    for (auto _ : state) {
        cv::cvtColor(raw, colour, cv::COLOR_BayerBG2BGR);
        benchmark::ClobberMemory();
    }
    ReportFrames(state);
}

void UnsharpMask48(benchmark::State& state) {
    SingleThread();
    const cv::Mat image = RandomMat(CV_16UC3, 2);
    cv::Mat blurred, sharpened;
    for (auto _ : state) {
        cv::blur(image, blurred, cv::Size(4, 4));
        cv::addWeighted(image, 1.0 + 12 / 10.0, blurred, -12 / 10.0, 0, sharpened);
        benchmark::ClobberMemory();
    }
    ReportFrames(state);
}

void HlsRoundTrip24(benchmark::State& state) {
    SingleThread();
    const cv::Mat image = RandomMat(CV_8UC3, 3);
    cv::Mat hls, back;
    for (auto _ : state) {
        cv::cvtColor(image, hls, cv::COLOR_BGR2HLS);
        cv::cvtColor(hls, back, cv::COLOR_HLS2BGR);
        benchmark::ClobberMemory();
    }
    ReportFrames(state);
}

const bool registered = [] {
    benchmark::RegisterBenchmark("OpenCV/BayerBG2BGR/8to24", BayerToBgr, CV_8UC1)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("OpenCV/BayerBG2BGR/16to48", BayerToBgr, CV_16UC1)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("OpenCV/Blur4x4AddWeighted/48", UnsharpMask48)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("OpenCV/BGR2HLS2BGR/24", HlsRoundTrip24)->Unit(benchmark::kMillisecond);
    return true;
}();

}  // namespace
