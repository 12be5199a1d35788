#include "ui/AppLook.h"

#include <QApplication>
#include <QColor>
#include <QStyle>
#include <QStyleFactory>
#include <array>

namespace {

struct LookColours {
  const char* Text;
  QColor Window;
  QColor Base;
  QColor Highlight;
};

// Window background, edit background and selection of each look.
const std::array<LookColours, 10> kLooks = {{
    {"Windows &2000", QColor(0xd4, 0xd0, 0xc8), Qt::white, QColor(0x0a, 0x24, 0x6a)},
    {"Office &XP", QColor(0xf0, 0xef, 0xeb), Qt::white, QColor(0x31, 0x6a, 0xc5)},
    {"&Windows XP", QColor(0xec, 0xe9, 0xd8), Qt::white, QColor(0x31, 0x6a, 0xc5)},
    {"Office 200&3", QColor(0xe3, 0xef, 0xff), Qt::white, QColor(0x2a, 0x5f, 0xb0)},
    {"Visual Studio 200&5", QColor(0xee, 0xed, 0xe5), Qt::white, QColor(0x31, 0x6a, 0xc5)},
    {"Visual Studio 200&8", QColor(0xef, 0xf0, 0xf2), Qt::white, QColor(0x33, 0x99, 0xff)},
    {"Office 200&7 (Blue Style)", QColor(0xd5, 0xe4, 0xf2), Qt::white, QColor(0x3d, 0x7b, 0xc4)},
    {"Office 200&7 (Black Style)", QColor(0x35, 0x37, 0x3a), QColor(0x24, 0x25, 0x27), QColor(0xe0, 0x8a, 0x1e)},
    {"Office 200&7 (Silver Style)", QColor(0xe4, 0xe7, 0xeb), Qt::white, QColor(0x5a, 0x6f, 0x8a)},
    {"Office 200&7 (Aqua Style)", QColor(0xd9, 0xec, 0xef), Qt::white, QColor(0x1e, 0x8c, 0x9e)},
}};

const LookColours& Colours(int32_t look) {
  return kLooks[static_cast<size_t>(AppLook::IsLook(look) ? look - AppLook::kFirst
                                                          : AppLook::kDefault - AppLook::kFirst)];
}

}  // namespace

QString AppLook::MenuText(int32_t look) {
  return QString::fromLatin1(Colours(look).Text);
}

bool AppLook::IsDark(int32_t look) {
  return Colours(look).Window.lightness() < 128;
}

QPalette AppLook::Palette(int32_t look) {
  const LookColours& c = Colours(look);
  bool dark = IsDark(look);
  QColor text = dark ? QColor(0xe8, 0xe8, 0xe8) : QColor(0x10, 0x10, 0x10);
  QColor disabled = dark ? QColor(0x80, 0x80, 0x80) : QColor(0x90, 0x90, 0x90);
  QPalette p;
  p.setColor(QPalette::Window, c.Window);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Base, c.Base);
  p.setColor(QPalette::AlternateBase, dark ? c.Base.lighter(125) : c.Window.lighter(106));
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::Button, dark ? c.Window.lighter(120) : c.Window);
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::BrightText, Qt::red);
  p.setColor(QPalette::Highlight, c.Highlight);
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::ToolTipBase, dark ? QColor(0x20, 0x20, 0x20) : QColor(0xff, 0xff, 0xe1));
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::PlaceholderText, disabled);
  p.setColor(QPalette::Link, dark ? QColor(0x6c, 0xb4, 0xff) : QColor(0x00, 0x4a, 0xb0));
  p.setColor(QPalette::Light, c.Window.lighter(150));
  p.setColor(QPalette::Midlight, c.Window.lighter(115));
  p.setColor(QPalette::Mid, c.Window.darker(130));
  p.setColor(QPalette::Dark, c.Window.darker(160));
  p.setColor(QPalette::Shadow, Qt::black);
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    p.setColor(QPalette::Disabled, role, disabled);
  }
  return p;
}

void AppLook::Apply(int32_t look) {
  if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
  QApplication::setPalette(Palette(look));
}
