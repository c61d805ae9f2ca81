#pragma once
// The one clock. Every timer and every wait of the player goes through it, so
// a headless run can use virtual time: fast (idle time is skipped) and
// repeatable (the same script gives the same trace).
#include <cstdint>
#include <functional>
#include <memory>

namespace vl {

class Clock {
 public:
  using TimerId = uint64_t;
  virtual ~Clock() = default;

  // Monotonic milliseconds since the clock was made.
  virtual int64_t NowMs() = 0;
  // Wall time in milliseconds since 1970-01-01 UTC (virtual clocks start at a
  // fixed instant so time-of-day output repeats).
  virtual int64_t WallMs() = 0;

  // One-shot timer: `fn` runs from the event loop once `delayMs` have passed.
  // Returns a non-zero id.
  virtual TimerId StartTimer(int64_t delayMs, std::function<void()> fn) = 0;
  virtual void CancelTimer(TimerId id) = 0;

  // Lets pending host events and due timers run without waiting. Cheap enough
  // to call between two statements of a running action.
  virtual void Yield() = 0;
  // Runs the event loop until `done()` is true or `deadlineMs` (in NowMs
  // terms, -1 = none) has passed. Returns done().
  virtual bool RunUntil(const std::function<bool()>& done, int64_t deadlineMs) = 0;
  // Waits `ms` while the event loop runs (or until `stop()` answers true).
  bool Sleep(int64_t ms, const std::function<bool()>& stop = {});
  // Waits `ms` without letting events or timers run (the user interface is
  // blocked meanwhile), polling `stop` about every millisecond. A virtual
  // clock only moves its time on.
  virtual void Block(int64_t ms, const std::function<bool()>& stop = {});

  virtual bool IsVirtual() const = 0;
};

// The clock in force. A real clock over the Qt event loop is made on first
// use unless another was installed.
Clock& TheClock();
void InstallClock(std::unique_ptr<Clock> clock);

// Real time on the Qt event loop of the calling (user-interface) thread.
std::unique_ptr<Clock> MakeRealClock();
// Virtual time: starts at 0 (wall time at `wallStartMs`) and jumps to the next
// timer whenever the event loop is idle.
std::unique_ptr<Clock> MakeVirtualClock(int64_t wallStartMs);

// A one-shot timer component: setting an interval restarts it; the first
// expiry stops it again.
class TVelTimer {
 public:
  TVelTimer() = default;
  explicit TVelTimer(std::function<void()> onTimer) : onTimer_(std::move(onTimer)) {}
  ~TVelTimer();
  TVelTimer(const TVelTimer&) = delete;
  TVelTimer& operator=(const TVelTimer&) = delete;

  void SetOnTimer(std::function<void()> fn) { onTimer_ = std::move(fn); }
  // Stops any running timing; an interval above 0 starts a new one.
  void SetInterval(int64_t ms);
  int64_t Interval() const { return interval_; }
  bool Running() const { return id_ != 0; }
  void Stop();

 private:
  std::function<void()> onTimer_;
  int64_t interval_ = 0;
  Clock::TimerId id_ = 0;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace vl
