// The corrections that work from calibration data, on small frames of known content: the dot
// filter, the shading (mask) filter, the defect maps made from the planes, and the defect list
// with capture windows and hardware mirrors.
#include "imaging/DibImage.h"
#include "session/CKelvra.h"
#include "session/DefectList.h"
#include "session/FrameCorrections.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int32_t kSensorWidth = 1280;
constexpr int32_t kSensorHeight = 1024;

uint32_t Sample(const DibImage& image, int32_t x, int32_t row) {
    const BYTE* line = image.bits + static_cast<size_t>(row) * image.stride;
    if (image.bitsPerPixel == 16) return reinterpret_cast<const uint16_t*>(line)[x];
    return line[x];
}

void SetSample(DibImage& image, int32_t x, int32_t row, uint32_t value) {
    BYTE* line = image.bits + static_cast<size_t>(row) * image.stride;
    if (image.bitsPerPixel == 16) {
        reinterpret_cast<uint16_t*>(line)[x] = static_cast<uint16_t>(value);
    } else {
        line[x] = static_cast<BYTE>(value);
    }
}

void Fill(DibImage& image, uint32_t value) {
    for (int32_t y = 0; y < image.height; ++y)
        for (int32_t x = 0; x < image.width; ++x) SetSample(image, x, y, value);
}

// Each pixel (x, y) = x + 16 y, so every value tells where it came from.
void FillPositions(DibImage& image) {
    for (int32_t y = 0; y < image.height; ++y)
        for (int32_t x = 0; x < image.width; ++x) SetSample(image, x, y, static_cast<uint32_t>(x + 16 * y));
}

// Values that no mean of neighbours gives back: (x, y) = 3 x^2 + 5 y^2 + 1.
void FillCurved(DibImage& image) {
    for (int32_t y = 0; y < image.height; ++y)
        for (int32_t x = 0; x < image.width; ++x)
            SetSample(image, x, y, static_cast<uint32_t>(3 * x * x + 5 * y * y + 1));
}

// A session as initialisation leaves it (planes and maps at sensor size, neutral), with no
// camera, and a raw frame of the asked size.
class CalibrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.images.MakeAll());
        ASSERT_TRUE(session.images.CreateCalibrationPlanes(kSensorWidth, kSensorHeight));
    }

    DibImage& Raw(int32_t width, int32_t height, uint16_t bits) {
        OwnedImage& raw = bits == 16 ? session.images.raw16 : session.images.raw8;
        EXPECT_TRUE(CreateImage(raw.get(), width, height, bits));
        session.format.colourMode = bits == 16 ? 1 : 0;
        session.format.width = width;
        session.format.height = height;
        return *raw;
    }

    void DotFilter(DibImage& raw) {
        const CriticalSectionGuard hold(session.corrections.imageLock);
        ApplyDotFilter(session, raw);
    }

    void MaskFilter(DibImage& raw) {
        const CriticalSectionGuard hold(session.corrections.imageLock);
        ApplyMaskFilter(session, raw);
    }

    CKelvra session;
};

TEST_F(CalibrationTest, DotFilterReplacesOutliersByTheirNearestUnmarkedNeighbours) {
    DibImage& raw = Raw(12, 9, 8);
    Fill(raw, 50);
    SetSample(raw, 3, 3, 100);  // 50 above its neighbours' mean: replaced
    SetSample(raw, 8, 3, 79);   // 29 above: kept
    SetSample(raw, 3, 6, 20);   // 30 below: replaced
    // Two outliers side by side: each takes the nearest unmarked pixel on that side, so the
    // left one draws from column 5 and the right one from column 8.
    SetSample(raw, 6, 6, 100);
    SetSample(raw, 7, 6, 100);
    SetSample(raw, 5, 6, 40);
    SetSample(raw, 8, 6, 60);
    // The outermost rows and columns are never marked, however far off they are.
    SetSample(raw, 0, 4, 255);
    SetSample(raw, 5, 0, 255);
    DotFilter(raw);

    EXPECT_EQ(Sample(raw, 3, 3), 50u);
    EXPECT_EQ(Sample(raw, 8, 3), 79u);
    EXPECT_EQ(Sample(raw, 3, 6), 50u);
    EXPECT_EQ(Sample(raw, 6, 6), (40u + 60 + 50 + 50) / 4);
    EXPECT_EQ(Sample(raw, 7, 6), (40u + 60 + 50 + 50) / 4);
    EXPECT_EQ(Sample(raw, 0, 4), 255u);
    EXPECT_EQ(Sample(raw, 5, 0), 255u);
}

TEST_F(CalibrationTest, DotFilterAt16BitsUsesItsThresholdAndTheHotAndDeadMaps) {
    DibImage& raw = Raw(10, 8, 16);
    Fill(raw, 4000);
    SetSample(raw, 2, 2, 4480);  // 480 off: replaced
    SetSample(raw, 6, 2, 4479);  // 479 off: kept
    // Pixels of the maps are replaced even when they look like their neighbours; the maps are at
    // sensor size and this frame is the window's top-left corner.
    SetSample(*session.images.dark16, 4, 5, 3073);   // hot
    SetSample(*session.images.white16, 7, 4, 1023);  // dead
    SetSample(raw, 4, 5, 4001);
    SetSample(raw, 3, 5, 3900);
    SetSample(raw, 4, 4, 3980);
    SetSample(raw, 7, 4, 4002);
    {
        const CriticalSectionGuard hold(session.corrections.imageLock);
        RecomputeDefectMaps(session);
    }
    DotFilter(raw);

    EXPECT_EQ(Sample(raw, 2, 2), 4000u);
    EXPECT_EQ(Sample(raw, 6, 2), 4479u);
    EXPECT_EQ(Sample(raw, 4, 5), (3900u + 4000 + 3980 + 4000) / 4);
    EXPECT_EQ(Sample(raw, 7, 4), 4000u);
}

TEST_F(CalibrationTest, DotFilterOfAFrameMarkedWholeTakesTheFrameEdges) {
    // A dark plane hot everywhere marks every pixel inside the maps' border; each then takes the
    // nearest unmarked pixels, two columns and rows in from the edges or the edges themselves.
    // Done naively this costs a frame width per pixel; it has to stay one pass.
    DibImage& raw = Raw(kSensorWidth, kSensorHeight, 16);
    FillPositions(raw);
    Fill(*session.images.dark16, 4000);
    {
        const CriticalSectionGuard hold(session.corrections.imageLock);
        RecomputeDefectMaps(session);
    }
    ASSERT_EQ(session.corrections.mappedDefects16.size(), size_t{1276} * 1020);
    DotFilter(raw);
    // (500, 300): left (1, 300) and right (1278, 300) are the nearest unmapped columns; up
    // (500, 1) and down (500, 1022).
    const uint32_t expected = (1u + 16 * 300 + 1278 + 16 * 300 + 500 + 16 + 500 + 16 * 1022) / 4;
    EXPECT_EQ(Sample(raw, 500, 300), expected);
}

TEST_F(CalibrationTest, DefectMapsMarkTheirThresholdsInsideTheTwoPixelBorder) {
    SessionImages& images = session.images;
    SetSample(*images.dark8, 2, 2, 193);
    SetSample(*images.dark8, 3, 2, 192);
    SetSample(*images.dark8, 1, 2, 255);  // in the border
    SetSample(*images.white8, 1277, 1021, 63);
    SetSample(*images.white8, 1276, 1021, 64);
    SetSample(*images.white8, 1277, 1022, 0);  // in the border
    SetSample(*images.dark16, 500, 600, 3073);
    SetSample(*images.dark16, 501, 600, 3072);
    SetSample(*images.white16, 10, 10, 1023);
    SetSample(*images.white16, 11, 10, 1024);
    {
        const CriticalSectionGuard hold(session.corrections.imageLock);
        RecomputeDefectMaps(session);
    }
    EXPECT_EQ(Sample(*images.hotMap8, 2, 2), 1u);
    EXPECT_EQ(Sample(*images.hotMap8, 3, 2), 0u);
    EXPECT_EQ(Sample(*images.hotMap8, 1, 2), 0u);
    EXPECT_EQ(Sample(*images.deadMap8, 1277, 1021), 1u);
    EXPECT_EQ(Sample(*images.deadMap8, 1276, 1021), 0u);
    EXPECT_EQ(Sample(*images.deadMap8, 1277, 1022), 0u);
    EXPECT_EQ(Sample(*images.hotMap16, 500, 600), 1u);
    EXPECT_EQ(Sample(*images.hotMap16, 501, 600), 0u);
    EXPECT_EQ(Sample(*images.deadMap16, 10, 10), 1u);
    EXPECT_EQ(Sample(*images.deadMap16, 11, 10), 0u);
    // The dot filter's positions follow the maps of each depth.
    const Corrections& corrections = session.corrections;
    ASSERT_EQ(corrections.mappedDefects8.size(), 2u);
    ASSERT_EQ(corrections.mappedDefects16.size(), 2u);

    // A plane set back clears its map and the positions with it.
    SetSample(*images.dark8, 2, 2, 0);
    {
        const CriticalSectionGuard hold(session.corrections.imageLock);
        RecomputeDefectMap(session, 8, MaskPlane::Dark);
    }
    EXPECT_EQ(Sample(*images.hotMap8, 2, 2), 0u);
    EXPECT_EQ(corrections.mappedDefects8.size(), 1u);
}

TEST_F(CalibrationTest, ShadingScalesEachPixelBetweenItsPlanesAt8Bits) {
    DibImage& raw = Raw(8, 6, 8);
    Fill(*session.images.dark8, 10);
    Fill(*session.images.white8, 110);
    Fill(raw, 60);
    SetSample(raw, 1, 1, 5);
    SetSample(raw, 2, 1, 250);
    // Equal planes leave the pixel alone.
    SetSample(*session.images.dark8, 3, 1, 77);
    SetSample(*session.images.white8, 3, 1, 77);
    // A white plane below the dark one still divides, with the sign it gives.
    SetSample(*session.images.dark8, 4, 1, 100);
    SetSample(*session.images.white8, 4, 1, 50);
    SetSample(raw, 4, 1, 75);
    MaskFilter(raw);

    EXPECT_EQ(Sample(raw, 0, 0), 128u);  // (60 - 10) * 256 / 100; a window frame has no border
    EXPECT_EQ(Sample(raw, 1, 1), 0u);
    EXPECT_EQ(Sample(raw, 2, 1), 255u);
    EXPECT_EQ(Sample(raw, 3, 1), 60u);
    EXPECT_EQ(Sample(raw, 4, 1), 128u);  // (75 - 100) * 256 / -50
}

TEST_F(CalibrationTest, ShadingAt16BitsSpreads13BitsAndReadsThePlanesAtTheWindowOffset) {
    // With the planes as initialisation makes them, 13-bit data becomes 16-bit.
    DibImage& raw = Raw(6, 4, 16);
    Fill(raw, 4095);
    SetSample(raw, 1, 1, 9000);
    MaskFilter(raw);
    EXPECT_EQ(Sample(raw, 0, 0), 4095u * 8192 / 8191 * 8);
    EXPECT_EQ(Sample(raw, 1, 1), 8191u * 8);

    // The frame's pixel (x, y) is calibrated by the planes' pixel (x + xOffset, y + yOffset); a
    // dark level not below the white one leaves the pixel.
    session.format.xOffset = 100;
    session.format.yOffset = 50;
    SetSample(*session.images.dark16, 102, 51, 1000);
    SetSample(*session.images.white16, 102, 51, 3000);
    SetSample(*session.images.dark16, 103, 51, 3000);
    SetSample(*session.images.white16, 103, 51, 3000);
    Fill(raw, 2000);
    MaskFilter(raw);
    EXPECT_EQ(Sample(raw, 2, 1), 4096u * 8);
    EXPECT_EQ(Sample(raw, 3, 1), 2000u);
    EXPECT_EQ(Sample(raw, 2, 2), 2000u * 8192 / 8191 * 8);
}

TEST_F(CalibrationTest, ShadingOfAFullSensorFrameLeavesItsTwoPixelBorder) {
    DibImage& raw = Raw(kSensorWidth, kSensorHeight, 8);
    Fill(*session.images.white8, 128);
    Fill(raw, 64);
    MaskFilter(raw);
    EXPECT_EQ(Sample(raw, 1, 500), 64u);
    EXPECT_EQ(Sample(raw, 2, 500), 128u);
    EXPECT_EQ(Sample(raw, kSensorWidth - 3, 2), 128u);
    EXPECT_EQ(Sample(raw, kSensorWidth - 2, 500), 64u);
    EXPECT_EQ(Sample(raw, 600, kSensorHeight - 2), 64u);
    EXPECT_EQ(Sample(raw, 600, kSensorHeight - 3), 128u);
}

TEST_F(CalibrationTest, ThePipelineRunsTheCorrectionsThatAreSwitchedOn) {
    DibImage& raw = Raw(16, 12, 8);
    ASSERT_TRUE(session.pipeline.Prepare(raw));
    session.filters.gamma = 100;
    Fill(raw, 40);
    SetSample(raw, 5, 5, 200);
    session.corrections.defectList.Add(9, 3);
    SetSample(raw, 9, 3, 7);
    // Each switch on its own.
    session.pipeline.Process(session);
    EXPECT_EQ(Sample(raw, 5, 5), 200u);
    EXPECT_EQ(Sample(raw, 9, 3), 7u);
    session.corrections.configFilter = 1;
    session.pipeline.Process(session);
    EXPECT_EQ(Sample(raw, 9, 3), 40u);
    session.corrections.dotFilter = 1;
    session.pipeline.Process(session);
    EXPECT_EQ(Sample(raw, 5, 5), 40u);
    Fill(*session.images.white8, 80);
    session.corrections.maskFilter = 1;
    session.pipeline.Process(session);
    EXPECT_EQ(Sample(raw, 0, 0), 128u);
}

// The defect list on its own.

OwnedImage PositionFrame(int32_t width, int32_t height, uint16_t bits) {
    OwnedImage frame(new DibImage);
    InitImage(frame.get());
    EXPECT_TRUE(CreateImage(frame.get(), width, height, bits));
    FillPositions(*frame);
    return frame;
}

TEST(DefectListTest, RecordsAreWholeEightBytesAndOnlySensorPositionsAreKept) {
    // Two records and four bytes that make no third.
    const uint8_t bytes[20] = {5, 0, 0, 0, 7, 0, 0, 0, 0xFF, 4, 0, 0, 0, 4, 0, 0, 1, 2, 3, 4};
    DefectList list(kSensorWidth, kSensorHeight);
    list.AddRecords(bytes, sizeof bytes);
    ASSERT_EQ(list.Entries().size(), 1u);  // (1279, 1024) lies below the sensor
    EXPECT_EQ(list.Entries()[0].x, 5);
    EXPECT_EQ(list.Entries()[0].y, 7);

    EXPECT_FALSE(list.Add(-1, 0));
    EXPECT_FALSE(list.Add(1280, 0));
    EXPECT_FALSE(list.Add(0, -1));
    EXPECT_FALSE(list.Add(5, 7));  // listed already
    EXPECT_TRUE(list.Add(1279, 1023));
    EXPECT_TRUE(list.Contains(1279, 1023));
    EXPECT_FALSE(list.Contains(1278, 1023));
}

TEST(DefectListTest, HardwareMirrorsAndWindowsPlaceEntriesExactly) {
    DefectList list(kSensorWidth, kSensorHeight);
    list.Add(0, 0);

    // Full frame: (0, 0) is the top-left pixel, or with the camera's horizontal mirror the
    // top-right one, or with its vertical mirror the bottom-left one.
    struct Case {
        bool mirroredH, mirroredV;
        int32_t column, row;
    };
    for (const Case& c : {Case{false, false, 0, 0}, Case{true, false, 1279, 0}, Case{false, true, 0, 1023},
                          Case{true, true, 1279, 1023}}) {
        SCOPED_TRACE(testing::Message() << c.mirroredH << c.mirroredV);
        OwnedImage frame = PositionFrame(kSensorWidth, kSensorHeight, 16);
        OwnedImage untouched = PositionFrame(kSensorWidth, kSensorHeight, 16);
        list.Correct(*frame, DefectGeometry{0, 0, c.mirroredH, c.mirroredV});
        const int32_t across = c.column == 0 ? 1 : c.column - 1;
        const int32_t along = c.row == 0 ? 1 : c.row - 1;
        const uint32_t expected = (Sample(*untouched, across, c.row) + Sample(*untouched, c.column, along)) / 2;
        EXPECT_EQ(Sample(*frame, c.column, c.row), expected);
        SetSample(*frame, c.column, c.row, Sample(*untouched, c.column, c.row));
        EXPECT_EQ(std::memcmp(frame->bits, untouched->bits, static_cast<size_t>(frame->stride) * frame->height), 0);
    }

    // A window of 4 x 3 at (10, 20): entries on each of its edges land on the frame's edges, and
    // entries one outside it are skipped.
    DefectList edges(kSensorWidth, kSensorHeight);
    for (const auto& [x, y] : {std::pair{10, 21}, std::pair{13, 22}, std::pair{12, 20}, std::pair{9, 21},
                               std::pair{14, 21}, std::pair{11, 19}, std::pair{11, 23}}) {
        edges.Add(x, y);
    }
    struct Window {
        bool mirroredH, mirroredV;
        // Frame positions of sensor (10, 21), (13, 22) and (12, 20).
        int32_t leftColumn, leftRow, rightColumn, rightRow, topColumn, topRow;
    };
    for (const Window& w : {Window{false, false, 0, 1, 3, 2, 2, 0}, Window{true, false, 3, 1, 0, 2, 1, 0},
                            Window{false, true, 0, 1, 3, 0, 2, 2}, Window{true, true, 3, 1, 0, 0, 1, 2}}) {
        SCOPED_TRACE(testing::Message() << w.mirroredH << w.mirroredV);
        OwnedImage frame = PositionFrame(4, 3, 8);
        FillCurved(*frame);
        OwnedImage untouched = PositionFrame(4, 3, 8);
        FillCurved(*untouched);
        edges.Correct(*frame, DefectGeometry{10, 20, w.mirroredH, w.mirroredV});
        int changed = 0;
        for (int32_t y = 0; y < 3; ++y)
            for (int32_t x = 0; x < 4; ++x) changed += Sample(*frame, x, y) != Sample(*untouched, x, y);
        EXPECT_EQ(changed, 3);
        EXPECT_NE(Sample(*frame, w.leftColumn, w.leftRow), Sample(*untouched, w.leftColumn, w.leftRow));
        EXPECT_NE(Sample(*frame, w.rightColumn, w.rightRow), Sample(*untouched, w.rightColumn, w.rightRow));
        EXPECT_NE(Sample(*frame, w.topColumn, w.topRow), Sample(*untouched, w.topColumn, w.topRow));
    }
}

// The correction as first described: each entry in list order scans outwards pixel by pixel
// for the nearest unlisted neighbour inside the frame.
void ScanningCorrection(DibImage& frame, const std::vector<DefectPixel>& entries, const DefectList& list,
                        const DefectGeometry& g) {
    const auto sensorX = [&](int32_t c) { return g.mirroredH ? g.xOffset + frame.width - 1 - c : g.xOffset + c; };
    const auto sensorY = [&](int32_t r) { return g.mirroredV ? g.yOffset + frame.height - 1 - r : g.yOffset + r; };
    const auto listed = [&](int32_t c, int32_t r) { return list.Contains(sensorX(c), sensorY(r)); };
    for (const DefectPixel& entry : entries) {
        const int32_t c = g.mirroredH ? g.xOffset + frame.width - 1 - entry.x : entry.x - g.xOffset;
        const int32_t r = g.mirroredV ? g.yOffset + frame.height - 1 - entry.y : entry.y - g.yOffset;
        if (c < 0 || r < 0 || c >= frame.width || r >= frame.height) continue;
        uint32_t sum = 0, count = 0;
        const int32_t steps[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
        for (const auto& step : steps) {
            for (int32_t j = c + step[0], k = r + step[1]; j >= 0 && k >= 0 && j < frame.width && k < frame.height;
                 j += step[0], k += step[1]) {
                if (!listed(j, k)) {
                    sum += Sample(frame, j, k);
                    ++count;
                    break;
                }
            }
        }
        if (count) SetSample(frame, c, r, sum / count);
    }
}

TEST(DefectListTest, DenseRandomListsCorrectAsAPixelByPixelScanDoes) {
    std::mt19937 random(17);
    for (int trial = 0; trial < 60; ++trial) {
        const DefectGeometry geometry{static_cast<int32_t>(random() % 6), static_cast<int32_t>(random() % 6),
                                      (random() & 1) != 0, (random() & 1) != 0};
        const int32_t width = 3 + static_cast<int32_t>(random() % 12);
        const int32_t height = 3 + static_cast<int32_t>(random() % 10);
        SCOPED_TRACE(testing::Message() << "trial " << trial);
        // Half of a region a little larger than the window, in no particular order.
        DefectList list(kSensorWidth, kSensorHeight);
        for (int i = 0; i < width * height; ++i) {
            list.Add(static_cast<int32_t>(random() % 22), static_cast<int32_t>(random() % 18));
        }
        const std::vector<DefectPixel> inFileOrder = list.Entries();
        OwnedImage frame = PositionFrame(width, height, trial % 2 ? 16 : 8);
        FillCurved(*frame);
        OwnedImage expected = PositionFrame(width, height, frame->bitsPerPixel);
        FillCurved(*expected);
        ScanningCorrection(*expected, inFileOrder, list, geometry);
        list.Correct(*frame, geometry);
        EXPECT_EQ(std::memcmp(frame->bits, expected->bits, static_cast<size_t>(frame->stride) * frame->height), 0);
    }
}

TEST(DefectListTest, ABlockOfListedPixelsTakesTheBlocksEdges) {
    // Done pixel by pixel, a block this size would scan a row or column per pixel.
    DefectList list(kSensorWidth, kSensorHeight);
    for (int32_t y = 100; y < 900; ++y)
        for (int32_t x = 100; x < 1180; ++x) list.Add(x, y);
    OwnedImage frame = PositionFrame(kSensorWidth, kSensorHeight, 16);
    list.Correct(*frame, DefectGeometry{});
    EXPECT_EQ(Sample(*frame, 500, 500), (99u + 16 * 500 + 1180 + 16 * 500 + 500 + 16 * 99 + 500 + 16 * 900) / 4);
}

TEST_F(CalibrationTest, ALoadedConfigurationFileReplacesTheListAndAMissingOneKeepsIt) {
    const std::string first = testing::TempDir() + "calibration-first.cfg";
    const std::string second = testing::TempDir() + "calibration-second.cfg";
    const auto write = [](const std::string& path, const std::vector<uint8_t>& bytes) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        if (!bytes.empty()) {
            ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
        }
        std::fclose(file);
    };
    write(first, {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 9, 9});
    write(second, {7, 0, 0, 0, 8, 0, 0, 0});

    ASSERT_TRUE(session.LoadConfigFile(first.c_str()));
    ASSERT_EQ(session.corrections.defectList.Entries().size(), 2u);
    ASSERT_TRUE(session.LoadConfigFile(second.c_str()));
    ASSERT_EQ(session.corrections.defectList.Entries().size(), 1u);
    EXPECT_EQ(session.corrections.defectList.Entries()[0].x, 7);
    EXPECT_FALSE(session.corrections.defectList.Contains(1, 2));

    // A file read in several pieces keeps every record and drops the bytes that make no record.
    std::vector<uint8_t> many;
    for (int32_t i = 0; i < 10000; ++i) {
        const int32_t record[2] = {i % kSensorWidth, i / kSensorWidth};
        const auto* bytes = reinterpret_cast<const uint8_t*>(record);
        many.insert(many.end(), bytes, bytes + sizeof record);
    }
    many.insert(many.end(), {1, 2, 3, 4, 5});
    write(first, many);
    ASSERT_TRUE(session.LoadConfigFile(first.c_str()));
    EXPECT_EQ(session.corrections.defectList.Entries().size(), 10000u);
    EXPECT_TRUE(session.corrections.defectList.Contains(9999 % kSensorWidth, 9999 / kSensorWidth));
    ASSERT_TRUE(session.LoadConfigFile(second.c_str()));

    EXPECT_FALSE(session.LoadConfigFile((testing::TempDir() + "no-such-file.cfg").c_str()));
    EXPECT_EQ(session.corrections.defectList.Entries().size(), 1u);
    write(second, {});
    ASSERT_TRUE(session.LoadConfigFile(second.c_str()));
    EXPECT_TRUE(session.corrections.defectList.Empty());
    std::remove(first.c_str());
    std::remove(second.c_str());
}

}  // namespace
