#include "runtime/Lifecycle.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace vl {

LifecycleRegistry& Lifecycle() {
  static LifecycleRegistry registry;
  return registry;
}

void LifecycleRegistry::Register(LifecycleParticipant participant) {
  Unregister(participant.name);
  auto before = [](const LifecycleParticipant& a, const LifecycleParticipant& b) {
    return a.order != b.order ? a.order < b.order : std::strcmp(a.name, b.name) < 0;
  };
  list_.insert(std::upper_bound(list_.begin(), list_.end(), participant, before), std::move(participant));
  ++version_;
}

void LifecycleRegistry::Unregister(std::string_view name) {
  auto it = std::find_if(list_.begin(), list_.end(), [name](const LifecycleParticipant& p) { return name == p.name; });
  if (it == list_.end()) return;
  list_.erase(it);
  ++version_;
}

namespace {
bool Before(int order, std::string_view name, const LifecycleParticipant& p) {
  return order != p.order ? order < p.order : name < std::string_view(p.name);
}
}  // namespace

// Calls `member` of each participant that has it, through `invoke`, until
// `invoke` returns false. A hook may register or remove participants (itself
// included: a plug-in unloading, say): the pass then goes on with the first
// participant ordered after the one it last called, so the others are still
// called once and in order.
template <typename M, typename F>
bool LifecycleRegistry::Walk(M member, F&& invoke) {
  for (size_t i = 0; i < list_.size(); ++i) {
    if (!(list_[i].*member)) continue;
    const unsigned version = version_;
    const int order = list_[i].order;
    const std::string name = list_[i].name;
    // A copy: the hook may remove or replace its own participant.
    auto call = list_[i].*member;
    if (!invoke(call, name)) return false;
    if (version_ != version) {
      auto next = std::find_if(list_.begin(), list_.end(),
                               [&](const LifecycleParticipant& p) { return Before(order, name, p); });
      i = static_cast<size_t>(next - list_.begin()) - 1;  // the loop steps onto `next`
    }
  }
  return true;
}

template <typename M, typename... A>
void LifecycleRegistry::Each(M member, A&&... args) {
  Walk(member, [&](auto& call, const std::string&) {
    call(args...);
    return true;
  });
}

void LifecycleRegistry::Load(LifecycleContext& ctx) { Each(&LifecycleParticipant::load, ctx); }
void LifecycleRegistry::Start(LifecycleContext& ctx) { Each(&LifecycleParticipant::start, ctx); }
void LifecycleRegistry::Started(LifecycleContext& ctx) { Each(&LifecycleParticipant::started, ctx); }
void LifecycleRegistry::Shutdown(LifecycleContext& ctx) { Each(&LifecycleParticipant::shutdown, ctx); }
void LifecycleRegistry::Close(LifecycleContext& ctx) { Each(&LifecycleParticipant::close, ctx); }
void LifecycleRegistry::Destroy(LifecycleContext& ctx) { Each(&LifecycleParticipant::destroy, ctx); }

bool LifecycleRegistry::CloseQuery(LifecycleContext& ctx) {
  ctx.refusedBy.clear();
  // The first refusal ends the query: those after it are not asked.
  return Walk(&LifecycleParticipant::closeQuery, [&ctx](auto& call, const std::string& name) {
    if (call(ctx)) return true;
    ctx.refusedBy = name;
    return false;
  });
}

void LifecycleRegistry::VarChanged(const AnsiString& bracketName, const AnsiString& value) {
  Each(&LifecycleParticipant::varChanged, bracketName, value);
}

void LifecycleRegistry::ModalState(bool ended) { Each(&LifecycleParticipant::modalState, ended); }
void LifecycleRegistry::InputBlock(bool blocked) { Each(&LifecycleParticipant::inputBlock, blocked); }
void LifecycleRegistry::PageLeave(int page, bool withMaster) { Each(&LifecycleParticipant::pageLeave, page, withMaster); }
void LifecycleRegistry::PageEnter(int page, bool withMaster) { Each(&LifecycleParticipant::pageEnter, page, withMaster); }
void LifecycleRegistry::PageShown(int page, bool withMaster) { Each(&LifecycleParticipant::pageShown, page, withMaster); }

}  // namespace vl
