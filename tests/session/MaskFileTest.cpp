// The mask file on its own: what a load accepts, and that a save which cannot finish leaves the
// file that was there.
#ifndef _WIN32
#include "FileSizeLimit.h"
#endif
#include "session/MaskFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#ifndef _WIN32
#include <sys/resource.h>
#endif
#include <vector>

namespace {

std::string TempPath(const std::string& name) { return testing::TempDir() + "maskfile-" + name; }

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Blocks of layout whose bytes differ from block to block and along each block.
MaskBlocks PatternBlocks(const MaskLayout& layout) {
    MaskBlocks blocks;
    for (size_t block = 0; block < kMaskBlockCount; ++block) {
        blocks[block].resize(layout.blockSizes[block]);
        for (size_t i = 0; i < blocks[block].size(); ++i) blocks[block][i] = static_cast<uint8_t>(i * 7 + block * 31);
    }
    return blocks;
}

#ifndef _WIN32
// The temporary files a save leaves beside path, which should be none.
size_t FilesBeside(const std::string& path) {
    const std::filesystem::path target(path);
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(target.parent_path())) {
        const std::string name = entry.path().filename().string();
        count += name.rfind(target.filename().string() + ".", 0) == 0;
    }
    return count;
}
#endif

TEST(MaskFileTest, AFileThatDisagreesWithThePlanesIsRefusedAfterItsHeader) {
    const MaskLayout layout = MaskLayout::ForPlanes(6, 3);  // strides 8 and 12
    const std::string path = TempPath("small.msk");
    ASSERT_TRUE(WriteMaskFile(path.c_str(), layout, PatternBlocks(layout)));
    const std::vector<uint8_t> good = ReadAll(path);
    ASSERT_EQ(good.size(), kMaskHeaderSize + 24 + 24 + 36 + 36);

    struct Damage {
        const char* what;
        size_t offset;
        uint8_t value;
    };
    for (const Damage& damage :
         {Damage{"magic", 3, 'X'}, Damage{"magic terminator", 15, '!'}, Damage{"width", 16, 7}, Damage{"height", 20, 4},
          Damage{"block 1 size", 24, 25}, Damage{"block 4 size", 36, 37}, Damage{"negative size", 39, 0x80}}) {
        SCOPED_TRACE(damage.what);
        std::vector<uint8_t> bytes = good;
        bytes[damage.offset] = damage.value;
        // Counting what the reader asks for shows it stops at the header.
        size_t requested = 0;
        size_t at = 0;
        MaskBlocks blocks;
        const bool accepted = ReadMaskBlocks(
            [&](uint8_t* out, size_t size) {
                requested += size;
                const size_t n = std::min(size, bytes.size() - at);
                std::memcpy(out, bytes.data() + at, n);
                at += n;
                return n;
            },
            layout, blocks);
        EXPECT_FALSE(accepted);
        EXPECT_EQ(requested, kMaskHeaderSize);
    }

    // The block sizes of a sensor-sized file checked against sensor-sized planes: one byte more
    // in block 1 is refused.
    std::vector<uint8_t> header(kMaskHeaderSize);
    const auto sensor = EncodeMaskHeader(MaskLayout::ForPlanes(1280, 1024));
    std::copy(sensor.begin(), sensor.end(), header.begin());
    EXPECT_TRUE(MaskHeaderMatches(header.data(), MaskLayout::ForPlanes(1280, 1024)));
    header[24] = 0x01;  // 1310721
    EXPECT_FALSE(MaskHeaderMatches(header.data(), MaskLayout::ForPlanes(1280, 1024)));

    // Short data: the last block one byte short, the header alone, nothing at all.
    MaskBlocks blocks;
    for (const size_t size : {good.size() - 1, kMaskHeaderSize, size_t{0}}) {
        WriteAll(path, std::vector<uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size)));
        EXPECT_FALSE(ReadMaskFile(path.c_str(), layout, blocks)) << size;
    }
    // Bytes after the last block are not part of the masks.
    std::vector<uint8_t> longer = good;
    longer.push_back(0xEE);
    WriteAll(path, longer);
    ASSERT_TRUE(ReadMaskFile(path.c_str(), layout, blocks));
    EXPECT_EQ(blocks, PatternBlocks(layout));
    EXPECT_FALSE(ReadMaskFile(TempPath("missing.msk").c_str(), layout, blocks));
    std::remove(path.c_str());
}

// A full disk is stood in for by the process's file size limit, which Windows does not have.
#ifndef _WIN32
TEST(MaskFileTest, ASaveThatCannotFinishLeavesTheOldFile) {
    const MaskLayout layout = MaskLayout::ForPlanes(1280, 1024);
    const std::string path = TempPath("kept.msk");
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    WriteAll(path, old);

    bool saved1 = true;
    {
        const FileSizeLimit disk(1 << 20);
        saved1 = WriteMaskFile(path.c_str(), layout, PatternBlocks(layout));
    }

    EXPECT_FALSE(saved1);
    EXPECT_EQ(ReadAll(path), old);
    EXPECT_EQ(FilesBeside(path), 0u);

    // Blocks of the wrong size and a folder that does not exist write nothing.
    MaskBlocks shortBlocks = PatternBlocks(layout);
    shortBlocks[3].pop_back();
    EXPECT_FALSE(WriteMaskFile(path.c_str(), layout, shortBlocks));
    EXPECT_EQ(ReadAll(path), old);
    EXPECT_FALSE(WriteMaskFile(TempPath("no-such-folder/x.msk").c_str(), layout, PatternBlocks(layout)));
    std::remove(path.c_str());
}
#endif

}  // namespace
