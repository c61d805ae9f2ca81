// The sound commands: PlaySoundFile, StopMedia, MCICommand, PlayTone,
// SoundBuzzer, GetVolume and SetVolume. What sounds goes to the media host
// (media/MediaHost.h); when it ends is the device table's business, on the
// one clock.
#include <cstdlib>

#include "actions/CmdArgs.h"
#include "actions/CommandApi.h"
#include "actions/Vars.h"
#include "media/Mci.h"
#include "media/MediaHost.h"
#include "media/MediaList.h"
#include "runtime/Clock.h"
#include "runtime/Global.h"

namespace vl {
namespace {

constexpr int kBeepMs = 150;

void DoPlaySoundFile(CommandContext& c) {
  StartMedia(c.Arg(1), MediaModeFromOptions(c.Arg(2)), c.Literal(1), [&c] { return c.ShouldStop(); });
}

void DoStopMedia(CommandContext& c) { StopMedia(c.Arg(1)); }

void DoMCICommand(CommandContext& c) {
  PrepareMediaDevices();
  MciReply r = TheMci().Send(c.Arg(1), [&c] { return c.ShouldStop(); });
  SetVariable("MCIResult", std::to_string(r.code));
  SetVariable("MCIResponse", r.text);
  SetLastError(MciErrorText(r.code));
}

// The beep call blocks for its length: nothing else runs meanwhile.
void Beep(int64_t hz) {
  if (hz < 0) hz = -hz;
  // The highest pitch the speaker call takes; higher numbers would wrap round
  // to arbitrary low pitches.
  if (hz > 32767) hz = 32767;
  Media().Tone(static_cast<int>(hz), kBeepMs);
  TheClock().Block(kBeepMs);
}

void DoPlayTone(CommandContext& c) { Beep(WholeArg(c.Arg(1))); }
void DoSoundBuzzer(CommandContext&) { Beep(100); }

MixerLine LineFromName(std::string_view name) {
  struct Named {
    const char* name;
    MixerLine line;
  };
  // "Midi" is the wave line, as on the systems where the synthesizer has no
  // line of its own.
  static const Named kLines[] = {{"Aux", MixerLine::CompactDisc},      {"CD", MixerLine::CompactDisc},
                                 {"Wave", MixerLine::Wave},            {"Midi", MixerLine::Wave},
                                 {"LineIn", MixerLine::LineIn},        {"Microphone", MixerLine::Microphone},
                                 {"DAT", MixerLine::Digital},          {"Auxiliary", MixerLine::Auxiliary}};
  for (const Named& n : kLines)
    if (SameTextInvariant(name, n.name)) return n.line;
  return MixerLine::Master;
}

void DoGetVolume(CommandContext& c) {
  uint16_t v = 0;
  if (!Media().LineVolume(LineFromName(c.Arg(1)), v)) v = 0;
  SetVariable(c.Arg(2), std::to_string(v / 257));
}

void DoSetVolume(CommandContext& c) {
  // 0..255 on the mixer's 0..65535; numbers outside are clamped rather than
  // wrapped round (256 would silence the line).
  int64_t v = WholeArg(c.Arg(2));
  if (v < 0) v = 0;
  if (v > 255) v = 255;
  Media().SetLineVolume(LineFromName(c.Arg(1)), static_cast<uint16_t>(v * 257));
}

const CommandBinder kBind{{cmd::PlaySoundFile, DoPlaySoundFile}, {cmd::StopMedia, DoStopMedia},
                          {cmd::MCICommand, DoMCICommand},       {cmd::PlayTone, DoPlayTone},
                          {cmd::SoundBuzzer, DoSoundBuzzer},     {cmd::GetVolume, DoGetVolume},
                          {cmd::SetVolume, DoSetVolume}};

}  // namespace
}  // namespace vl
