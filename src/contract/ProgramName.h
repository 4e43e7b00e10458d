#pragma once

// The panel's one name: the window's title, the program a caller is told to start,
// and the name in the words of every program that looks for a running panel.
inline constexpr auto kProgramName = "orma-qx50-voice-mem";
