// The Edit menu's Cut, Copy, Paste and Paste from ClipBoard, the same entries of the view's
// context menu, and paste as new document (Ctrl+B without a document window).
#pragma once

class CMainFrame;

void installClipboardCommands(CMainFrame& main);
