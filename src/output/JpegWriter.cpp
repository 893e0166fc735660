// JPEG through libjpeg: grey for 8- and 16-bit images, colour for the others, progressive, with
// the quality of the file type. libjpeg reports errors by a jump out of its own frames, so
// everything it runs over lives in WriteJpegFrames, which holds no C++ objects.
#include "common/DebugLog.h"
#include "output/OutputFile.h"
#include "output/StillImage.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

struct JpegErrorTrap {
    jpeg_error_mgr manager;  // first, so libjpeg's pointer to it is a pointer to the trap
    std::jmp_buf jump;
};

[[noreturn]] void OnJpegError(j_common_ptr info) {
    char message[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, message);
    DebugLog(LogCategory::Output, "libjpeg error: %s", message);
    std::longjmp(reinterpret_cast<JpegErrorTrap*>(info->err)->jump, 1);
}

void OnJpegMessage(j_common_ptr, int) {}

// Picture row y as the samples libjpeg takes: the row itself for 8, 24 and 32 bits, else the
// upper eight significant bits of each 16-bit sample of the first three channels, in scratch.
JSAMPROW JpegRow(const PixelRows& rows, int32_t y, int32_t sampleShift, JSAMPLE* scratch) {
    const BYTE* row = rows.Row(y);
    if (!HasSixteenBitSamples(rows.bitsPerPixel)) return const_cast<JSAMPROW>(row);
    const int32_t channels = rows.bitsPerPixel / 16;  // 1, 3 or 4 samples
    const auto* samples = reinterpret_cast<const uint16_t*>(row);
    const int32_t kept = channels == 1 ? 1 : 3;
    for (int32_t x = 0; x < rows.width; ++x) {
        for (int32_t c = 0; c < kept; ++c) {
            scratch[x * kept + c] = static_cast<JSAMPLE>((samples[x * channels + c] >> sampleShift) & 0xFF);
        }
    }
    return scratch;
}

int WriteJpegFrames(std::FILE* file, const PixelRows& rows, int quality, int32_t sampleShift, JSAMPLE* scratch) {
    jpeg_compress_struct info;
    JpegErrorTrap trap;
    info.err = jpeg_std_error(&trap.manager);
    trap.manager.error_exit = OnJpegError;
    trap.manager.emit_message = OnJpegMessage;
    if (setjmp(trap.jump)) {
        jpeg_destroy_compress(&info);
        return 0;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(rows.width);
    info.image_height = static_cast<JDIMENSION>(rows.height);
    const bool grey = rows.bitsPerPixel == 8 || rows.bitsPerPixel == 16;
    info.input_components = grey ? 1 : rows.bitsPerPixel == 32 ? 4 : 3;
    // libjpeg-turbo reads the DIB's blue-green-red order itself, so no row is reordered.
    info.in_color_space = grey ? JCS_GRAYSCALE : rows.bitsPerPixel == 32 ? JCS_EXT_BGRX : JCS_EXT_BGR;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = JpegRow(rows, static_cast<int32_t>(info.next_scanline), sampleShift, scratch);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return 1;
}

}  // namespace

bool WriteJpeg(const PixelRows& rows, const char* path, int quality, int32_t sampleBits) {
    if (!rows.Writable() || sampleBits < 8 || sampleBits > 16) return false;
    std::vector<JSAMPLE> scratch(static_cast<size_t>(rows.width) * 3);
    OutputFile file;
    if (!file.Open(path)) return false;
    if (!WriteJpegFrames(file.Handle(), rows, quality, sampleBits - 8, scratch.data())) return false;
    return file.Close();
}
