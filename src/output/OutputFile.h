// A file the writers create: opened for writing (an existing file is truncated), every write
// checked, and removed again when the writer gives up, so that a failed save never leaves a file
// that looks whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Removes path if it is a regular file.
void RemoveUnfinished(const std::string& path);

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // A file still open here was not finished: it goes.
    ~OutputFile() { Discard(); }

    // unbuffered: every write goes straight to the system, so that a write that fails leaves
    // nothing behind in a buffer that a later seek or close would try to write again.
    bool Open(const char* path, bool unbuffered = false);
    bool IsOpen() const { return file != nullptr; }
    // False once any write, seek or flush has failed; later writes then do nothing.
    bool Good() const { return file != nullptr && good; }
    bool Write(const void* data, size_t size);
    bool WriteU32(uint32_t value);
    bool WriteU16(uint16_t value);
    bool WriteU64(uint64_t value);
    bool WriteTag(const char tag[4]) { return Write(tag, 4); }
    // Writes a little-endian 32-bit value at an absolute offset and returns to the end.
    bool PatchU32(uint64_t offset, uint32_t value);
    bool PatchBytes(uint64_t offset, const void* data, size_t size);
    // Bytes written so far: the position of the next write.
    uint64_t Size() const { return size; }
    // Cuts the file back to size bytes (after a failed write left a partial chunk at its end).
    bool Truncate(uint64_t newSize);
    // Flushes and closes; false when anything failed, and the file is then removed unless
    // keepOnFailure (a movie keeps the frames it has).
    bool Close(bool keepOnFailure = false);
    // Closes and removes the file.
    void Discard();
    std::FILE* Handle() const { return file; }
    const std::string& Path() const { return path; }

private:
    bool SeekTo(uint64_t offset);

    std::FILE* file = nullptr;
    std::string path;
    uint64_t size = 0;
    bool good = false;
};
