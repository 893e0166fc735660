#include "output/OutputFile.h"

#include <filesystem>
#include <system_error>

namespace {

// 64-bit positions on every system: AVI recordings pass 4 GB.
int SeekFile(std::FILE* file, uint64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET);
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET);
#endif
}

}  // namespace

bool OutputFile::Open(const char* newPath, bool unbuffered) {
    Discard();
    if (newPath == nullptr || *newPath == '\0') return false;
    file = std::fopen(newPath, "wb");
    if (file == nullptr) return false;
    if (unbuffered) std::setvbuf(file, nullptr, _IONBF, 0);
    path = newPath;
    size = 0;
    good = true;
    return true;
}

bool OutputFile::Write(const void* data, size_t bytes) {
    if (!Good()) return false;
    if (bytes != 0 && std::fwrite(data, 1, bytes, file) != bytes) {
        good = false;
        return false;
    }
    size += bytes;
    return true;
}

bool OutputFile::WriteU16(uint16_t value) {
    const unsigned char bytes[2] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8)};
    return Write(bytes, 2);
}

bool OutputFile::WriteU32(uint32_t value) {
    unsigned char bytes[4];
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    return Write(bytes, 4);
}

bool OutputFile::WriteU64(uint64_t value) {
    unsigned char bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    return Write(bytes, 8);
}

bool OutputFile::SeekTo(uint64_t offset) {
    if (!Good()) return false;
    if (SeekFile(file, offset) != 0) good = false;
    return good;
}

bool OutputFile::PatchBytes(uint64_t offset, const void* data, size_t bytes) {
    const uint64_t end = size;
    if (!SeekTo(offset)) return false;
    if (std::fwrite(data, 1, bytes, file) != bytes) good = false;
    return SeekTo(end) && good;
}

bool OutputFile::PatchU32(uint64_t offset, uint32_t value) {
    unsigned char bytes[4];
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    return PatchBytes(offset, bytes, 4);
}

bool OutputFile::Truncate(uint64_t newSize) {
    if (file == nullptr) return false;
    // Whatever the failed write left in the stream's buffer must not land after the cut.
    std::fflush(file);
    std::clearerr(file);
    std::error_code error;
    std::filesystem::resize_file(path, newSize, error);
    if (error || SeekFile(file, newSize) != 0) return false;
    size = newSize;
    good = true;
    return true;
}

bool OutputFile::Close(bool keepOnFailure) {
    if (file == nullptr) return false;
    bool closed = good && std::fflush(file) == 0 && !std::ferror(file);
    if (std::fclose(file) != 0) closed = false;
    file = nullptr;
    good = false;
    if (!closed && !keepOnFailure) RemoveUnfinished(path);
    return closed;
}

void OutputFile::Discard() {
    if (file == nullptr) return;
    std::fclose(file);
    file = nullptr;
    good = false;
    RemoveUnfinished(path);
}

void RemoveUnfinished(const std::string& path) {
    // Only a file of our own making goes: a path naming a device (a caller saving to /dev/null)
    // stays whatever happened.
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) std::filesystem::remove(path, error);
}
