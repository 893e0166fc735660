#include "session/PreviewWindow.h"

#include "session/SessionImages.h"

PreviewWindow::~PreviewWindow() { Destroy(); }

void PreviewWindow::SetPlacement(HWND newParent, const RECT& rect) {
    parent = newParent;
    placement = rect;
}

bool PreviewWindow::Wanted() const {
    return parent != nullptr || placement.left != 0 || placement.top != 0 || placement.right != 0 ||
           placement.bottom != 0;
}

bool PreviewWindow::Create(const void*, int32_t, int32_t) { return false; }

void PreviewWindow::Destroy() {}

bool PreviewWindow::PrepareDisplay(SessionImages&, int32_t) { return true; }

void PreviewWindow::Draw(SessionImages&, int32_t) {}
