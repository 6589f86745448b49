// The File menu: New, Open, Close, Save, Save As, Export, Preferences and Exit. The main window's
// document lifecycle behind them (opening, creating, asking to save, recent files, dropped
// files, the preferences) is defined in file_commands.cpp too.
#pragma once

class CMainFrame;

void installFileCommands(CMainFrame& main);

// What Save As and Export say when no document is open (both are always enabled).
inline constexpr const char* kNoDocumentToSave = "No document is open: there is nothing to save.";
inline constexpr const char* kNoDocumentToExport =
    "No document is open: there is nothing to export.";
