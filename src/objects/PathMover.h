#pragma once
// Movements of objects along paths (MoveObjectAlongPath): each mover walks
// its object from point to point about 2 pixels a step, one step per tick of
// the one clock, on the interface thread. The registry of running movers
// lives as long as the program; a mover leaves it when it ends.
#include <QPoint>
#include <QPointer>
#include <memory>
#include <string_view>
#include <vector>

#include "objects/VellionObj.h"
#include "runtime/Ansi.h"
#include "runtime/Clock.h"

namespace vl {

// What the options text asks for.
enum TMoverMode : uint8_t { kMoveOnce = 0, kMoveWait = 1, kMoveLoop = 2 };

class TVellionObjMover : public std::enable_shared_from_this<TVellionObjMover> {
 public:
  struct Options {
    TMoverMode mode = kMoveOnce;
    bool restore = false;
    bool leftTop = false;
    int64_t delayMs = 15;
    AnsiString label;
  };
  TVellionObjMover(TVellionObj* object, std::vector<QPoint> path, const Options& options);
  ~TVellionObjMover();

  // Registers the mover and takes its first step.
  void Start();
  // Asks it to stop: it ends at once (restoring its object and posting its
  // label as a finished movement does).
  void Terminate();
  bool Finished() const { return finished_; }
  const AnsiString& ObjectName() const { return name_; }
  TVellionObj* Object() const { return object_; }

 private:
  void Tick();
  void End();
  // Aims at path point `index_`: the steps per axis from the current point.
  void Aim();
  // The next point in the walking direction; false when the walk is over.
  bool Advance();
  void MoveObjectTo(QPoint topLeft);

  QPointer<TVellionObj> object_;
  QPointer<QObject> window_;  // gets the label's request
  AnsiString name_;
  std::vector<QPoint> path_;
  Options opt_;
  QPoint start_;   // the object's top-left when the command ran
  QPoint centre_;  // (cx, cy)
  QPoint cur_;
  double ex_ = 0, ey_ = 0, sx_ = 0, sy_ = 0;
  size_t index_ = 0;
  bool forward_ = true;
  bool finished_ = false;
  Clock::TimerId timer_ = 0;
};

// The path of MoveObjectAlongPath: fields split at ",", alternately x and y;
// a plain number is read as a whole number, anything else evaluated as an
// expression whose result must be whole; a field that is neither counts 0.
// A trailing x without its y is dropped.
std::vector<QPoint> ParseMoverPath(std::string_view text);
// The mover options from the speed and options texts.
TVellionObjMover::Options ParseMoverOptions(std::string_view speed, std::string_view options);

// The first running mover of the object named `name`, or null.
std::shared_ptr<TVellionObjMover> IsMoving(std::string_view name);
// Stops every mover (a page change, StopMovingObject without a name, the
// window closing).
void StopAllMovers();
int RunningMovers();

}  // namespace vl
