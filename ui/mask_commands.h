// The Mask menu: Create mask (pick key colour, 1-bit and 8-bit alpha, intensity, 1-pixel border),
// Clear and Invert, on the active document view's mask surface.
#pragma once

class CMainFrame;

void installMaskCommands(CMainFrame& main);
