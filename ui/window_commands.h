// The Window menu (New Window, Cascade, the tilings, Close All, the list of document windows),
// View > Toolbar and Status Bar, and Help > About. The document windows themselves (CChildFrame,
// their placement, sizes, titles and closing) are defined in window_commands.cpp too.
#pragma once

class CMainFrame;

void installWindowCommands(CMainFrame& main);
