// AVI movies as ffprobe and ffmpeg read them, and the header fields of the file table at their
// offsets: the classic layout of a short movie, rows of widths that need padding, movies that go
// on past one RIFF list, the measured rate, and a disk that fills up during the recording.
#ifndef _WIN32
#include "FileSizeLimit.h"
#endif
#include "output/AviFrame.h"
#include "output/AviWriter.h"
#include "output/TestPictures.h"
#include "output/FileReaders.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

using readers::Trimmed;
using readers::U32At;

// Frame k of a w x h movie, bottom-up as a DIB: at picture column x and row y (from the top)
// red x * 4, green y * 4, blue k (all modulo 256).
std::vector<BYTE> Frame(int32_t w, int32_t h, int k) {
    const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
    std::vector<BYTE> pixels(stride * static_cast<size_t>(h), 0xEE);  // padding that must not show
    for (int32_t y = 0; y < h; ++y) {
        BYTE* row = pixels.data() + stride * static_cast<size_t>(h - 1 - y);
        for (int32_t x = 0; x < w; ++x) {
            row[3 * x] = static_cast<BYTE>(k);
            row[3 * x + 1] = static_cast<BYTE>(y * 4);
            row[3 * x + 2] = static_cast<BYTE>(x * 4);
        }
    }
    return pixels;
}

// Compares every frame ffmpeg decodes with Frame(); the count of frames it decoded.
int DecodedFramesMatching(const std::string& path, int32_t w, int32_t h) {
    const std::vector<uint8_t> decoded = readers::DecodeRgb(path);
    const size_t frameBytes = static_cast<size_t>(w) * static_cast<size_t>(h) * 3;
    EXPECT_EQ(decoded.size() % frameBytes, 0u);
    int frames = 0;
    for (size_t at = 0; at + frameBytes <= decoded.size(); at += frameBytes, ++frames) {
        for (int32_t y : {0, h - 1}) {
            for (int32_t x : {0, w - 1}) {
                const uint8_t* p = decoded.data() + at + (static_cast<size_t>(y) * w + x) * 3;
                EXPECT_EQ(p[0], static_cast<uint8_t>(x * 4)) << "frame " << frames << " at " << x << "," << y;
                EXPECT_EQ(p[1], static_cast<uint8_t>(y * 4)) << "frame " << frames << " at " << x << "," << y;
                EXPECT_EQ(p[2], static_cast<uint8_t>(frames)) << "frame " << frames << " at " << x << "," << y;
            }
        }
    }
    return frames;
}

class AviMovies : public ::testing::Test {
protected:
    std::string Record(int32_t w, int32_t h, int frames, bool openDml = false, uint64_t riffLimit = 0) {
        const std::string path = folder.File("movie" + std::to_string(++movies) + ".avi");
        AviWriter avi;
        if (riffLimit != 0) avi.SetRiffLimit(riffLimit);
        EXPECT_TRUE(avi.OpenAvi(path.c_str(), w, h, openDml));
        for (int k = 0; k < frames; ++k) EXPECT_TRUE(avi.AddAviFrame(Frame(w, h, k).data()));
        EXPECT_TRUE(avi.CloseAvi());
        return path;
    }
    readers::TemporaryFolder folder;
    int movies = 0;
};

TEST_F(AviMovies, ATwoFrameVgaMovieHasTheLayoutOfTheFileTable) {
    const std::string path = Record(640, 480, 2);
    const auto bytes = readers::ReadAll(path);
    constexpr uint32_t kChunk = 921608;
    ASSERT_EQ(bytes.size(), 232u + 2 * kChunk + 8 + 32);
    EXPECT_EQ(readers::TagAt(bytes, 0), "RIFF");
    EXPECT_EQ(U32At(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(readers::TagAt(bytes, 8), "AVI ");
    EXPECT_EQ(readers::TagAt(bytes, 12) + std::to_string(U32At(bytes, 16)) + readers::TagAt(bytes, 20), "LIST200hdrl");
    EXPECT_EQ(readers::TagAt(bytes, 24), "avih");
    EXPECT_EQ(U32At(bytes, 32), 33333u);  // microseconds a frame at the nominal 30 per second
    EXPECT_EQ(U32At(bytes, 36), kChunk * 30);
    EXPECT_EQ(U32At(bytes, 44), 0x10010u);
    EXPECT_EQ(U32At(bytes, 48), 2u);
    EXPECT_EQ(U32At(bytes, 56), 1u);
    EXPECT_EQ(U32At(bytes, 60), kChunk);  // suggested buffer
    EXPECT_EQ(U32At(bytes, 64), 640u);
    EXPECT_EQ(U32At(bytes, 68), 480u);
    EXPECT_EQ(readers::TagAt(bytes, 88) + std::to_string(U32At(bytes, 92)) + readers::TagAt(bytes, 96), "LIST124strl");
    EXPECT_EQ(readers::TagAt(bytes, 108) + readers::TagAt(bytes, 112), "vidsDIB ");
    EXPECT_EQ(U32At(bytes, 128), 333333u);
    EXPECT_EQ(U32At(bytes, 132), 10000000u);
    EXPECT_EQ(U32At(bytes, 140), 2u);
    EXPECT_EQ(U32At(bytes, 144), kChunk);
    EXPECT_EQ(readers::TagAt(bytes, 172), "strf");
    EXPECT_EQ(U32At(bytes, 184), 640u);
    EXPECT_EQ(U32At(bytes, 192), 24u << 16 | 1u);  // one plane of 24 bits
    EXPECT_EQ(readers::TagAt(bytes, 220) + readers::TagAt(bytes, 228), "LISTmovi");
    EXPECT_EQ(U32At(bytes, 224), 4 + 2 * kChunk);
    EXPECT_EQ(readers::TagAt(bytes, 232), "00db");
    EXPECT_EQ(U32At(bytes, 236), kChunk - 8);
    const size_t index = 232 + 2 * kChunk;
    EXPECT_EQ(readers::TagAt(bytes, index), "idx1");
    EXPECT_EQ(U32At(bytes, index + 4), 32u);
    for (int k = 0; k < 2; ++k) {
        const size_t entry = index + 8 + 16 * k;
        EXPECT_EQ(readers::TagAt(bytes, entry), "00db");
        EXPECT_EQ(U32At(bytes, entry + 4), 16u);
        EXPECT_EQ(U32At(bytes, entry + 8), k == 0 ? 4u : 921612u);
        EXPECT_EQ(U32At(bytes, entry + 12), kChunk - 8);
    }
    EXPECT_EQ(Trimmed(readers::Probe(path, "width,height,nb_frames")), "640\n480\n2");
    EXPECT_EQ(DecodedFramesMatching(path, 640, 480), 2);
}

TEST_F(AviMovies, RowsOfOddWidthsArePaddedAsInADibAndDecodeUnsheared) {
    for (int32_t width : {13, 14, 15}) {
        SCOPED_TRACE(width);
        const std::string path = Record(width, 7, 3);
        const auto bytes = readers::ReadAll(path);
        const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
        EXPECT_EQ(U32At(bytes, 236), stride * 7);
        EXPECT_EQ(U32At(bytes, 60), stride * 7 + 8);
        EXPECT_EQ(Trimmed(readers::Probe(path, "nb_read_frames", true)), "3");
        EXPECT_EQ(DecodedFramesMatching(path, width, 7), 3);
    }
}

TEST_F(AviMovies, TheMeasuredRateGoesIntoTheHeadersAndARateOfZeroKeepsTheNominalOne) {
    struct Case {
        uint32_t rate;
        uint32_t microseconds;
        uint32_t scale;
        double probed;  // frames a second
    };
    for (const Case& c : {Case{3000, 33333, 333333, 30.0}, Case{2500, 40000, 400000, 25.0},
                          Case{0, 33333, 333333, 30.0}, Case{1, 100000000, 1000000000, 0.01}}) {
        SCOPED_TRACE(c.rate);
        const std::string path = folder.File("rate.avi");
        AviWriter avi;
        ASSERT_TRUE(avi.OpenAvi(path.c_str(), 16, 8));
        ASSERT_TRUE(avi.AddAviFrame(Frame(16, 8, 0).data()));
        avi.SetFrameRate(c.rate);
        ASSERT_TRUE(avi.CloseAvi());
        const auto bytes = readers::ReadAll(path);
        EXPECT_EQ(U32At(bytes, 32), c.microseconds);
        EXPECT_EQ(U32At(bytes, 128), c.scale);
        const std::string rate = Trimmed(readers::Probe(path, "r_frame_rate"));
        const size_t slash = rate.find('/');
        ASSERT_NE(slash, std::string::npos) << rate;
        EXPECT_NEAR(std::stod(rate.substr(0, slash)) / std::stod(rate.substr(slash + 1)), c.probed, c.probed / 1000);
    }
}

TEST(AviRates, TheMeasuredRateIsFramesPerHundredSecondsInSixtyFourBits) {
    EXPECT_EQ(AviWriter::MeasuredRate(30, 1000), 3000u);
    // 43 000 frames x 100 000 passes 32 bits.
    EXPECT_EQ(AviWriter::MeasuredRate(43000, 1433333), 3000u);
    EXPECT_EQ(AviWriter::MeasuredRate(1, 0), 0u);       // one frame has no duration
    EXPECT_EQ(AviWriter::MeasuredRate(5, 600000), 0u);  // under one frame in 100 s...
    AviWriter avi;
    avi.SetFrameRate(AviWriter::MeasuredRate(5, 600000));
    EXPECT_EQ(avi.FrameRate(), AviWriter::kNominalRate);  // ...keeps the nominal rate
}

// The top-level RIFF lists of a movie: their forms and sizes.
std::vector<std::pair<std::string, uint32_t>> RiffLists(const std::vector<uint8_t>& bytes) {
    std::vector<std::pair<std::string, uint32_t>> lists;
    for (size_t at = 0; at + 12 <= bytes.size(); at += 8 + static_cast<size_t>(U32At(bytes, at + 4))) {
        EXPECT_EQ(readers::TagAt(bytes, at), "RIFF");
        lists.emplace_back(readers::TagAt(bytes, at + 8), U32At(bytes, at + 4));
    }
    return lists;
}

TEST_F(AviMovies, AMovieLargerThanOneRiffGoesOnInAvixListsThatFfmpegReads) {
    constexpr uint64_t kLimit = 40 * 1024;  // the OpenDML header alone takes 16 KiB
    constexpr int kFrames = 150;
    for (bool openDml : {false, true}) {
        SCOPED_TRACE(openDml ? "with the OpenDML header" : "classic header");
        const std::string path = Record(32, 16, kFrames, openDml, kLimit);
        const auto bytes = readers::ReadAll(path);
        const auto lists = RiffLists(bytes);
        ASSERT_GT(lists.size(), 5u);
        EXPECT_EQ(lists[0].first, "AVI ");
        for (size_t i = 1; i < lists.size(); ++i) EXPECT_EQ(lists[i].first, "AVIX");
        for (const auto& list : lists) EXPECT_LE(list.second + 8u, kLimit);
        EXPECT_EQ(U32At(bytes, 140), static_cast<uint32_t>(kFrames));  // the stream's length counts all
        EXPECT_EQ(Trimmed(readers::Probe(path, "nb_read_frames", true)), std::to_string(kFrames));
        EXPECT_EQ(DecodedFramesMatching(path, 32, 16), kFrames);
        if (openDml) {
            // Readers that know OpenDML take the total from "dmlh" and seek through the super index.
            EXPECT_EQ(Trimmed(readers::Probe(path, "nb_frames")), std::to_string(kFrames));
            const auto seeked = readers::Run("ffmpeg -v error -ss 2.5 -i " + readers::Quote(path) +
                                             " -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
            ASSERT_EQ(seeked.output.size(), 32u * 16 * 3);
            EXPECT_EQ(static_cast<uint8_t>(seeked.output[2]), 75);  // frame 75 at 30 frames a second
        }
    }
}

// A full disk is stood in for by the process's file size limit, which Windows does not have.
#ifndef _WIN32
TEST_F(AviMovies, AFullDiskEndsTheMovieAfterItsLastWholeFrameWithConsistentHeaders) {
    // 64 x 32 frames take 6152 bytes a chunk: eight fit below either limit, and the index of
    // eight frames (136 bytes) fits below the first limit but not the second.
    for (rlim_t limit : {50000, 49500}) {
        SCOPED_TRACE(limit);
        const std::string path = folder.File("full.avi");
        AviWriter avi;
        int written = 0;
        {
            FileSizeLimit full(limit);
            ASSERT_TRUE(avi.OpenAvi(path.c_str(), 64, 32));
            while (written < 20 && avi.AddAviFrame(Frame(64, 32, written).data())) ++written;
            EXPECT_FALSE(avi.AddAviFrame(Frame(64, 32, written).data()));  // no frame after a failure
            EXPECT_FALSE(avi.CloseAvi());
        }
        EXPECT_EQ(written, 8);
        const auto bytes = readers::ReadAll(path);
        EXPECT_EQ(U32At(bytes, 4), bytes.size() - 8);
        EXPECT_EQ(U32At(bytes, 48), 8u);
        EXPECT_EQ(U32At(bytes, 140), 8u);
        EXPECT_EQ(U32At(bytes, 224), 4u + 8 * 6152);
        const bool indexed = limit == 50000;
        EXPECT_EQ(bytes.size(), 232u + 8 * 6152 + (indexed ? 136 : 0));
        EXPECT_EQ(U32At(bytes, 44) & 0x10, indexed ? 0x10u : 0u);  // "has an index"
        EXPECT_EQ(Trimmed(readers::Probe(path, "nb_read_frames", true)), "8");
        EXPECT_EQ(DecodedFramesMatching(path, 64, 32), 8);
    }
}
#endif

TEST(AviFrames, EveryOutputDepthBecomesBottomUpBlueGreenRedOfItsTopBytes) {
    // Widths with and without a tail past the last whole group of sixteen pixels.
    for (int32_t width : {37, 48}) {
        for (int32_t depth : {8, 16, 24, 32, 48, 64}) {
            SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(depth));
            pictures::Picture picture(depth, width);
            pictures::Paint(picture);
            pictures::Picture frame(24, width);
            ASSERT_TRUE(MakeAviFrame(picture.image, frame.image));
            for (int32_t y : {0, 15, 16, pictures::kHeight - 1}) {
                for (int32_t x = 0; x < width; ++x) {
                    const int q = pictures::Quadrant(x, y);
                    const int grey = pictures::kGreys[q];
                    const pictures::Rgb c = pictures::kColours[q];
                    const BYTE* p = frame.At(x, pictures::kHeight - 1 - y);  // the movie's rows go bottom-up
                    const bool isGrey = depth <= 16;
                    ASSERT_EQ(p[0], isGrey ? grey : c.b) << x << "," << y;
                    ASSERT_EQ(p[1], isGrey ? grey : c.g) << x << "," << y;
                    ASSERT_EQ(p[2], isGrey ? grey : c.r) << x << "," << y;
                }
            }
        }
    }
    pictures::Picture frame(24, 10, 10), other(16, 11, 10);
    EXPECT_FALSE(MakeAviFrame(other.image, frame.image));  // the sizes differ
}

TEST_F(AviMovies, AFileThatCannotBeCreatedOpensNothing) {
    AviWriter avi;
    EXPECT_FALSE(avi.OpenAvi(folder.File("missing/folder/movie.avi").c_str(), 16, 8));
    EXPECT_FALSE(avi.IsOpen());
    EXPECT_FALSE(avi.AddAviFrame(Frame(16, 8, 0).data()));
    EXPECT_FALSE(avi.OpenAvi(folder.File("empty.avi").c_str(), 0, 8));
}

}  // namespace
