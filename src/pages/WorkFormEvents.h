#pragma once
// The main window's own queued work and the small helpers its files share
// (RT_Main.cpp, ChainedLoad.cpp, InstanceHandOver.cpp). Not for other
// subsystems: they take part through the lifecycle registry.
#include <QEvent>

#include "runtime/Ansi.h"

namespace vl {

// Delivered in posting order with the posted action requests.
QEvent::Type FirstPaintEvent();
QEvent::Type ActivateActionEvent();
QEvent::Type PageChangeEvent();
QEvent::Type CloseRequestEvent();
QEvent::Type HideToTrayEvent();
QEvent::Type ChainEvent();

class TIntEvent : public QEvent {
 public:
  TIntEvent(QEvent::Type t, int v) : QEvent(t), value(v) {}
  int value;
};

// Publications name files the Windows way; a backslash is a separator here.
AnsiString WithSlashes(AnsiString path);
bool IsRegularFile(const AnsiString& ansiPath);

}  // namespace vl
