// The fixed sequence every frame runs through on the thread that took it, with the session's
// frameLock held: defect-list correction, automatic exposure or gain, mask and dot filters,
// grey processing, the software mirror, Bayer conversion with white balance, and the filter
// chain, producing the output image of the session's colour mode from its raw image.
//
// The frame path allocates nothing: the mirror's scratch image is made by capture set-up
// (Prepare), every other image belongs to the session.
//
// Device calls: the pipeline asks the camera for its gain and exposure (automatic exposure or
// gain) and whether it mirrors by itself (software mirror). It makes these calls only while
// it holds the session's call lock, taken with TryEnter and left right after: when the
// application is in a call on the handle at that moment, automatic exposure skips this
// frame's adjustment (the next frame measures again) and the mirror uses the camera's last
// known answer. The pipeline never blocks on the call lock, since StopPreview holds it while
// it joins the worker.
#pragma once

#include "session/SessionImages.h"

class CKelvra;
struct DibImage;

class FramePipeline {
public:
    // Capture set-up: gives the mirror's scratch image the format of raw (the raw image of the
    // colour mode about to run). False when memory ran out.
    bool Prepare(const DibImage& raw);
    // Runs the pipeline on the session's raw image of its colour mode (raw16 for modes 1, 4, 5,
    // else raw8) into its output image. Steps whose image is missing do nothing.
    void Process(CKelvra& session);
    // White balance (automatic when the session asks for it) and Bayer conversion of raw into
    // output.
    void ColourFromBayer(CKelvra& session, DibImage* output, DibImage* raw);

private:
    void ProcessGrey(CKelvra& session, DibImage& raw);
    void Mirror(CKelvra& session, DibImage& raw);
    // Refreshes what the camera mirrors by itself when the call lock is free.
    void QueryDeviceMirrors(CKelvra& session);

    OwnedImage mirrorScratch;
    // The camera's answers to "do you mirror horizontally / vertically yourself", kept for the
    // frames on which the call lock is busy. A session without a camera does not mirror.
    bool deviceMirrorsH = false;
    bool deviceMirrorsV = false;
};
