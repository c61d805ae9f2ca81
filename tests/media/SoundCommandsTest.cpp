// The sound commands as actions run them (as `vellion --eval` does, on the
// virtual clock, with the silent sink), and the media list's rules.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "../actions/CmdTestSupport.h"
#include "media/Mci.h"
#include "media/MediaHost.h"
#include "media/MediaList.h"
#include "runtime/Clock.h"
#include "support/ActionRunner.h"

using namespace vl;
using namespace vltest;

namespace {

const std::string kDir = std::string(VL_SOURCE_DIR) + "/tests/media/fixtures/";

// Each run leaves nothing playing for the next.
ActionRun RunAndStop(const std::string& text) {
  ActionRun r = RunActionText(text);
  StopAllMedia();
  return r;
}

TEST(SoundCommands, MciCommandSetsResultResponseAndLastError) {
  RunCmdCases({
      {"open and status",
       "MCICommand \"open " + kDir + "pcm16-mono-1500ms.wav alias s\"\n"
       "MCICommand \"status s length\"\nSetVar \"[len]\" \"[MCIResponse]\"\n"
       "MCICommand \"status s mode\"\n",
       {{"len", "1500"}, {"MCIResponse", "stopped"}, {"MCIResult", "0"}}},
      {"unknown verb",
       "MCICommand \"fly away\"\n",
       {{"MCIResult", "261"}, {"LastError", MciErrorText(kMciUnrecognizedCommand)}}},
      {"unknown alias",
       "MCICommand \"play nobody\"\n",
       {{"MCIResult", "263"}, {"LastError", MciErrorText(kMciInvalidDeviceName)}}},
      {"success clears LastError",
       "MCICommand \"fly\"\nMCICommand \"open " + kDir + "format0-2000ms.mid alias t\"\n",
       {{"MCIResult", "0"}}},
  });
  StopAllMedia();
  ActionRun r = RunAndStop("MCICommand \"fly\"\nMCICommand \"open " + kDir + "format0-2000ms.mid alias t\"\n");
  EXPECT_EQ(r.LastError(), "");
}

// A play with "wait" costs its length in virtual time, both through
// PlaySoundFile and through the device strings.
TEST(SoundCommands, WaitTakesTheDecodedLength) {
  ActionRun r = RunAndStop("SetVar \"[a]\" \"[Second]\"\n"
                    "PlaySoundFile \"" + kDir + "format0-2000ms.mid\" \"Wait\"\n"
                    "SetVar \"[b]\" \"[Second]\"\n"
                    "MCICommand \"play " + kDir + "vbr-2000ms.mp3 wait\"\n"
                    "SetVar \"[c]\" \"[Second]\"\n"
                    "PlaySoundFile \"" + kDir + "vorbis-1500ms.ogg\" \"\"\n"
                    "SetVar \"[d]\" \"[Second]\"\n");
  int a = std::stoi(r.Var("a")), b = std::stoi(r.Var("b")), c = std::stoi(r.Var("c")), d = std::stoi(r.Var("d"));
  EXPECT_EQ((b - a + 60) % 60, 2);
  EXPECT_EQ((c - b + 60) % 60, 2);
  EXPECT_EQ(d, c);  // without "Wait" the action goes on at once
  EXPECT_EQ(r.TraceOf("sound"), (std::vector<std::string>{"sound\tformat0-2000ms.mid", "sound\tvbr-2000ms.mp3",
                                                          "sound\tvorbis-1500ms.ogg"}));
  EXPECT_EQ(r.LastError(), "");
}

TEST(SoundCommands, MissingFileReportsItsNameAndPlaysNothing) {
  ActionRun r = RunAndStop("PlaySoundFile \"" + kDir + "nosuch.wav\" \"Wait\"\n");
  EXPECT_EQ(r.LastError(), "nosuch.wav|");
  EXPECT_TRUE(r.TraceOf("sound").empty());
  // A file that is not media: an error, and no wait.
  r = RunAndStop("SetVar \"[a]\" \"[Second]\"\nPlaySoundFile \"" + kDir + "../MciTest.cpp\" \"Wait\"\nSetVar \"[b]\" \"[Second]\"\n");
  EXPECT_EQ(r.Var("a"), r.Var("b"));
  EXPECT_FALSE(r.LastError().empty());
  EXPECT_TRUE(r.TraceOf("sound").empty());
  EXPECT_EQ(MediaCount(), 0);
}

TEST(SoundCommands, VolumesPerLineClampAndBeepsTakeTheirTime) {
  RunCmdCases({
      {"wave", "SetVolume \"Wave\" \"128\"\nGetVolume \"wave\" \"[v]\"\n", {{"v", "128"}}},
      {"midi is the wave line", "SetVolume \"Midi\" \"40\"\nGetVolume \"Wave\" \"[v]\"\n", {{"v", "40"}}},
      {"aux is the CD line", "SetVolume \"Aux\" \"7\"\nGetVolume \"CD\" \"[v]\"\nGetVolume \"Wave\" \"[w]\"\n",
       {{"v", "7"}, {"w", "40"}}},
      {"other names: master", "SetVolume \"Speakers\" \"99\"\nGetVolume \"anything\" \"[v]\"\n", {{"v", "99"}}},
      {"above 255 clamps", "SetVolume \"LineIn\" \"300\"\nGetVolume \"LineIn\" \"[v]\"\n", {{"v", "255"}}},
      {"negative clamps", "SetVolume \"Microphone\" \"-4\"\nGetVolume \"Microphone\" \"[v]\"\n", {{"v", "0"}}},
      {"fraction truncated", "SetVolume \"DAT\" \"12.9\"\nGetVolume \"DAT\" \"[v]\"\n", {{"v", "12"}}},
  });
  // Each beep blocks for 150 ms: 7 of them pass a second.
  ActionRun r = RunAndStop("SetVar \"[a]\" \"[Second]\"\nPlayTone \"440\"\nPlayTone \"-440\"\nPlayTone \"99999\"\nSoundBuzzer\n"
                    "SoundBuzzer\nSoundBuzzer\nSoundBuzzer\nSetVar \"[b]\" \"[Second]\"\n");
  EXPECT_EQ((std::stoi(r.Var("b")) - std::stoi(r.Var("a")) + 60) % 60, 1);
  EXPECT_TRUE(r.TraceOf("sound").empty());
}

class MediaListTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallClock(MakeVirtualClock(0)); }
  void TearDown() override {
    StopAllMedia();
    InstallClock(nullptr);
  }
  static AnsiString F(const char* name) { return kDir + name; }
  static void Advance(int64_t ms) {
    TheClock().RunUntil([] { return false; }, TheClock().NowMs() + ms);
  }
};

TEST_F(MediaListTest, OneWaveAndOneMidiAtATime) {
  EXPECT_GT(StartMedia(F("pcm16-mono-1500ms.wav"), kMediaNormal, false, {}), 0);
  EXPECT_GT(StartMedia(F("format0-2000ms.mid"), kMediaNormal, false, {}), 0);
  EXPECT_GT(StartMedia(F("cbr-2000ms.mp3"), kMediaNormal, false, {}), 0);
  EXPECT_EQ(MediaCount(), 3);  // a MIDI file does not stop a wave
  // Already playing: nothing happens, nothing restarts.
  Advance(500);
  EXPECT_EQ(StartMedia(F("pcm16-mono-1500ms.wav"), kMediaNormal, false, {}), 0);
  EXPECT_EQ(MediaCount(), 3);
  // A second wave stops the first, a second MIDI file the first.
  EXPECT_GT(StartMedia(F("alaw-500ms.wav"), kMediaNormal, false, {}), 0);
  EXPECT_GT(StartMedia(F("format1-1700ms.mid"), kMediaNormal, false, {}), 0);
  EXPECT_EQ(MediaCount(), 3);
  EXPECT_EQ(FindMediaByName("PCM16-MONO-1500MS.WAV"), nullptr);
  EXPECT_EQ(FindMediaByName("C:\\elsewhere\\format0-2000ms.mid"), nullptr);
  EXPECT_NE(FindMediaByName("C:\\elsewhere\\ALAW-500MS.wav"), nullptr);
  // Each ends after its own length: the a-law wave after 500 ms, the MP3
  // 2000 ms after it started, the MIDI file 1700 ms after it started.
  Advance(500);
  EXPECT_EQ(FindMediaByName("alaw-500ms.wav"), nullptr);
  EXPECT_EQ(MediaCount(), 2);
  Advance(1000);
  EXPECT_EQ(MediaCount(), 1);
  EXPECT_NE(FindMediaByName("format1-1700ms.mid"), nullptr);
  Advance(200);
  EXPECT_EQ(MediaCount(), 0);
}

TEST_F(MediaListTest, LoopPlaysOnUntilStopped) {
  EXPECT_EQ(StartMedia(F("alaw-500ms.wav"), MediaModeFromOptions("noWAIT+loop"), false, {}), 1);
  EXPECT_GT(StartMedia(F("format0-2000ms.mid"), MediaModeFromOptions("wait-free"), false, [] { return true; }), 0);
  Advance(10000);
  ASSERT_NE(FindMediaByName("alaw-500ms.wav"), nullptr);
  EXPECT_EQ(FindMediaByName("alaw-500ms.wav")->kind, kMediaLoopingWave);
  EXPECT_EQ(FindMediaByName("alaw-500ms.wav")->device, 0);
  StopMedia("SOUND");
  EXPECT_EQ(MediaCount(), 0);
}

// A wave of no samples ends its loop rather than restarting for ever.
TEST_F(MediaListTest, EmptyWaveDoesNotLoopForEver) {
  std::filesystem::path p = std::filesystem::temp_directory_path() / "vl-empty-loop.wav";
  {
    std::ofstream f(p, std::ios::binary);
    const char hdr[] = "RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1f\0\0\x40\x1f\0\0\x01\0\x08\0data\0\0\0\0";
    f.write(hdr, sizeof hdr - 1);
  }
  EXPECT_EQ(StartMedia(p.string(), kMediaLoop, false, {}), 1);
  Advance(100);
  EXPECT_EQ(MediaCount(), 0);
  std::filesystem::remove(p);
}

TEST_F(MediaListTest, StopMediaByNameOrAll) {
  StartMedia(F("pcm16-mono-1500ms.wav"), kMediaNormal, false, {});
  StartMedia(F("format0-2000ms.mid"), kMediaNormal, false, {});
  StopMedia("VIDEO");  // nothing here has pictures
  EXPECT_EQ(MediaCount(), 2);
  StopMedia("D:/other/FORMAT0-2000MS.MID");
  EXPECT_EQ(MediaCount(), 1);
  StopMedia("");
  EXPECT_EQ(MediaCount(), 0);
  // A wait ends when StopMedia stops the file (from a timer here).
  TheClock().StartTimer(300, [] { StopMedia("format1-1700ms.mid"); });
  int64_t t0 = TheClock().NowMs();
  StartMedia(F("format1-1700ms.mid"), kMediaWait, false, {});
  EXPECT_EQ(TheClock().NowMs() - t0, 300);
}

}  // namespace
