// The page's "Save turn", in a module of its own: the turn's views as text
// and its file, written by the command's own writer (turn/TurnWriter.h)
// over libwebp. One turn at a time, in the page's turn worker, which hands
// it each frame's colours as the page's workers compute them.
#include <emscripten/emscripten.h>

#include <string>
#include <vector>

#include "text/ViewText.h"
#include "turn/TurnViews.h"
#include "turn/TurnWriter.h"

static TurnShape shape;
static TurnWriter* writer = nullptr;
static std::vector<PackedColour> room;  // the next frame's colours
static std::vector<uint8_t> file;       // the finished turn
static std::string why, text;

extern "C" {

// Frees the turn in hand, finished or not, and its file.
EMSCRIPTEN_KEEPALIVE void OrbeluneTurnFree() {
  FreeTurn(writer);
  writer = nullptr;
  std::vector<PackedColour>().swap(room);
  std::vector<uint8_t>().swap(file);
}

// Starts a turn of `frames` frames from the view "A,B,C", read as
// orbelune-render --view reads it. "" once started, or why not.
EMSCRIPTEN_KEEPALIVE const char* OrbeluneTurnBegin(const char* start, int frames) {
  OrbeluneTurnFree();
  shape = TurnShape();
  if (!ParseView(start, shape.start, why)) {
    why = "the start view " + why;
    return why.c_str();
  }
  shape.frames = frames;
  writer = BeginTurn(shape, why);
  if (writer == nullptr) return why.c_str();
  room.assign((size_t)shape.width * shape.height, 0);
  why.clear();
  return why.c_str();
}

// Frame k's view, as the shortest text that --view reads back as its
// floats: the text the page hands its workers, so that every frame is the
// command's, never a view rounded in JavaScript.
EMSCRIPTEN_KEEPALIVE const char* OrbeluneTurnViewText(int frame) {
  text = frame >= 0 && frame < shape.frames ? ViewText(TurnView(shape.start, frame, shape.frames))
                                           : std::string();
  return text.c_str();
}

// Where the next frame's colours go: width x height, in frame-store order
// (column by column, each top to bottom). Null without a turn.
EMSCRIPTEN_KEEPALIVE PackedColour* OrbeluneTurnRoom() {
  return writer != nullptr ? room.data() : nullptr;
}

// Adds the frame in the room, whose digest is the lower-case hex given.
// "" or why not.
EMSCRIPTEN_KEEPALIVE const char* OrbeluneTurnAdd(const char* digest) {
  if (writer == nullptr) return "no turn was begun";
  if (!AddTurnFrame(writer, room.data(), digest, why)) return why.c_str();
  why.clear();
  return why.c_str();
}

// Ends the turn once every frame is in: "" with the file at
// OrbeluneTurnFile (OrbeluneTurnFileSize bytes), or why not.
EMSCRIPTEN_KEEPALIVE const char* OrbeluneTurnFinish() {
  if (writer == nullptr) return "no turn was begun";
  std::vector<PackedColour>().swap(room);
  const bool done = FinishTurn(writer, file, why);
  FreeTurn(writer);
  writer = nullptr;
  if (!done) return why.c_str();
  why.clear();
  return why.c_str();
}

EMSCRIPTEN_KEEPALIVE const uint8_t* OrbeluneTurnFile() {
  return file.data();
}

EMSCRIPTEN_KEEPALIVE int OrbeluneTurnFileSize() {
  return (int)file.size();
}

}  // extern "C"
