// The media command strings on the virtual clock: parser, device states,
// exact positions, notifications and every error path.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "media/Mci.h"
#include "media/MediaHost.h"
#include "runtime/Clock.h"

using namespace vl;

namespace {

const std::string kFixtures = std::string(VL_SOURCE_DIR) + "/tests/media/fixtures/";

class MciTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallClock(MakeVirtualClock(0));
    mci.SetFileResolver([](const AnsiString& name) {
      std::string p = kFixtures + name;
      return std::filesystem::exists(p) ? p : std::string();
    });
    mci.SetNotifyHandler([this](uint32_t id, int code) { notices.emplace_back(id, code); });
    mci.SetStartHandler([this](const AnsiString& e) { started.push_back(e); });
  }
  void TearDown() override { mci.CloseAll(); }

  // Lets `ms` of virtual time pass.
  void Advance(int64_t ms) {
    int64_t until = TheClock().NowMs() + ms;
    TheClock().RunUntil([] { return false; }, until);
  }

  struct Step {
    int64_t advanceMs;  // time let pass before the command
    const char* command;
    uint32_t code;
    const char* reply;
  };
  void Run(const std::vector<Step>& steps) {
    for (const Step& s : steps) {
      Advance(s.advanceMs);
      MciReply r = mci.Send(s.command);
      EXPECT_EQ(r.code, s.code) << s.command << " at " << TheClock().NowMs();
      EXPECT_EQ(r.text, s.reply) << s.command << " at " << TheClock().NowMs();
    }
  }

  TMciDevices mci;
  std::vector<std::pair<uint32_t, int>> notices;
  std::vector<AnsiString> started;
};

TEST(MciSplit, WordsAndQuotes) {
  struct Case {
    const char* in;
    bool ok;
    std::vector<AnsiString> words;
  };
  const Case cases[] = {
      {"play  snd\tfrom 0", true, {"play", "snd", "from", "0"}},
      {"open \"C:\\My Music\\a b.wav\" alias x", true, {"open", "C:\\My Music\\a b.wav", "alias", "x"}},
      {"open \"\" alias x", true, {"open", "", "alias", "x"}},
      {"   ", true, {}},
      {"open \"C:\\a.wav alias x", false, {}},
  };
  for (const Case& c : cases) {
    std::vector<AnsiString> w;
    EXPECT_EQ(SplitMciCommand(c.in, w), c.ok) << c.in;
    if (c.ok) {
      EXPECT_EQ(w, c.words) << c.in;
    }
  }
}

// One device through its states, positions read to the millisecond.
TEST_F(MciTest, PlayPauseResumeSeekOnTheClock) {
  Run({
      {0, "open pcm16-mono-1500ms.wav type waveaudio alias snd", 0, "1"},
      {0, "status snd length", 0, "1500"},
      {0, "status SND mode", 0, "stopped"},
      {0, "status snd time format", 0, "milliseconds"},
      {0, "play snd", 0, ""},
      {400, "status snd position", 0, "400"},
      {0, "status snd mode", 0, "playing"},
      {0, "pause snd", 0, ""},
      {1000, "status snd position", 0, "400"},
      {0, "status snd mode", 0, "paused"},
      {0, "resume snd", 0, ""},
      {1099, "status snd mode", 0, "playing"},
      {1, "status snd mode", 0, "stopped"},
      {0, "status snd position", 0, "1500"},
      // At the end, a play without "from" has nothing left to play.
      {0, "seek snd to 200", 0, ""},
      {0, "status snd position", 0, "200"},
      {0, "seek snd to end", 0, ""},
      {0, "status snd position", 0, "1500"},
      {0, "seek snd to start", 0, ""},
      {0, "set snd time format ms", 0, ""},
      {0, "set snd time format milliseconds", 0, ""},
      {0, "close snd", 0, ""},
      {0, "status snd mode", kMciInvalidDeviceName, ""},
  });
  EXPECT_EQ(started, (std::vector<AnsiString>{"pcm16-mono-1500ms.wav"}));
  EXPECT_EQ(mci.Count(), 0);
}

TEST_F(MciTest, WaitReturnsWhenThePlayEnds) {
  Run({{0, "open format1-1700ms.mid alias tune", 0, "1"}});
  int64_t t0 = TheClock().NowMs();
  Run({{0, "play tune from 100 to 600 wait", 0, ""}});
  EXPECT_EQ(TheClock().NowMs() - t0, 500);
  Run({{0, "status tune position", 0, "600"}, {0, "status tune mode", 0, "stopped"}});
  // The stop request (set here by a timer, as a key or a close would) ends
  // a wait early; the device plays on.
  int64_t t1 = TheClock().NowMs();
  bool stopRequested = false;
  TheClock().StartTimer(300, [&] { stopRequested = true; });
  MciReply r = mci.Send("play tune from 0 wait", [&] { return stopRequested; });
  EXPECT_EQ(r.code, 0u);
  EXPECT_EQ(TheClock().NowMs() - t1, 300);
  EXPECT_TRUE(mci.IsPlaying(mci.IdOf("tune")));
}

TEST_F(MciTest, NotificationsSuccessAbortSupersede) {
  Run({
      {0, "open vbr-2000ms.mp3 alias m", 0, "1"},
      {0, "play m from 1500 notify", 0, ""},
      {499, "status m mode", 0, "playing"},
  });
  EXPECT_TRUE(notices.empty());
  Advance(1);
  Run({
      {0, "play m from 0 notify", 0, ""},
      {0, "play m from 0 notify", 0, ""},  // supersedes the one before
      {10, "stop m", 0, ""},                // aborts the second
      {0, "stop m", 0, ""},                 // nothing owed any more
  });
  using N = std::pair<uint32_t, int>;
  EXPECT_EQ(notices, (std::vector<N>{N{1, kMciNotifySuccessful}, N{1, kMciNotifySuperseded},
                                     N{1, kMciNotifyAborted}}));
}

// "play FILE" opens the file for that play and closes it at the end.
TEST_F(MciTest, PlayByFileNameOpensAndClosesItself) {
  int64_t t0 = TheClock().NowMs();
  Run({{0, "play format0-2000ms.mid wait", 0, ""}});
  EXPECT_EQ(TheClock().NowMs() - t0, 2000);
  EXPECT_EQ(mci.Count(), 0);
  Run({{0, "play vorbis-1500ms.ogg", 0, ""}, {700, "status vorbis-1500ms.ogg position", 0, "700"}});
  EXPECT_EQ(mci.Count(), 1);
  Advance(800);
  EXPECT_EQ(mci.Count(), 0);
}

TEST_F(MciTest, ErrorsHaveTheirCodesAndTexts) {
  Run({{0, "open cbr-2000ms.mp3 alias a", 0, "1"}});
  const Step bad[] = {
      {0, "", kMciMissingCommandString, ""},
      {0, "fly a", kMciUnrecognizedCommand, ""},
      {0, "play", kMciMissingDeviceName, ""},
      {0, "play nosuch", kMciInvalidDeviceName, ""},
      {0, "play missing.wav", kMciInvalidDeviceName, ""},
      {0, "open missing.wav alias b", kMciFileNotFound, ""},
      {0, "open vbr-2000ms.mp3 alias a", kMciDuplicateAlias, ""},
      {0, "open cbr-2000ms.mp3 alias c type cdaudio", kMciDeviceNotInstalled, ""},
      {0, "open cdaudio", kMciDeviceNotInstalled, ""},
      {0, "open new type waveaudio alias rec", kMciUnsupportedFunction, ""},
      {0, "open cbr-2000ms.mp3 alias d type nonsense", kMciInvalidDeviceName, ""},
      {0, "open \"cbr-2000ms.mp3 alias e", kMciNoClosingQuote, ""},
      {0, "open MediaLengthTest.cpp alias f", kMciFileNotFound, ""},
      {0, "play a from 2001", kMciOutOfRange, ""},
      {0, "play a from 500 to 100", kMciOutOfRange, ""},
      {0, "play a from -5", kMciBadInteger, ""},
      {0, "play a from 1e3", kMciBadInteger, ""},
      {0, "play a from", kMciMissingParameter, ""},
      {0, "play a fast", kMciUnrecognizedKeyword, ""},
      {0, "seek a", kMciMissingParameter, ""},
      {0, "seek a to 99999", kMciOutOfRange, ""},
      {0, "status a", kMciMissingParameter, ""},
      {0, "status a volume", kMciUnrecognizedKeyword, ""},
      {0, "set a time format frames", kMciBadTimeFormat, ""},
      {0, "set a speed 2000", kMciUnrecognizedKeyword, ""},
  };
  for (const Step& s : bad) {
    MciReply r = mci.Send(s.command);
    EXPECT_EQ(r.code, s.code) << s.command;
    EXPECT_EQ(r.text, "") << s.command;
    EXPECT_FALSE(MciErrorText(r.code).empty()) << s.command;
  }
  // Nothing failed left a device behind, and the good one is untouched.
  EXPECT_EQ(mci.Count(), 1);
  Run({{0, "status a mode", 0, "stopped"}, {0, "status a position", 0, "0"}});
  EXPECT_TRUE(MciErrorText(0).empty());
}

// A file that is not media does not open (and so never waits).
TEST_F(MciTest, DamagedFileIsRefused) {
  std::filesystem::path p = std::filesystem::temp_directory_path() / "vl-mci-damaged.wav";
  {
    FILE* f = fopen(p.c_str(), "wb");
    ASSERT_TRUE(f);
    fputs("RIFF\x04\0\0\0WAVE", f);
    fclose(f);
  }
  mci.SetFileResolver([&](const AnsiString&) { return p.string(); });
  Run({{0, "open x.wav alias x", kMciInvalidFile, ""}, {0, "play y.wav wait", kMciInvalidFile, ""}});
  EXPECT_EQ(mci.Count(), 0);
  std::filesystem::remove(p);
}

}  // namespace
