// An uncompressed AVI movie of 24-bit bottom-up DIB frames, one video stream, written as frames
// arrive. The file starts as the classic layout (one RIFF "AVI " with "hdrl", "movi" and an
// "idx1" at its end). A movie larger than one RIFF may hold goes on in OpenDML "AVIX" RIFFs, each
// with its own "movi" list and standard index ("ix00"); a movie opened as a long one also gets
// the OpenDML header extension (the super index "indx" and the total frame count "dmlh") that
// lets readers seek in it. Whatever ends a recording, CloseAvi leaves a file whose sizes, counts
// and indexes agree with the frames it holds.
#pragma once

#include "kelvra/win32.h"
#include "output/OutputFile.h"

#include <cstdint>
#include <vector>

class AviWriter {
public:
    // A RIFF list is kept below this size, as AVI 1.0 readers with signed sizes need.
    static constexpr uint64_t kRiffLimit = uint64_t{1} << 30;
    static constexpr uint32_t kNominalRate = 3000;  // frames per second x 100
    // Super index entries reserved in the header of a long movie: one per RIFF.
    static constexpr uint32_t kSuperIndexEntries = 1024;

    AviWriter() = default;
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;
    ~AviWriter() { CloseAvi(); }

    // Writes the headers up to and including "movi". openDml reserves the OpenDML header
    // extension (for movies that may outgrow one RIFF); expectedFrames sizes the index ahead.
    bool OpenAvi(const char* path, int32_t width, int32_t height, bool openDml = false, uint32_t expectedFrames = 0);
    // Appends one frame of FrameBytes() bytes: rows bottom-up, each padded to four bytes as in a
    // DIB. False when it could not be written; the frame is then taken back out of the file and
    // no further frame is taken.
    bool AddAviFrame(const BYTE* pixels);
    // Frames per second x 100 of frames recorded over elapsedMs milliseconds (from the first frame
    // to the last); 0 when that is too short to measure or rounds to nothing.
    static uint32_t MeasuredRate(uint64_t frames, uint64_t elapsedMs);
    // The measured rate in frames per second x 100, written into the headers at close; 0 (too
    // slow to measure) keeps the nominal rate.
    void SetFrameRate(uint32_t hundredths);
    // Writes the indexes, patches the headers and closes the file. False when any of it, or any
    // earlier write, failed; the file then still holds a consistent movie of the frames written.
    bool CloseAvi();

    bool IsOpen() const { return file.IsOpen(); }
    bool Failed() const { return failed; }
    uint32_t FrameBytes() const { return frameBytes; }
    uint32_t FrameCount() const { return frameCount; }
    uint32_t FrameRate() const { return frameRate; }
    int32_t Width() const { return width; }
    int32_t Height() const { return height; }
    // Tests make small movies cross into further RIFFs.
    void SetRiffLimit(uint64_t bytes) { riffLimit = bytes; }

private:
    struct Segment {
        uint64_t riffStart;  // file position of "RIFF"
        uint64_t moviStart;  // file position of the "movi" identifier
        uint32_t frames;
    };
    struct StandardIndexEntry {
        uint64_t position;  // file position of the "ix00" chunk
        uint32_t bytes;     // its size with its header
        uint32_t frames;
    };

    bool WriteHeaders(bool openDml);
    bool StartAvixSegment();
    // Ends the open segment: its standard index (in long movies, or any past the first), the
    // first segment's idx1, and the sizes of its RIFF and movi lists.
    bool EndSegment();
    uint64_t SegmentIndexBytes(uint32_t frames) const;
    bool PatchHeaders();

    OutputFile file;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t frameBytes = 0;
    uint32_t frameRate = kNominalRate;
    uint32_t frameCount = 0;
    uint64_t riffLimit = kRiffLimit;
    bool openDml = false;
    bool failed = false;
    bool segmentEnded = true;         // the last segment's index and sizes are written
    uint64_t superIndexPosition = 0;  // of the reserved "indx" chunk (long movies)
    uint64_t dmlhPosition = 0;        // of the total frame count in "dmlh"
    uint32_t firstSegmentFrames = 0;
    std::vector<Segment> segments;
    std::vector<uint32_t> frameOffsets;  // of the open segment's chunks, from its "movi"
    std::vector<StandardIndexEntry> standardIndexes;
};
