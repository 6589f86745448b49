// The Tools menu (Position List, Texture Font Wizard, Pack Sprites, Animationmaster) and the
// commands behind the tool dialogs: Position Format before "Copy to Clipboard" and the Palette
// Options of the Preferences. installToolDialogs connects them to the main window's actions.
#pragma once

class CBitmapDoc;
class CMainFrame;

void installToolDialogs(CMainFrame& main);

// Tools > Texture Font Wizard: the wizard, and on "&End" a new document with the font texture.
void runFontWizard(CMainFrame& main);

// Tools > Pack Sprites...: the dialog, and on OK one new document per atlas page (and the data
// file when asked); the options are kept in the "Pack" settings section.
void runPackSprites(CMainFrame& main);

// "Copy to Clipboard" of the position list: the Position Format dialog, then the code for doc's
// list as text on the clipboard. False when nothing was generated.
bool copyPositionsWithFormat(CMainFrame& main, CBitmapDoc& doc);
