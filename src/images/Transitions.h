#pragma once
// The transition effects: how a new picture replaces an old one inside a
// rectangle, step by step. Pages use them when they change, objects when
// they are shown or hidden.
//
// An effect is a step machine over the picture the rectangle shows (the
// "screen", which starts as the old picture): every Step draws the next
// stage onto it and says how long to pause before the following one. The
// engine knows nothing of widgets or time: whoever plays an effect shows the
// screen after each step and waits on the clock (platform/TransitionPlayer.h),
// and tests and benchmarks call Step directly.
//
//   auto fx = MakeTransitionEffect(EffectNumber("Dissolve"), in);
//   QImage screen = in.oldPic;
//   int pause;
//   while (fx->Step(screen, pause)) { show(screen); wait(pause); }
#include <QImage>
#include <QRegion>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace vl {

// The effects of the table, by number: 0 "None" ... 23 "Page Turn".
constexpr int kEffectCount = 24;
// The number of a table effect (names compare without regard to case), or
// -1 for a name the table does not know.
int EffectNumber(std::string_view name);
// The name of effect `number`, or "" outside the table.
const char* EffectName(int number);
// The speed of an effect from its options text: a whole number clamped to
// 0..10 (a slowness: 0 is the fastest), 5 when the text is not a number.
int EffectSpeed(std::string_view options);

struct TransitionInput {
  QImage oldPic;  // what the rectangle shows now (the screen starts as this)
  QImage newPic;  // what it is to show; both the rectangle's size
  int direction = 0;  // new page index minus the old one; 0 for objects
  int speed = 5;      // EffectSpeed
  QRegion region;     // "Transparent": the parts of the new picture to copy
  uint32_t seed = 1;  // the order of "Blocks" (fixed, so runs repeat)
};

class TTransitionEffect {
 public:
  virtual ~TTransitionEffect() = default;
  // Draws the next step onto `screen` (a Format_RGB32 picture of the
  // rectangle's size) and sets `pauseMs`, the pause that follows it (0 or
  // less: none). False, drawing nothing, once every step has been drawn.
  virtual bool Step(QImage& screen, int& pauseMs) = 0;
};

// The effect `number` of the table over `in` (pictures converted to
// Format_RGB32 and the new one cut or padded to the old one's size when they
// differ). Outside the table: a plain copy.
std::unique_ptr<TTransitionEffect> MakeTransitionEffect(int number, const TransitionInput& in);

// --- effects offered by plug-ins
// A plug-in effect draws its whole change onto `screen` in one call; false
// when it could not (the new picture is then copied plainly).
using PlugInEffectFn = std::function<bool(int number, const QImage* oldPic, const QImage& newPic, QImage& screen,
                                          int direction, std::string_view options)>;
// Registers the effect `name` (the plug-in's own `number`); built-in names
// always win. A second registration of a name replaces the first.
void RegisterPlugInEffect(std::string_view name, int number, PlugInEffectFn fn);
// Forgets every plug-in effect (the plug-ins are unloaded).
void ClearPlugInEffects();
// The plug-in effect of that name: true with `number` and `fn` set.
bool FindPlugInEffect(std::string_view name, int& number, PlugInEffectFn& fn);

// The 8 x 8 one-bit masks of Dissolve and Block Dissolve, eight bytes each
// (one byte per row, the most significant bit on the left). A 0 bit lets
// the new picture through.
extern const uint8_t kDissolveMasks[8][8];
extern const uint8_t kBlockDissolveMasks[8][8];

}  // namespace vl
