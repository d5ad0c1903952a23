#pragma once
// The read-only values a myograph pane shows, as the texts of their fields:
// current temperature, inlet (P1) and outlet (P2) pressure, force and pH.
// Each is "0" until the first sample.
#include <QString>

namespace ORV {

struct MyographReadings {
  QString temperature = QStringLiteral("0");
  QString p1 = QStringLiteral("0");
  QString p2 = QStringLiteral("0");
  QString force = QStringLiteral("0");
  QString pH = QStringLiteral("0");

  void Clear() {
    for (QString* text : {&temperature, &p1, &p2, &force, &pH}) text->clear();
  }

  // The text of the field `control` of a pane whose logic is `Logic` (its
  // kCurrentTemperature, kCurrentP1, kCurrentP2, kForce and kPH); empty for
  // any other control.
  template <class Logic>
  QString Text(int control) const {
    switch (control) {
      case Logic::kCurrentTemperature:
        return temperature;
      case Logic::kCurrentP1:
        return p1;
      case Logic::kCurrentP2:
        return p2;
      case Logic::kForce:
        return force;
      case Logic::kPH:
        return pH;
      default:
        return {};
    }
  }
};

}  // namespace ORV
