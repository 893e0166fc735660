/* The typical application in a few lines: start a session, select the first camera, take one
 * frame into a buffer of our own, save it as a PNG, release the session.
 *
 *   snap [FILE.png]
 *
 * Built against the installed package (find_package(KelvraSdk)); link KelvraSdk_880HQLN. */
#include <kelvra/KelvraSdk.h>

#include <stdio.h>
#include <stdlib.h>

static int Fail(int32_t handle, const char* what) {
    fprintf(stderr, "snap: %s failed with error %d\n", what, (int)Kelvra_GetLastError(handle));
    Kelvra_Release(handle);
    return 1;
}

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "snap.png";
    /* No window: errors are read with Kelvra_GetLastError instead of arriving as messages. */
    int32_t handle = Kelvra_Initialize(NULL);
    if (handle == 0) {
        fprintf(stderr, "snap: no session\n");
        return 1;
    }
    /* Device number 0 is the first camera plugged in. */
    if (!Kelvra_SetDeviceNumber(handle, 0)) return Fail(handle, "selecting camera 0");

    /* 16-bit grey: two bytes per pixel, rows of width * 2 bytes, the top row first. */
    const int32_t width = Kelvra_Width(handle);
    const int32_t height = Kelvra_Height(handle);
    const int32_t size = width * height * 2;
    BYTE* frame = (BYTE*)malloc((size_t)size);
    if (frame == NULL) return Fail(handle, "allocating the frame");
    if (!Kelvra_SnapShot(handle, frame, size, 1)) {
        free(frame);
        return Fail(handle, "taking a frame");
    }
    printf("took a %d x %d frame; its top-left pixel is %u\n", (int)width, (int)height,
           (unsigned)(frame[0] | frame[1] << 8));
    free(frame);

    if (!Kelvra_SaveImage(handle, path, KELVRA_IMAGE_PNG)) return Fail(handle, "saving");
    printf("saved %s\n", path);
    Kelvra_Release(handle);
    return 0;
}
