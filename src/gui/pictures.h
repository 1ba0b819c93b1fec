#pragma once
// The program's pictures, compiled in as Qt resources (resources/pictures.qrc, drawn by tools/art).

namespace tabvert::shell::pictures {

inline constexpr char kIcon[] = ":/pictures/tabvert.png";              // 32 x 32
inline constexpr char kSplash[] = ":/pictures/splash.png";             // 350 x 214
inline constexpr char kAbout[] = ":/pictures/about.png";               // 311 x 304
inline constexpr char kToolbarOpen[] = ":/pictures/toolbar_open.png";  // 66 x 63 on magenta
inline constexpr char kToolbarExport[] = ":/pictures/toolbar_export.png";
inline constexpr char kToolbarHelp[] = ":/pictures/toolbar_help.png";
inline constexpr char kNodeDatabase[] = ":/pictures/node_database.png";  // 16 x 16 on light grey
inline constexpr char kNodeTable[] = ":/pictures/node_table.png";
inline constexpr char kToolbarBackground[] = ":/pictures/toolbar_background.png";  // 688 x 66

// Registers the compiled-in pictures. The window library is static, so its resource initialiser is only
// linked in when something calls it; every window that shows a picture calls this first (repeated
// calls are harmless).
void Register();

}  // namespace tabvert::shell::pictures
