#include "actions/Vars.h"

namespace vl {

// Lines live on the heap so the index can key on their names and so pointers
// to a line stay valid while other lines come and go. Removal leaves an empty
// slot: deleting every line one by one (ClearVariables on a large file) stays
// linear; the slots are packed again on position access or when appending.

namespace {
uint64_t gStoreGeneration = 1;
}  // namespace

uint64_t VarStoreGeneration() { return gStoreGeneration; }
void BumpVarStoreGeneration() { ++gStoreGeneration; }

TVarStringList::TVarStringList() = default;
TVarStringList::~TVarStringList() { ++gStoreGeneration; }

TVarStringList::Line* TVarStringList::Find(std::string_view name) {
  auto it = index_.find(name);
  return it == index_.end() ? nullptr : it->second;
}

const TVarStringList::Line* TVarStringList::Find(std::string_view name) const {
  auto it = index_.find(name);
  return it == index_.end() ? nullptr : it->second;
}

TVarStringList::Line* TVarStringList::Append(std::string_view name, std::string_view value,
                                             std::unique_ptr<TGenericVarInfo> info) {
  if (!walking_ && slots_.size() > 64 && slots_.size() > 2 * static_cast<size_t>(live_)) Compact();
  auto line = std::make_unique<Line>();
  line->name.assign(name);
  line->value.assign(value);
  line->info = std::move(info);
  Line* p = line.get();
  ++gStoreGeneration;
  p->slot = slots_.size();
  slots_.push_back(std::move(line));
  index_.emplace(std::string_view(p->name), p);
  ++live_;
  return p;
}

bool TVarStringList::Remove(std::string_view name) {
  auto it = index_.find(name);
  if (it == index_.end()) return false;
  Line* p = it->second;
  ++gStoreGeneration;
  index_.erase(it);
  slots_[p->slot].reset();
  --live_;
  if (live_ == 0 && !walking_) slots_.clear();
  return true;
}

void TVarStringList::Clear() {
  ++gStoreGeneration;
  index_.clear();
  if (walking_) {
    for (auto& s : slots_) s.reset();
  } else {
    slots_.clear();
  }
  live_ = 0;
  conversionFailed = false;
}

void TVarStringList::Compact() const {
  if (walking_ || slots_.size() == static_cast<size_t>(live_)) return;
  size_t w = 0;
  for (size_t r = 0; r < slots_.size(); ++r)
    if (slots_[r]) {
      slots_[r]->slot = w;
      if (w != r) slots_[w] = std::move(slots_[r]);
      ++w;
    }
  slots_.resize(w);
}

TVarStringList::Line& TVarStringList::At(int index) {
  Compact();
  if (walking_) {
    int n = 0;
    for (auto& s : slots_)
      if (s && n++ == index) return *s;
  }
  return *slots_.at(static_cast<size_t>(index));
}

const TVarStringList::Line& TVarStringList::At(int index) const {
  return const_cast<TVarStringList*>(this)->At(index);
}

int TVarStringList::NextSlot(int slot) const {
  if (slot < 0) slot = 0;
  for (size_t i = static_cast<size_t>(slot); i < slots_.size(); ++i)
    if (slots_[i]) return static_cast<int>(i);
  return -1;
}

}  // namespace vl
