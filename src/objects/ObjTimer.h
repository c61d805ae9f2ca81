#pragma once
// The timer object (ObjectType 15).
#include "objects/VellionObj.h"
#include "runtime/Clock.h"

namespace vl {

class TVellionTimer : public TVellionObj {
 public:
  TVellionTimer(QWidget* owner, int objType);
  ~TVellionTimer() override;

  int64_t Interval = 1000;  // milliseconds
  bool AutoStart = true;
  bool AutoStop = true;
  bool RunOnce = false;
  AnsiString VarName;
  AnsiString TimerAction;
  bool Running() const { return running_; }

  // Stops, takes the absolute interval, remembers the start and runs.
  void Start(int64_t interval);
  void Stop();

  bool ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) override;
  void DrawShape(QPainter&) override {}
  void SetVisibleState(bool) override {}
  void OnPageShown() override;
  void OnPageLeave() override;
  void OnModalState(bool ended) override;
  void OnShutdown() override;

 private:
  void Tick();
  void Arm();
  void Publish();

  TVelTimer timer_;
  bool running_ = false;
  bool paused_ = false;
  int64_t startTick_ = 0;
};

}  // namespace vl
