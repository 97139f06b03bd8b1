// orbelune-render's command line as read: what each of its modes is given.
#pragma once

#include <string>

#include "maps/CountMaps.h"
#include "render/DrawBall.h"

inline constexpr char kName[] = "orbelune-render";
inline constexpr char kVersion[] = "orbelune-render " ORBELUNE_VERSION;

struct Options {
  std::string output = "orbelune.png";
  bool outputGiven = false;
  bool digest = false;
  // The render pass's options, handed on by call to the march.
  RenderOptions render;
  bool viewGiven = false;
  std::string check;
  std::string map;
  MapKind mapKind = MapKind::kShaded;
  int turn = 0;  // frames of a turn; 0 for none
  double fps = 25;
  bool fpsGiven = false;
  int step = 1;  // a turn's frames: every step-th column and row
};

// Reads the command line; returns -1 to go on, else the exit code (the
// help and the version shown, or why the arguments are refused).
int ParseArguments(int argc, char** argv, Options& options);

// Refuses a terminal as the file to check, as a bad argument: says so and
// returns 2.
int RefuseTerminalInput();
