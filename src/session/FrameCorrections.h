// The corrections of the raw frame that work from the session's calibration data: the
// defect-list correction, the mask (flat-field) filter and the dot filter. The frame pipeline
// calls them in its fixed order; the mask and configuration work gives them their bodies.
//
// Locking: CorrectDefectList takes the session's imageLock itself; the mask and dot filters
// are called with imageLock already held, so that a mask or configuration file loading at the
// same time never meets a half-corrected frame.
#pragma once

class CKelvra;
struct DibImage;

// Replaces the pixels of the session's defect list in raw. Not filled yet: the defect list
// is not loaded in this build, so the frame passes unchanged.
void CorrectDefectList(CKelvra& session, DibImage& raw);
// Shading correction of raw with the dark and white calibration planes. Not filled yet.
void ApplyMaskFilter(CKelvra& session, DibImage& raw);
// Replaces hot and dead pixels of raw found by the defect maps. Not filled yet.
void ApplyDotFilter(CKelvra& session, DibImage& raw);
