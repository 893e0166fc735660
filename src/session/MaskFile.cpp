#include "session/MaskFile.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <system_error>

namespace {

constexpr char kMagic[] = "TAVREL MASK1000";
constexpr size_t kMagicSize = 16;
static_assert(sizeof kMagic <= kMagicSize);

// Tries of a fresh temporary name before a save gives up.
constexpr int kTemporaryNameTries = 16;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

int32_t RowBytes(int32_t width, int32_t bytesPerPixel) {
    // Rows of the planes are padded as a DIB's, to four bytes.
    return (width * bytesPerPixel + 3) & ~3;
}

void Store32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t Load32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
           static_cast<uint32_t>(at[3]) << 24;
}

// A file beside path under a name that no other save, in this process or another, is using:
// random enough that two saves never pick the same one, and never one that exists already.
// (Exclusive creation, "wx", is not in every C runtime the library is built against.)
File CreateTemporaryBeside(const std::string& path, std::string& name) {
    std::random_device entropy;
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        const uint64_t token = (static_cast<uint64_t>(entropy()) << 32) ^ entropy();
        name = path + "." + std::to_string(token) + ".tmp";
        std::error_code error;
        if (std::filesystem::exists(name, error) || error) continue;
        File file(std::fopen(name.c_str(), "wb"));
        if (file) return file;
        // A folder that does not exist or cannot be written fails every name alike.
        return nullptr;
    }
    return nullptr;
}

}  // namespace

MaskLayout MaskLayout::ForPlanes(int32_t width, int32_t height) {
    MaskLayout layout;
    layout.width = width;
    layout.height = height;
    if (width <= 0 || height <= 0) return layout;
    const auto bytes8 = static_cast<uint32_t>(RowBytes(width, 1)) * static_cast<uint32_t>(height);
    const auto bytes16 = static_cast<uint32_t>(RowBytes(width, 2)) * static_cast<uint32_t>(height);
    layout.blockSizes = {bytes8, bytes8, bytes16, bytes16};
    return layout;
}

size_t MaskLayout::DataSize() const {
    size_t total = 0;
    for (uint32_t size : blockSizes) total += size;
    return total;
}

std::array<uint8_t, kMaskHeaderSize> EncodeMaskHeader(const MaskLayout& layout) {
    std::array<uint8_t, kMaskHeaderSize> header{};
    std::memcpy(header.data(), kMagic, sizeof kMagic);
    Store32(header.data() + 16, static_cast<uint32_t>(layout.width));
    Store32(header.data() + 20, static_cast<uint32_t>(layout.height));
    for (size_t block = 0; block < kMaskBlockCount; ++block)
        Store32(header.data() + 24 + 4 * block, layout.blockSizes[block]);
    return header;
}

bool MaskHeaderMatches(const uint8_t* header, const MaskLayout& layout) {
    // The magic is compared as a terminated string: what follows the zero byte is not looked at.
    if (std::memcmp(header, kMagic, sizeof kMagic) != 0) return false;
    if (static_cast<int32_t>(Load32(header + 16)) != layout.width) return false;
    if (static_cast<int32_t>(Load32(header + 20)) != layout.height) return false;
    for (size_t block = 0; block < kMaskBlockCount; ++block) {
        if (Load32(header + 24 + 4 * block) != layout.blockSizes[block]) return false;
    }
    return layout.width > 0 && layout.height > 0;
}

bool ReadMaskBlocks(const MaskByteReader& read, const MaskLayout& layout, MaskBlocks& blocks) {
    uint8_t header[kMaskHeaderSize];
    if (read(header, sizeof header) != sizeof header) return false;
    if (!MaskHeaderMatches(header, layout)) return false;
    for (size_t block = 0; block < kMaskBlockCount; ++block) {
        std::vector<uint8_t>& bytes = blocks[block];
        bytes.resize(layout.blockSizes[block]);
        if (read(bytes.data(), bytes.size()) != bytes.size()) return false;
    }
    return true;
}

bool ReadMaskFile(const char* path, const MaskLayout& layout, MaskBlocks& blocks) {
    if (!path) return false;
    const File file(std::fopen(path, "rb"));
    if (!file) return false;
    return ReadMaskBlocks([&file](uint8_t* bytes, size_t size) { return std::fread(bytes, 1, size, file.get()); },
                          layout, blocks);
}

bool WriteMaskFile(const char* path, const MaskLayout& layout, const MaskBlocks& blocks) {
    if (!path || !*path) return false;
    for (size_t block = 0; block < kMaskBlockCount; ++block) {
        if (blocks[block].size() != layout.blockSizes[block]) return false;
    }
    std::string temporary;
    File file = CreateTemporaryBeside(path, temporary);
    if (!file) return false;

    const std::array<uint8_t, kMaskHeaderSize> header = EncodeMaskHeader(layout);
    bool written = std::fwrite(header.data(), 1, header.size(), file.get()) == header.size();
    for (size_t block = 0; written && block < kMaskBlockCount; ++block) {
        written = std::fwrite(blocks[block].data(), 1, blocks[block].size(), file.get()) == blocks[block].size();
    }
    // A full disk may show only when the buffered rest is flushed, or at close.
    written = written && std::fflush(file.get()) == 0;
    written = (std::fclose(file.release()) == 0) && written;

    std::error_code error;
    if (written) {
        std::filesystem::rename(temporary, path, error);
        if (!error) return true;
    }
    std::filesystem::remove(temporary, error);
    return false;
}
