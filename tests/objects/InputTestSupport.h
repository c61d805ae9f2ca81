#pragma once
// Input objects under test: variable changes reach the objects as in the
// player, and the queued action requests an object receives are recorded
// with their event codes.
#include <QKeyEvent>
#include <optional>

#include "ObjectsTestSupport.h"
#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "support/HostSpies.h"

namespace vltest {

// Records the event code of every queued action an object handles.
class ActionSpy : public QObject {
 public:
  std::vector<int> codes;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == vl::TActionRequestEvent::EventType())
      codes.push_back(static_cast<vl::TActionRequestEvent*>(e)->eventCode);
    return false;
  }
};

class InputTest : public ObjectsTest {
 protected:
  void SetUp() override {
    ObjectsTest::SetUp();
    watch_.emplace([this](const vl::AnsiString& name, const vl::AnsiString& value) {
      notices.push_back(name + "=" + value);
      vl::TheObjects().VarChanged(name, value);
    });
  }
  void TearDown() override {
    watch_.reset();
    ObjectsTest::TearDown();
  }
  // Spies on the queued actions of object `name`.
  ActionSpy& Spy(std::string_view name) {
    Obj(name)->installEventFilter(&spy);
    return spy;
  }
  static void Key(QWidget* w, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &release);
  }
  // Types `text` into the widget character by character.
  static void Type(QWidget* w, const QString& text) {
    for (QChar c : text) Key(w, c.toUpper().unicode(), QString(c));
  }
  // The notices of one variable ("[NAME]"), and clears them all.
  std::vector<std::string> Notices(const std::string& bracketName) {
    std::vector<std::string> out;
    for (const auto& n : notices)
      if (n.rfind(bracketName + "=", 0) == 0) out.push_back(n.substr(bracketName.size() + 1));
    notices.clear();
    return out;
  }
  ActionSpy spy;
  std::vector<std::string> notices;
  std::optional<vltest::ScopedVarWatch> watch_;
};

}  // namespace vltest
