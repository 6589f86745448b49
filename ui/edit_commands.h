// The Edit and Selection menus' picture commands on the active document (Undo, Redo, Scale,
// Resize, the flips, Auto Crop, Crop, Select all) and the animation frame commands.
#pragma once

#include <functional>

class CBitmapDoc;
class CBitmapView;
class CMainFrame;

void installEditCommands(CMainFrame& main);

// Whether the active document's current frame has a picture.
bool framePresent(const CMainFrame& main);
// Whether an edit may change the active document now: it has a picture and is not playing.
bool editIdle(const CMainFrame& main);

// Gives `command` a handler that runs `run` on the active document and its view, under the
// enable rule `enabled`; without a document window nothing runs.
void handleEdit(CMainFrame& main, int command, std::function<void(CBitmapDoc&, CBitmapView&)> run,
                std::function<bool()> enabled);
