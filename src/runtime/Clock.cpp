#include "runtime/Clock.h"

#include "runtime/RealTimeHold.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <map>
#include <stdexcept>
#include <unordered_map>

namespace vl {

bool Clock::Sleep(int64_t ms, const std::function<bool()>& stop) {
  const int64_t deadline = NowMs() + (ms < 0 ? 0 : ms);
  RunUntil([&] { return (stop && stop()) || NowMs() >= deadline; }, deadline);
  return !(stop && stop());
}

void Clock::Block(int64_t ms, const std::function<bool()>& stop) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
    if (stop && stop()) return;
    QThread::msleep(1);
  }
}

namespace {

QAbstractEventDispatcher* Dispatcher() { return QAbstractEventDispatcher::instance(QThread::currentThread()); }

class RealClock final : public Clock {
 public:
  RealClock() { elapsed_.start(); }
  ~RealClock() override {
    for (auto& [id, t] : timers_) delete t;
  }

  int64_t NowMs() override { return elapsed_.elapsed(); }
  int64_t WallMs() override { return QDateTime::currentMSecsSinceEpoch(); }

  TimerId StartTimer(int64_t delayMs, std::function<void()> fn) override {
    if (!QCoreApplication::instance()) throw std::runtime_error("Not enough timers available");
    TimerId id = ++next_;
    auto* t = new QTimer;
    t->setSingleShot(true);
    t->setTimerType(Qt::PreciseTimer);
    QObject::connect(t, &QTimer::timeout, [this, id, fn = std::move(fn)] {
      auto it = timers_.find(id);
      if (it == timers_.end()) return;
      it->second->deleteLater();
      timers_.erase(it);
      fn();
    });
    timers_[id] = t;
    t->start(static_cast<int>(delayMs < 0 ? 0 : (delayMs > INT32_MAX ? INT32_MAX : delayMs)));
    return id;
  }

  void CancelTimer(TimerId id) override {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    it->second->stop();
    it->second->deleteLater();
    timers_.erase(it);
  }

  void Yield() override {
    // Polling the host queue costs a few microseconds; doing it at most once
    // a millisecond keeps tight loops of actions fast while the window stays
    // responsive.
    int64_t now = elapsed_.nsecsElapsed();
    if (now - lastPoll_ < 1000000) return;
    lastPoll_ = now;
    if (auto* d = Dispatcher()) d->processEvents(QEventLoop::AllEvents);
  }

  bool RunUntil(const std::function<bool()>& done, int64_t deadlineMs) override {
    auto* d = Dispatcher();
    while (!done()) {
      if (deadlineMs >= 0 && NowMs() >= deadlineMs) break;
      if (!d) return done();
      // Wake up at the deadline even when nothing else happens.
      QTimer wake;
      wake.setSingleShot(true);
      wake.setTimerType(Qt::PreciseTimer);
      if (deadlineMs >= 0) wake.start(static_cast<int>(std::max<int64_t>(0, deadlineMs - NowMs())));
      d->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return done();
  }

  bool IsVirtual() const override { return false; }

 private:
  QElapsedTimer elapsed_;
  int64_t lastPoll_ = -1000000000;
  TimerId next_ = 0;
  std::unordered_map<TimerId, QTimer*> timers_;
};

class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(int64_t wallStart) : wallStart_(wallStart) {}

  int64_t NowMs() override { return nowUs_ / 1000; }
  int64_t WallMs() override { return wallStart_ + NowMs(); }

  TimerId StartTimer(int64_t delayMs, std::function<void()> fn) override {
    TimerId id = ++next_;
    int64_t due = nowUs_ + (delayMs < 0 ? 0 : delayMs) * 1000;
    queue_.emplace(std::make_pair(due, id), std::move(fn));
    return id;
  }

  void CancelTimer(TimerId id) override {
    for (auto it = queue_.begin(); it != queue_.end(); ++it)
      if (it->first.second == id) {
        queue_.erase(it);
        return;
      }
  }

  void Yield() override {
    FollowReal();
    // A statement costs a little virtual time, so an action that waits in a
    // loop for a timer to change a variable still sees the timer fire.
    nowUs_ += 10;
    FireDue();
    // Events posted inside the program (queued signals, deferred work) are
    // delivered every 64 statements, as often as before; asking the host
    // for its events costs a system call and a few microseconds, so that is
    // done every 1,024 statements (still about every 10 ms of virtual time).
    // Both are counted in statements, so a run repeats exactly.
    ++yields_;
    if (yields_ % 1024 == 0) {
      if (auto* d = Dispatcher()) d->processEvents(QEventLoop::AllEvents);
    } else if (yields_ % 64 == 0 && QCoreApplication::instance()) {
      QCoreApplication::sendPostedEvents();
    }
  }

  bool RunUntil(const std::function<bool()>& done, int64_t deadlineMs) override {
    auto* d = Dispatcher();
    while (!done()) {
      FollowReal();
      bool any = d && d->processEvents(QEventLoop::AllEvents);
      if (done()) break;
      if (FireDue()) continue;
      if (any) continue;
      int64_t deadlineUs = deadlineMs >= 0 ? deadlineMs * 1000 : -1;
      if (realHolds_ > 0 && d) {
        // Idle while a transfer is in flight: wait in real time, but no
        // longer than the next timer or the deadline.
        int64_t untilUs = deadlineUs;
        if (!queue_.empty() && (untilUs < 0 || queue_.begin()->first.first < untilUs))
          untilUs = queue_.begin()->first.first;
        if (untilUs >= 0 && untilUs <= nowUs_) {
          if (FireDue()) continue;
          if (deadlineUs >= 0 && nowUs_ >= deadlineUs) break;
        }
        int64_t waitMs = untilUs < 0 ? 20 : std::clamp<int64_t>((untilUs - nowUs_ + 999) / 1000, 1, 20);
        QTimer wake;
        wake.setSingleShot(true);
        wake.setTimerType(Qt::PreciseTimer);
        wake.start(static_cast<int>(waitMs));
        d->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        continue;
      }
      // Idle: jump to the next timer, or to the deadline.
      if (!queue_.empty() && (deadlineUs < 0 || queue_.begin()->first.first <= deadlineUs)) {
        nowUs_ = std::max(nowUs_, queue_.begin()->first.first);
        FireDue();
        continue;
      }
      if (deadlineUs >= 0) {
        nowUs_ = std::max(nowUs_, deadlineUs);
        break;
      }
      // Nothing is scheduled: only the outside world (a process, a socket)
      // can still change things. Wait for it in real time, briefly.
      if (!d) break;
      QTimer wake;
      wake.setSingleShot(true);
      wake.start(20);
      d->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return done();
  }

  void Block(int64_t ms, const std::function<bool()>& stop) override {
    if (ms > 0 && !(stop && stop())) nowUs_ += ms * 1000;
  }

  bool IsVirtual() const override { return true; }

  void FollowRealTime(bool take) {
    if (take) {
      if (realHolds_++ == 0) {
        if (!real_.isValid()) real_.start();
        lastRealUs_ = real_.nsecsElapsed() / 1000;
      }
    } else if (realHolds_ > 0) {
      FollowReal();
      --realHolds_;
    }
  }

 private:
  // Moves virtual time on by the real time passed since the last call while
  // a hold is taken.
  void FollowReal() {
    if (realHolds_ <= 0) return;
    const int64_t us = real_.nsecsElapsed() / 1000;
    if (us > lastRealUs_) nowUs_ += us - lastRealUs_;
    lastRealUs_ = us;
  }

  // Fires every timer that is due now, in due order. True when any fired.
  bool FireDue() {
    bool fired = false;
    while (!queue_.empty() && queue_.begin()->first.first <= nowUs_) {
      auto fn = std::move(queue_.begin()->second);
      queue_.erase(queue_.begin());
      fn();
      fired = true;
    }
    return fired;
  }

  int64_t wallStart_;
  int64_t nowUs_ = 0;
  int realHolds_ = 0;
  QElapsedTimer real_;
  int64_t lastRealUs_ = 0;
  uint64_t yields_ = 0;
  TimerId next_ = 0;
  std::map<std::pair<int64_t, TimerId>, std::function<void()>> queue_;
};

std::unique_ptr<Clock>& ClockSlot() {
  static std::unique_ptr<Clock> c;
  return c;
}

}  // namespace

std::unique_ptr<Clock> MakeRealClock() { return std::make_unique<RealClock>(); }
std::unique_ptr<Clock> MakeVirtualClock(int64_t wallStartMs) { return std::make_unique<VirtualClock>(wallStartMs); }

Clock& TheClock() {
  auto& c = ClockSlot();
  if (!c) c = MakeRealClock();
  return *c;
}

void InstallClock(std::unique_ptr<Clock> clock) { ClockSlot() = std::move(clock); }

void FollowRealTime(bool take) {
  if (auto* v = dynamic_cast<VirtualClock*>(&TheClock())) v->FollowRealTime(take);
}

TVelTimer::~TVelTimer() {
  *alive_ = false;
  Stop();
}

void TVelTimer::Stop() {
  if (id_) {
    TheClock().CancelTimer(id_);
    id_ = 0;
  }
}

void TVelTimer::SetInterval(int64_t ms) {
  Stop();
  interval_ = ms;
  if (ms <= 0) return;
  std::weak_ptr<bool> alive = alive_;
  id_ = TheClock().StartTimer(ms, [this, alive] {
    if (alive.expired() || !*alive.lock()) return;
    id_ = 0;  // one shot
    if (onTimer_) onTimer_();
  });
}

}  // namespace vl
