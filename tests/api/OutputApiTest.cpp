// Still images and movies through the public API, from simulated cameras: every file type of the
// last frame opened by Pillow, and movies that end by their duration, by StopPreview, by a camera
// that goes away, by a full disk and by releasing the handle, each a whole file for ffprobe.
#ifndef _WIN32
#include "FileSizeLimit.h"
#endif
#include "SdkTestSupport.h"
#include "api/CSdkChain.h"
#include "output/FileReaders.h"
#include "session/CKelvra.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;
using readers::Trimmed;
using readers::U32At;

class OutputApi : public SdkTest {
protected:
    static constexpr int32_t kMovieWidth = 1280;
    static constexpr int32_t kMovieHeight = 1024;
    static constexpr int kMovieRate = 10;
    static constexpr uint32_t kChunkBytes = kMovieWidth * kMovieHeight * 3 + 8;

    void SetUp() override {
        SdkTest::SetUp();
        camera = Attach();
        handle = Open();
        ASSERT_EQ(Drain(handle), std::vector<int32_t>{});
        ASSERT_EQ(Kelvra_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0), 1);
    }

    std::shared_ptr<CKelvra> Session() const { return CSdkChain::Instance().Lookup(handle); }

    // The 880HQLN sends whole frames of 3.75 MiB only: a slow camera keeps the movies small.
    void SlowCamera() { ASSERT_EQ(KelvraSim_SetFrameRate(camera, kMovieRate), 1); }

    bool RecorderEnds(std::chrono::seconds limit = std::chrono::seconds(10)) const {
        const auto session = Session();
        const auto giveUp = Clock::now() + limit;
        while (session->recorder.recordRun.load() != 0) {
            if (Clock::now() > giveUp) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    // A movie is whole when its sizes, its frame count and what ffmpeg reads agree. Long movies
    // carry the OpenDML header, so the "movi" list is found behind whatever "hdrl" holds.
    static uint32_t ExpectWholeMovie(const std::string& path) {
        const auto bytes = readers::ReadAll(path);
        if (bytes.size() < 232) {
            ADD_FAILURE() << path << " has " << bytes.size() << " bytes";
            return 0;
        }
        EXPECT_EQ(U32At(bytes, 4), bytes.size() - 8);
        const uint32_t frames = U32At(bytes, 140);
        EXPECT_EQ(U32At(bytes, 48), frames);
        const size_t movi = 20 + U32At(bytes, 16);
        EXPECT_EQ(readers::TagAt(bytes, movi) + readers::TagAt(bytes, movi + 8), "LISTmovi");
        const size_t moviEnd = movi + 8 + U32At(bytes, movi + 4);
        EXPECT_GE(moviEnd, movi + 12 + static_cast<size_t>(frames) * kChunkBytes);
        EXPECT_EQ(readers::TagAt(bytes, moviEnd), "idx1");
        EXPECT_EQ(U32At(bytes, moviEnd + 4), 16 * frames);
        EXPECT_EQ(Trimmed(readers::Probe(path, "nb_read_frames", true)), std::to_string(frames));
        return frames;
    }

    readers::TemporaryFolder folder;
    int camera = 0;
    int32_t handle = 0;
};

TEST_F(OutputApi, SavedFilesOfTheLastFrameShowItsTopRowAtTheTop) {
    const std::string png = folder.File("frame.png");
    EXPECT_EQ(Kelvra_SaveImage(handle, png.c_str(), KELVRA_IMAGE_PNG), 0);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{KELVRA_ERR_NOT_READY});
    EXPECT_FALSE(std::filesystem::exists(png));

    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_RAMP_V, 5);
    ASSERT_EQ(Kelvra_SnapShot(handle, nullptr, 0, 1), 1);
    const std::string bottom = std::to_string(1023 * 5);
    for (int type : {KELVRA_IMAGE_PNG, KELVRA_IMAGE_TIFF}) {
        const std::string path = folder.File("frame" + std::to_string(type));
        ASSERT_EQ(Kelvra_SaveImage(handle, path.c_str(), type), 1) << type;
        const auto facts = readers::Inspect(path);
        ASSERT_EQ(facts.count("size"), 1u) << type;
        EXPECT_EQ(facts.at("size"), "1280x1024");
        EXPECT_EQ(facts.at("topLeft"), "0");
        EXPECT_EQ(facts.at("bottomLeft"), bottom);
    }
    for (int type : {KELVRA_IMAGE_JPEG_HIGH, KELVRA_IMAGE_JPEG_MEDIUM, KELVRA_IMAGE_JPEG_LOW}) {
        const std::string path = folder.File("frame" + std::to_string(type) + ".jpg");
        ASSERT_EQ(Kelvra_SaveImage(handle, path.c_str(), type), 1) << type;
        const auto facts = readers::Inspect(path);
        EXPECT_EQ(facts.at("mode"), "L");
        EXPECT_NEAR(std::stoi(facts.at("bottomLeft")), 1023 * 5 >> 8, 3) << type;
        EXPECT_NEAR(std::stoi(facts.at("topLeft")), 0, 3) << type;
    }
    const std::string raw = folder.File("frame.raw"), bmp = folder.File("frame.bmp");
    ASSERT_EQ(Kelvra_SaveImage(handle, raw.c_str(), KELVRA_IMAGE_RAW), 1);
    EXPECT_EQ(std::filesystem::file_size(raw), 2621440u);
    ASSERT_EQ(Kelvra_SaveImage(handle, bmp.c_str(), KELVRA_IMAGE_BMP), 1);
    const auto bmpBytes = readers::ReadAll(bmp);
    ASSERT_EQ(bmpBytes.size(), 54u + 2621440u);
    EXPECT_EQ(bmpBytes[54] | bmpBytes[55] << 8, 1023 * 5);  // bottom-up: the last row first

    const std::string unknown = folder.File("frame.7");
    EXPECT_EQ(Kelvra_SaveImage(handle, unknown.c_str(), 7), 0);
    EXPECT_FALSE(std::filesystem::exists(unknown));
    EXPECT_EQ(Kelvra_SaveImage(handle, nullptr, KELVRA_IMAGE_PNG), 0);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{KELVRA_ERR_PARAMETER});

    // The wide variant takes the path in the ANSI code page, UTF-8 here.
    const std::wstring wide = L"bild-\u00e4.png";
    const std::string wideFolder = folder.File("");
    ASSERT_EQ(Kelvra_SaveImageW(handle, (std::wstring(wideFolder.begin(), wideFolder.end()) + wide).c_str(),
                                KELVRA_IMAGE_PNG),
              1);
    EXPECT_TRUE(std::filesystem::exists(folder.File("bild-\xc3\xa4.png")));
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{});
}

TEST_F(OutputApi, ColourFramesAreSavedWithSixteenBitsASampleInRgbOrder) {
    Session()->format.colourMode = 4;
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_FLAT, 0x3000);
    ASSERT_EQ(Kelvra_SnapShot(handle, nullptr, 0, 1), 1);
    const std::string png = folder.File("colour.png"), tiff = folder.File("colour.tif");
    ASSERT_EQ(Kelvra_SaveImage(handle, png.c_str(), KELVRA_IMAGE_PNG), 1);
    ASSERT_EQ(Kelvra_SaveImage(handle, tiff.c_str(), KELVRA_IMAGE_TIFF), 1);
    EXPECT_EQ(readers::Run("pngcheck -q " + readers::Quote(png)).status, 0);
    const auto facts = readers::Inspect(png);
    EXPECT_EQ(facts.at("bitDepth"), "16");
    EXPECT_EQ(facts.at("colourType"), "2");
    EXPECT_EQ(readers::Inspect(tiff).at("bitsPerSample"), "16,16,16");
}

TEST_F(OutputApi, ARecordingOfItsDurationHoldsTheFramesWithTheMeasuredRate) {
    EXPECT_EQ(Kelvra_Record(handle, "", 1000, 0), 0);
    EXPECT_EQ(Kelvra_Record(handle, nullptr, 1000, 0), 0);
    EXPECT_EQ(Kelvra_Record(handle, folder.File("negative.avi").c_str(), -1, 0), 0);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>(3, KELVRA_ERR_PARAMETER));
    EXPECT_FALSE(std::filesystem::exists(folder.File("negative.avi")));

    SlowCamera();
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_RAMP_V, 256);
    const std::string path = folder.File("movie.avi");
    ASSERT_EQ(Kelvra_Record(handle, path.c_str(), 1200, 0), 1);
    // A second recording would reopen the file under the running recorder.
    EXPECT_EQ(Kelvra_Record(handle, folder.File("second.avi").c_str(), 1000, 0), 0);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{KELVRA_ERR_NOT_READY});
    ASSERT_TRUE(RecorderEnds());
    EXPECT_EQ(Kelvra_StopPreview(handle), 1);

    const uint32_t frames = ExpectWholeMovie(path);
    // 1.2 s at 10 frames a second; a loaded machine or a sanitizer build processes fewer.
    EXPECT_GE(frames, 4u);
    EXPECT_LE(frames, 16u);
    const auto bytes = readers::ReadAll(path);
    // The measured rate, not the nominal 30 a second: about the camera's 10 frames a second (the
    // rate counts the frames over the time from the first to the last, so frames that bunch up on
    // a loaded machine read a little faster; a slow build may process fewer).
    EXPECT_GT(U32At(bytes, 32), 60000u);
    EXPECT_LT(U32At(bytes, 32), 1000000u);
    EXPECT_EQ(U32At(bytes, 60), kChunkBytes);
    EXPECT_EQ(Trimmed(readers::Probe(path, "width,height")), "1280\n1024");
    // Grey 16-bit frames show their high byte: row y of the ramp is y.
    const auto decoded = readers::DecodeRgb(path);
    ASSERT_GE(decoded.size(), size_t{kMovieWidth} * kMovieHeight * 3);
    for (int32_t y : {0, 1, 100, 255}) {
        for (int32_t x : {0, kMovieWidth - 1}) {
            const size_t at = (static_cast<size_t>(y) * kMovieWidth + x) * 3;
            EXPECT_EQ(decoded[at], y) << x << "," << y;
            EXPECT_EQ(decoded[at + 2], y) << x << "," << y;
        }
    }
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{});
    // The recorder ended by itself; the next recording starts without StopPreview.
    const std::string again = folder.File("again.avi");
    ASSERT_EQ(Kelvra_Record(handle, again.c_str(), 100, 0), 1);
    ASSERT_TRUE(RecorderEnds());
    EXPECT_GE(ExpectWholeMovie(again), 1u);
}

TEST_F(OutputApi, StoppingThePreviewOrLosingTheCameraEndsTheMovieWithAWholeFile) {
    SlowCamera();
    const std::string stopped = folder.File("stopped.avi");
    ASSERT_EQ(Kelvra_Record(handle, stopped.c_str(), 600000, 0), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    ASSERT_EQ(Kelvra_StopPreview(handle), 1);
    EXPECT_GE(ExpectWholeMovie(stopped), 3u);

    const std::string lost = folder.File("lost.avi");
    ASSERT_EQ(Kelvra_Record(handle, lost.c_str(), 600000, 0), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    ASSERT_EQ(KelvraSim_Unplug(camera), 1);
    EXPECT_TRUE(RecorderEnds());
    EXPECT_GE(ExpectWholeMovie(lost), 3u);
    EXPECT_EQ(Kelvra_StopPreview(handle), 1);
}

TEST_F(OutputApi, ReleasingTheHandleFinishesTheMovie) {
    SlowCamera();
    const std::string path = folder.File("released.avi");
    ASSERT_EQ(Kelvra_Record(handle, path.c_str(), 600000, 0), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    ASSERT_EQ(Kelvra_Release(handle), 1);
    handles.clear();
    EXPECT_GE(ExpectWholeMovie(path), 3u);
}

// A full disk is stood in for by the process's file size limit, which Windows does not have.
#ifndef _WIN32
TEST_F(OutputApi, AFullDiskEndsTheRecordingWithAnErrorAndThePreviewGoesOn) {
    SlowCamera();
    const std::string path = folder.File("full.avi");
    bool ended = false;
    {
        // The headers, five frames and their index fit; the writes after them fail.
        const FileSizeLimit disk(5 * kChunkBytes + kChunkBytes / 2);
        ASSERT_EQ(Kelvra_Record(handle, path.c_str(), 600000, 0), 1);
        ended = RecorderEnds(std::chrono::seconds(20));
    }
    ASSERT_TRUE(ended);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{KELVRA_ERR_FAILED});
    const uint32_t frames = ExpectWholeMovie(path);
    EXPECT_EQ(frames, 5u);
    // The preview still delivers frames.
    const long sent = KelvraSim_FramesSent(camera);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_GT(KelvraSim_FramesSent(camera), sent);
    EXPECT_EQ(Session()->acquisition.acquisitionState.load(), 1);
    EXPECT_EQ(Kelvra_StopPreview(handle), 1);
}
#endif

}  // namespace
