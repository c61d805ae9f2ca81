#pragma once
// While a hold is taken, a virtual clock (runtime/Clock.h) does not skip idle
// time: its time follows real time, because only the outside world (a
// network transfer in flight) can end the wait, and timers must still be
// able to cancel it. Real clocks follow real time anyway, so there the hold
// does nothing.
namespace vl {

void FollowRealTime(bool take);

// Takes a FollowRealTime hold for its lifetime.
class RealTimeHold {
 public:
  RealTimeHold() { FollowRealTime(true); }
  ~RealTimeHold() { FollowRealTime(false); }
  RealTimeHold(const RealTimeHold&) = delete;
  RealTimeHold& operator=(const RealTimeHold&) = delete;
};

}  // namespace vl
