// The File menu: New, Open, Close, Save, Save As, Export, Preferences and Exit. The main window's
// document lifecycle behind them (opening, creating, asking to save, recent files, dropped
// files, the preferences) is defined in file_commands.cpp too.
#pragma once

class CMainFrame;

void installFileCommands(CMainFrame& main);
