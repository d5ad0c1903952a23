#pragma once
// A pane entry field the logic tests type into.
#include <QString>

#include "instruments/ui/target_entry.h"

namespace ORV::Test {

struct FakeEntry : ORV::TargetEntry {
  QString text = QStringLiteral("0");
  bool editing = false;
  QString Text() const override { return text; }
  bool Editing() const override { return editing; }
  void SetText(const QString& t) override { text = t; }
  void EndEditing() override { editing = false; }
  void Type(const char* t) {
    text = QString::fromLatin1(t);
    editing = true;
  }
};

}  // namespace ORV::Test
