#pragma once

#include <QPalette>
#include <QString>
#include <cstdint>

// The visual styles 5001 to 5010: their menu texts, and the Qt style and
// palette each stands for. Every look uses Fusion, which draws the same on
// every desktop; the palettes give the light looks and the one dark look.
class AppLook {
 public:
  static constexpr int32_t kFirst = 5001;
  static constexpr int32_t kLast = 5010;
  static constexpr int32_t kDefault = 5006;

  static bool IsLook(int32_t look) { return look >= kFirst && look <= kLast; }
  // The menu text, with its mnemonic.
  static QString MenuText(int32_t look);
  static bool IsDark(int32_t look);
  static QPalette Palette(int32_t look);
  // Sets the style and palette of the whole application.
  static void Apply(int32_t look);
};
