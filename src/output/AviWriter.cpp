#include "output/AviWriter.h"

#include <cstring>

namespace {

constexpr uint32_t kHasIndex = 0x10;
constexpr uint32_t kWasCaptureFile = 0x10000;
constexpr uint32_t kKeyFrame = 0x10;
constexpr uint32_t kMainHeaderBytes = 56;
constexpr uint32_t kStreamHeaderBytes = 64;
constexpr uint32_t kFormatBytes = 40;
constexpr uint32_t kSuperIndexHeaderBytes = 24;
constexpr uint32_t kStandardIndexHeaderBytes = 24;
constexpr uint32_t kDmlhBytes = 248;
constexpr uint32_t kMicrosecondsPerFrameTimes100 = 100000000;
constexpr uint32_t kStreamScaleTimes100 = 1000000000;
constexpr uint32_t kStreamRate = 10000000;

// Header fields patched at close, by their offsets in the file.
constexpr uint64_t kRiffSizeAt = 4;
constexpr uint64_t kMicrosecondsPerFrameAt = 32;
constexpr uint64_t kFlagsAt = 44;
constexpr uint64_t kTotalFramesAt = 48;
constexpr uint64_t kStreamScaleAt = 128;
constexpr uint64_t kStreamLengthAt = 140;

void PutU32(BYTE* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<BYTE>(value >> (8 * i));
}

constexpr uint32_t SuperIndexChunkBytes() { return kSuperIndexHeaderBytes + 16 * AviWriter::kSuperIndexEntries; }

}  // namespace

bool AviWriter::OpenAvi(const char* path, int32_t newWidth, int32_t newHeight, bool longMovie,
                        uint32_t expectedFrames) {
    CloseAvi();
    if (newWidth <= 0 || newHeight <= 0) return false;
    // DIB rows, each padded to four bytes, as every reader of uncompressed DIB movies expects.
    const uint64_t stride = (static_cast<uint64_t>(newWidth) * 3 + 3) & ~uint64_t{3};
    const uint64_t bytes = stride * static_cast<uint64_t>(newHeight);
    if (bytes + 8 > UINT32_MAX / 64) return false;
    width = newWidth;
    height = newHeight;
    frameBytes = static_cast<uint32_t>(bytes);
    frameRate = kNominalRate;
    frameCount = 0;
    firstSegmentFrames = 0;
    openDml = longMovie;
    failed = false;
    segments.clear();
    standardIndexes.clear();
    frameOffsets.clear();
    frameOffsets.reserve(expectedFrames);
    if (!file.Open(path, true)) return false;
    if (!WriteHeaders(longMovie)) {
        file.Discard();
        return false;
    }
    return true;
}

bool AviWriter::WriteHeaders(bool longMovie) {
    const uint32_t chunk = frameBytes + 8;
    const uint32_t strlBytes =
        4 + (8 + kStreamHeaderBytes) + (8 + kFormatBytes) + (longMovie ? 8 + SuperIndexChunkBytes() : 0);
    const uint32_t odmlBytes = 4 + 8 + kDmlhBytes;
    const uint32_t hdrlBytes = 4 + (8 + kMainHeaderBytes) + (8 + strlBytes) + (longMovie ? 8 + odmlBytes : 0);
    OutputFile& f = file;
    f.WriteTag("RIFF");
    f.WriteU32(0);
    f.WriteTag("AVI ");
    f.WriteTag("LIST");
    f.WriteU32(hdrlBytes);
    f.WriteTag("hdrl");
    f.WriteTag("avih");
    f.WriteU32(kMainHeaderBytes);
    f.WriteU32(1000000 / 30);
    f.WriteU32(chunk * 30);
    f.WriteU32(0);
    f.WriteU32(kHasIndex | kWasCaptureFile);
    f.WriteU32(0);  // total frames
    f.WriteU32(0);
    f.WriteU32(1);  // streams
    f.WriteU32(chunk);
    f.WriteU32(static_cast<uint32_t>(width));
    f.WriteU32(static_cast<uint32_t>(height));
    for (int i = 0; i < 4; ++i) f.WriteU32(0);
    f.WriteTag("LIST");
    f.WriteU32(strlBytes);
    f.WriteTag("strl");
    f.WriteTag("strh");
    f.WriteU32(kStreamHeaderBytes);
    f.WriteTag("vids");
    f.WriteTag("DIB ");
    f.WriteU32(0);  // flags
    f.WriteU16(0);  // priority
    f.WriteU16(0);  // language
    f.WriteU32(0);  // initial frames
    f.WriteU32(kStreamRate / 30);
    f.WriteU32(kStreamRate);
    f.WriteU32(0);  // start
    f.WriteU32(0);  // length
    f.WriteU32(chunk);
    f.WriteU32(0);  // quality
    f.WriteU32(0);  // sample size
    for (int i = 0; i < 4; ++i) f.WriteU32(0);
    f.WriteTag("strf");
    f.WriteU32(kFormatBytes);
    f.WriteU32(kFormatBytes);
    f.WriteU32(static_cast<uint32_t>(width));
    f.WriteU32(static_cast<uint32_t>(height));
    f.WriteU16(1);
    f.WriteU16(24);
    for (int i = 0; i < 6; ++i) f.WriteU32(0);  // compression and five zeros
    if (longMovie) {
        superIndexPosition = f.Size();
        f.WriteTag("indx");
        f.WriteU32(SuperIndexChunkBytes());
        f.WriteU16(4);  // longs per entry; then sub-type 0, type 0 (an index of indexes), no entries yet
        std::vector<BYTE> rest(SuperIndexChunkBytes() - 2, 0);
        std::memcpy(rest.data() + 6, "00db", 4);
        f.Write(rest.data(), rest.size());
        f.WriteTag("LIST");
        f.WriteU32(odmlBytes);
        f.WriteTag("odml");
        f.WriteTag("dmlh");
        f.WriteU32(kDmlhBytes);
        dmlhPosition = f.Size();
        std::vector<BYTE> dmlh(kDmlhBytes, 0);
        f.Write(dmlh.data(), dmlh.size());
    }
    f.WriteTag("LIST");
    f.WriteU32(4);
    f.WriteTag("movi");
    segments.push_back(Segment{0, f.Size() - 4, 0});
    segmentEnded = false;
    return f.Good();
}

uint64_t AviWriter::SegmentIndexBytes(uint32_t frames) const {
    const bool first = segments.size() == 1;
    uint64_t bytes = 0;
    if (openDml || !first) bytes += 8 + kStandardIndexHeaderBytes + uint64_t{8} * frames;
    if (first) bytes += 8 + uint64_t{16} * frames;
    return bytes;
}

bool AviWriter::AddAviFrame(const BYTE* pixels) {
    if (!file.IsOpen() || failed || pixels == nullptr) return false;
    Segment* segment = &segments.back();
    const uint64_t chunk = uint64_t{frameBytes} + 8;
    const uint64_t riffAfter = file.Size() + chunk - segment->riffStart + SegmentIndexBytes(segment->frames + 1);
    if (riffAfter > riffLimit && segment->frames > 0) {
        if (openDml && segments.size() >= kSuperIndexEntries) {
            failed = true;
            return false;
        }
        if (!EndSegment() || !StartAvixSegment()) {
            failed = true;
            return false;
        }
        segment = &segments.back();
    }
    const uint64_t chunkStart = file.Size();
    const uint64_t offset = chunkStart - segment->moviStart;
    BYTE header[8] = {'0', '0', 'd', 'b'};
    PutU32(header + 4, frameBytes);
    file.Write(header, sizeof header);
    file.Write(pixels, frameBytes);
    if (!file.Good()) {
        // A full disk: the partial chunk goes, so that the movie ends with its last whole frame.
        failed = true;
        file.Truncate(chunkStart);
        return false;
    }
    frameOffsets.push_back(static_cast<uint32_t>(offset));
    ++segment->frames;
    ++frameCount;
    if (segments.size() == 1) firstSegmentFrames = segment->frames;
    return true;
}

bool AviWriter::EndSegment() {
    segmentEnded = true;
    Segment& segment = segments.back();
    const bool first = segments.size() == 1;
    const uint64_t moviEnd = file.Size();
    bool indexed = true;
    // Each index goes out in one write.
    std::vector<BYTE> block;
    if (openDml || !first) {
        const uint64_t position = file.Size();
        const uint32_t bytes = kStandardIndexHeaderBytes + 8 * segment.frames;
        block.assign(8 + size_t{bytes}, 0);
        BYTE* at = block.data();
        std::memcpy(at, "ix00", 4);
        PutU32(at + 4, bytes);
        at[8] = 2;   // longs per entry
        at[11] = 1;  // sub-type 0, type 1: an index of chunks
        PutU32(at + 12, segment.frames);
        std::memcpy(at + 16, "00db", 4);
        PutU32(at + 20, static_cast<uint32_t>(segment.moviStart));
        PutU32(at + 24, static_cast<uint32_t>(segment.moviStart >> 32));
        at += 32;
        for (uint32_t offset : frameOffsets) {
            PutU32(at, offset + 8);      // of the chunk's data
            PutU32(at + 4, frameBytes);  // bit 31 clear: a key frame
            at += 8;
        }
        indexed = file.Write(block.data(), block.size());
        if (indexed) standardIndexes.push_back(StandardIndexEntry{position, bytes + 8, segment.frames});
    }
    const uint64_t listEnd = file.Size();
    if (indexed && first) {
        block.assign(8 + 16 * size_t{segment.frames}, 0);
        BYTE* at = block.data();
        std::memcpy(at, "idx1", 4);
        PutU32(at + 4, 16 * segment.frames);
        at += 8;
        for (uint32_t offset : frameOffsets) {
            std::memcpy(at, "00db", 4);
            PutU32(at + 4, kKeyFrame);
            PutU32(at + 8, offset);
            PutU32(at + 12, frameBytes);
            at += 16;
        }
        indexed = file.Write(block.data(), block.size());
    }
    if (!indexed) {
        // No room for the index: the movie ends after its last frame and says it has no index.
        failed = true;
        if (!file.Truncate(moviEnd)) return false;
        if (first) file.PatchU32(kFlagsAt, kWasCaptureFile);
        file.PatchU32(segment.moviStart - 4, static_cast<uint32_t>(moviEnd - segment.moviStart));
        file.PatchU32(segment.riffStart + 4, static_cast<uint32_t>(moviEnd - segment.riffStart - 8));
        return false;
    }
    file.PatchU32(segment.moviStart - 4, static_cast<uint32_t>(listEnd - segment.moviStart));
    file.PatchU32(segment.riffStart + 4, static_cast<uint32_t>(file.Size() - segment.riffStart - 8));
    frameOffsets.clear();
    return file.Good();
}

bool AviWriter::StartAvixSegment() {
    const uint64_t riffStart = file.Size();
    file.WriteTag("RIFF");
    file.WriteU32(0);
    file.WriteTag("AVIX");
    file.WriteTag("LIST");
    file.WriteU32(4);
    file.WriteTag("movi");
    if (!file.Good()) {
        file.Truncate(riffStart);
        return false;
    }
    segments.push_back(Segment{riffStart, file.Size() - 4, 0});
    segmentEnded = false;
    return true;
}

uint32_t AviWriter::MeasuredRate(uint64_t frames, uint64_t elapsedMs) {
    if (elapsedMs == 0) return 0;
    const uint64_t rate = frames * 100000 / elapsedMs;
    return rate > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(rate);
}

void AviWriter::SetFrameRate(uint32_t hundredths) { frameRate = hundredths != 0 ? hundredths : kNominalRate; }

bool AviWriter::PatchHeaders() {
    file.PatchU32(kMicrosecondsPerFrameAt, kMicrosecondsPerFrameTimes100 / frameRate);
    file.PatchU32(kTotalFramesAt, firstSegmentFrames);
    file.PatchU32(kStreamScaleAt, kStreamScaleTimes100 / frameRate);
    file.PatchU32(kStreamLengthAt, frameCount);
    if (openDml) {
        file.PatchU32(dmlhPosition, frameCount);
        BYTE entries[16 * kSuperIndexEntries];
        const auto count = static_cast<uint32_t>(standardIndexes.size());
        for (uint32_t i = 0; i < count; ++i) {
            BYTE* entry = entries + 16 * i;
            const StandardIndexEntry& index = standardIndexes[i];
            for (int b = 0; b < 8; ++b) entry[b] = static_cast<BYTE>(index.position >> (8 * b));
            for (int b = 0; b < 4; ++b) entry[8 + b] = static_cast<BYTE>(index.bytes >> (8 * b));
            for (int b = 0; b < 4; ++b) entry[12 + b] = static_cast<BYTE>(index.frames >> (8 * b));
        }
        file.PatchU32(superIndexPosition + 12, count);
        if (count != 0) file.PatchBytes(superIndexPosition + 8 + kSuperIndexHeaderBytes, entries, 16 * size_t{count});
    }
    return file.Good();
}

bool AviWriter::CloseAvi() {
    if (!file.IsOpen()) return false;
    bool complete = !failed;
    // A failed frame write has already put the file back to its last whole frame.
    if (!segmentEnded && !EndSegment()) complete = false;
    if (!PatchHeaders()) complete = false;
    if (!file.Close(true)) complete = false;
    frameOffsets.clear();
    return complete;
}
