#pragma once
// The application title: caption of the main window, text of the status bar, end of the about box's
// caption and title of every message box the program shows.

namespace tabvert::shell {

inline constexpr char AppTitle[] = "Norrin Tabvert 4.0";

}  // namespace tabvert::shell
