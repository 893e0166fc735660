#include "session/FrameCorrections.h"

#include "common/CriticalSection.h"
#include "session/CKelvra.h"

void CorrectDefectList(CKelvra& session, DibImage&) {
    // Held even while the correction has nothing to do, so the pipeline's locking is the one the
    // correction will run under.
    const CriticalSectionGuard hold(session.corrections.imageLock);
}

void ApplyMaskFilter(CKelvra&, DibImage&) {}

void ApplyDotFilter(CKelvra&, DibImage&) {}
