/* Simulated cameras: virtual USB devices of the camera's device-interface class that the SDK
 * finds, opens and streams from exactly like real ones (library KelvraSim).
 * Usable from C and C++.
 *
 * A camera is externally powered: unplugging and replugging its cable ends the host's handles
 * and transfers but keeps the board and head state (registers, identification, debug mode).
 * A new camera free-runs at 30 frames per second. */
#ifndef KELVRA_KELVRASIM_H
#define KELVRA_KELVRASIM_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32) && defined(KELVRA_SIM_BUILD)
#define KELVRA_SIM_API __declspec(dllexport)
#elif defined(_WIN32)
#define KELVRA_SIM_API __declspec(dllimport)
#else
#define KELVRA_SIM_API __attribute__((visibility("default")))
#endif

/* Scenes: sample at column x, row y (row 0 is sent first); mask is 0xFFFF when the camera sends
 * two bytes per pixel, else 0xFF. */
#define KELVRA_SIM_SCENE_FLAT 0    /* level & mask */
#define KELVRA_SIM_SCENE_RAMP_H 1  /* (x * level) & mask */
#define KELVRA_SIM_SCENE_RAMP_V 2  /* (y * level) & mask */
#define KELVRA_SIM_SCENE_PATTERN 3 /* default: diagonal grey ramp moving 4 pixels per frame; level unused */

/* Faults, each for the next `count` occurrences (count 0 clears the fault). */
#define KELVRA_SIM_FAULT_DROP_HEADER 1  /* a frame's header never comes; the frame is lost */
#define KELVRA_SIM_FAULT_FAIL_PAYLOAD 2 /* a payload read fails; the rest of the frame is lost */
#define KELVRA_SIM_FAULT_HEAD_NG 3      /* the head answers "NG\r\n" to a command instead of running it */
#define KELVRA_SIM_FAULT_HEAD_SILENT 4  /* the head ignores a command and answers nothing */

/* The vendor id in the device paths of simulated cameras. */
#define KELVRA_SIM_VENDOR_ID 0x2E5A

KELVRA_SIM_API int KelvraSim_Attach(
    unsigned short productId);                   /* plug in a new camera; returns its id (>= 1), 0 on failure */
KELVRA_SIM_API int KelvraSim_Unplug(int camera); /* 1, or 0 for an unknown id; pending transfers fail */
KELVRA_SIM_API int KelvraSim_Replug(int camera); /* plugged in again at the same device path */
KELVRA_SIM_API void KelvraSim_Reset(void);       /* unplug and forget every simulated camera */
KELVRA_SIM_API int KelvraSim_SetScene(int camera, int scene, int level);
KELVRA_SIM_API int KelvraSim_SetFrameRate(
    int camera, int framesPerSecond);             /* 0: a frame as soon as one is requested; at most 1000 */
KELVRA_SIM_API int KelvraSim_Trigger(int camera); /* one hardware trigger pulse (ignored unless in trigger mode) */
KELVRA_SIM_API int KelvraSim_InjectFault(int camera, int fault, int count);
KELVRA_SIM_API long KelvraSim_FramesSent(int camera); /* frames delivered completely; -1 for an unknown id */

#ifdef __cplusplus
}
#endif

#endif
