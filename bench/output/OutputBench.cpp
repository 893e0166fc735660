// Each writer on a camera-sized 16-bit grey and 48-bit colour frame, beside libpng, libtiff and
// libjpeg called with their defaults; and appending a movie frame beside plain cold copies of it.
// The frames look like a camera's: smooth light with detail and a few bits of noise. File sizes
// are reported as the "bytes" counter.
#include "output/AviFrame.h"
#include "output/AviWriter.h"
#include "output/StillImage.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace {

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 1024;

class Frame {
public:
    explicit Frame(uint16_t bitsPerPixel) {
        InitImage(&image);
        CreateImage(&image, kWidth, kHeight, bitsPerPixel);
        std::mt19937 rng(11);
        std::normal_distribution<double> noise(0.0, 24.0);
        const int channels = bitsPerPixel / 16;
        for (int32_t y = 0; y < kHeight; ++y) {
            auto* row = reinterpret_cast<uint16_t*>(image.bits + static_cast<size_t>(y) * image.stride);
            for (int32_t x = 0; x < kWidth; ++x) {
                const double light =
                    12000 + 8000 * std::sin(x / 160.0) * std::cos(y / 200.0) + ((x / 64 + y / 64) % 2 ? 6000 : 0);
                for (int c = 0; c < channels; ++c) {
                    const double v = light * (1.0 - 0.2 * c) + noise(rng);
                    row[x * channels + c] = static_cast<uint16_t>(std::clamp(v, 0.0, 65535.0));
                }
            }
        }
    }
    ~Frame() { DestroyImage(&image); }
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;
    DibImage image;
};

Frame& Grey16() {
    static Frame frame(16);
    return frame;
}
Frame& Colour48() {
    static Frame frame(48);
    return frame;
}
Frame& ByDepth(int64_t depth) { return depth == 16 ? Grey16() : Colour48(); }

std::string BenchFile(const char* name) { return (std::filesystem::temp_directory_path() / name).string(); }

void Report(benchmark::State& state, const std::string& path) {
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
    std::filesystem::remove(path);
}

void BM_PngOurs(benchmark::State& state) {
    const Frame& frame = ByDepth(state.range(0));
    const std::string path = BenchFile("bench-ours.png");
    for (auto _ : state) benchmark::DoNotOptimize(WritePng(PixelRows::Of(frame.image), path.c_str()));
    Report(state, path);
}

// libpng with nothing set but what the format needs: its own compression level, strategy and
// adaptive filters; the samples swapped to big-endian and the colour order turned by libpng too.
void BM_PngLibraryDefaults(benchmark::State& state) {
    const Frame& frame = ByDepth(state.range(0));
    const std::string path = BenchFile("bench-default.png");
    for (auto _ : state)
        benchmark::DoNotOptimize(WritePng(PixelRows::Of(frame.image), path.c_str(), PngSettings::LibraryDefault()));
    Report(state, path);
}

void BM_TiffOurs(benchmark::State& state) {
    const Frame& frame = ByDepth(state.range(0));
    const std::string path = BenchFile("bench-ours.tif");
    for (auto _ : state) benchmark::DoNotOptimize(WriteTiff(PixelRows::Of(frame.image), path.c_str(), 16));
    Report(state, path);
}

// libtiff's defaults: the tags the format needs and one TIFFWriteScanline a row of samples
// already in TIFF order (the reordering is not timed).
void BM_TiffLibraryDefaults(benchmark::State& state) {
    const Frame& frame = ByDepth(state.range(0));
    const std::string path = BenchFile("bench-default.tif");
    const int channels = frame.image.bitsPerPixel / 16;
    for (auto _ : state) {
        TIFF* tiff = TIFFOpen(path.c_str(), "w");
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kWidth);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kHeight);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 16);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, channels);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, channels == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        for (int32_t y = 0; y < kHeight; ++y)
            TIFFWriteScanline(tiff, frame.image.bits + static_cast<size_t>(y) * frame.image.stride,
                              static_cast<uint32_t>(y), 0);
        TIFFClose(tiff);
    }
    Report(state, path);
}

void BM_JpegOurs(benchmark::State& state) {
    const Frame& frame = ByDepth(state.range(0));
    const std::string path = BenchFile("bench-ours.jpg");
    for (auto _ : state) benchmark::DoNotOptimize(SaveImageFile(frame.image, path.c_str(), 2, 16));
    Report(state, path);
}

// libjpeg's defaults (quality 75, sequential) from 8-bit samples prepared outside the timing.
void BM_JpegLibraryDefaults(benchmark::State& state) {
    const Frame& frame = ByDepth(state.range(0));
    const std::string path = BenchFile("bench-default.jpg");
    const int channels = frame.image.bitsPerPixel / 16;
    std::vector<JSAMPLE> samples(static_cast<size_t>(kWidth) * kHeight * channels);
    for (int32_t y = 0; y < kHeight; ++y) {
        const auto* row =
            reinterpret_cast<const uint16_t*>(frame.image.bits + static_cast<size_t>(y) * frame.image.stride);
        for (int32_t i = 0; i < kWidth * channels; ++i)
            samples[static_cast<size_t>(y) * kWidth * channels + i] = static_cast<JSAMPLE>(row[i] >> 8);
    }
    for (auto _ : state) {
        jpeg_compress_struct info;
        jpeg_error_mgr errors;
        info.err = jpeg_std_error(&errors);
        jpeg_create_compress(&info);
        std::FILE* file = std::fopen(path.c_str(), "wb");
        jpeg_stdio_dest(&info, file);
        info.image_width = kWidth;
        info.image_height = kHeight;
        info.input_components = channels;
        info.in_color_space = channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
        jpeg_set_defaults(&info);
        jpeg_start_compress(&info, TRUE);
        while (info.next_scanline < info.image_height) {
            JSAMPROW row = samples.data() + static_cast<size_t>(info.next_scanline) * kWidth * channels;
            jpeg_write_scanlines(&info, &row, 1);
        }
        jpeg_finish_compress(&info);
        jpeg_destroy_compress(&info);
        std::fclose(file);
    }
    Report(state, path);
}

void BM_BmpAndRaw(benchmark::State& state) {
    const Frame& frame = ByDepth(state.range(0));
    const std::string path = BenchFile("bench.bmp");
    for (auto _ : state) benchmark::DoNotOptimize(SaveImageFile(frame.image, path.c_str(), 0, 16));
    Report(state, path);
}

// Movie frames of many sources, more than the caches hold, so every frame is cold.
constexpr int kColdFrames = 24;

std::vector<Frame*>& ColdSources(int64_t depth) {
    static std::vector<Frame*> grey, colour;
    auto& frames = depth == 16 ? grey : colour;
    while (frames.size() < kColdFrames) frames.push_back(new Frame(static_cast<uint16_t>(depth)));
    return frames;
}

// One appended frame: the 24-bit movie frame made from the output image and written to the
// file. The file lives in memory (/dev/shm), so the figure is the library's work, not the disk's.
void BM_AviAppendFrame(benchmark::State& state) {
    auto& sources = ColdSources(state.range(0));
    DibImage frame;
    InitImage(&frame);
    CreateImage(&frame, kWidth, kHeight, 24);
    const std::string path = "/dev/shm/kelvra-bench.avi";
    AviWriter avi;
    avi.OpenAvi(path.c_str(), kWidth, kHeight);
    size_t next = 0;
    for (auto _ : state) {
        MakeAviFrame(sources[next]->image, frame);
        benchmark::DoNotOptimize(avi.AddAviFrame(frame.bits));
        next = (next + 1) % sources.size();
        if (avi.FrameCount() == 64) {
            state.PauseTiming();
            avi.CloseAvi();
            avi.OpenAvi(path.c_str(), kWidth, kHeight);
            state.ResumeTiming();
        }
    }
    avi.CloseAvi();
    std::filesystem::remove(path);
    DestroyImage(&frame);
    state.SetBytesProcessed(state.iterations() * int64_t{avi.FrameBytes()});
}

// The two halves of an appended frame on their own: the conversion, and the write.
void BM_AviFrameConversion(benchmark::State& state) {
    auto& sources = ColdSources(state.range(0));
    DibImage frame;
    InitImage(&frame);
    CreateImage(&frame, kWidth, kHeight, 24);
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(MakeAviFrame(sources[next]->image, frame));
        next = (next + 1) % sources.size();
    }
    DestroyImage(&frame);
}

void BM_AviAddFrameOnly(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(DibStride(kWidth, 24)) * kHeight;
    std::vector<std::vector<BYTE>> sources(kColdFrames, std::vector<BYTE>(bytes, 1));
    const std::string path = "/dev/shm/kelvra-bench-add.avi";
    AviWriter avi;
    avi.OpenAvi(path.c_str(), kWidth, kHeight);
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(avi.AddAviFrame(sources[next].data()));
        next = (next + 1) % sources.size();
        if (avi.FrameCount() == 64) {
            state.PauseTiming();
            avi.CloseAvi();
            avi.OpenAvi(path.c_str(), kWidth, kHeight);
            state.ResumeTiming();
        }
    }
    avi.CloseAvi();
    std::filesystem::remove(path);
}

// The system's own part of an append: one write() of a frame's bytes into a file in memory.
void BM_PlainWriteOfAMovieFrame(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(DibStride(kWidth, 24)) * kHeight;
    std::vector<std::vector<BYTE>> sources(kColdFrames, std::vector<BYTE>(bytes, 1));
    const char* path = "/dev/shm/kelvra-bench-plain";
    std::FILE* file = std::fopen(path, "wb");
    std::setvbuf(file, nullptr, _IONBF, 0);
    size_t next = 0, written = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::fwrite(sources[next].data(), 1, bytes, file));
        next = (next + 1) % sources.size();
        if (++written == 64) {
            state.PauseTiming();
            std::fclose(file);
            file = std::fopen(path, "wb");
            std::setvbuf(file, nullptr, _IONBF, 0);
            written = 0;
            state.ResumeTiming();
        }
    }
    std::fclose(file);
    std::remove(path);
}

// The yardstick: one copy of a movie frame's bytes from memory the caches do not hold.
void BM_ColdCopyOfAMovieFrame(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(DibStride(kWidth, 24)) * kHeight;
    std::vector<std::vector<BYTE>> sources(kColdFrames, std::vector<BYTE>(bytes, 1));
    std::vector<BYTE> destination(bytes);
    size_t next = 0;
    for (auto _ : state) {
        std::memcpy(destination.data(), sources[next].data(), bytes);
        benchmark::ClobberMemory();
        next = (next + 1) % sources.size();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}

}  // namespace

BENCHMARK(BM_PngOurs)->Arg(16)->Arg(48)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngLibraryDefaults)->Arg(16)->Arg(48)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffOurs)->Arg(16)->Arg(48)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffLibraryDefaults)->Arg(16)->Arg(48)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegOurs)->Arg(16)->Arg(48)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegLibraryDefaults)->Arg(16)->Arg(48)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpAndRaw)->Arg(16)->Arg(48)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AviAppendFrame)->Arg(16)->Arg(48)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AviFrameConversion)->Arg(16)->Arg(48)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AviAddFrameOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainWriteOfAMovieFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColdCopyOfAMovieFrame)->Unit(benchmark::kMillisecond);
