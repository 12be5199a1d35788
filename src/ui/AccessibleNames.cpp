#include "ui/AccessibleNames.h"

#include <QAbstractButton>
#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QToolBar>
#include <QWidget>

#include "ui/EnterPressesButton.h"

namespace AccessibleNames {

namespace {

void Describe(QWidget* widget, const QString& tip) {
  if (!tip.isEmpty() && widget->accessibleDescription().isEmpty()) widget->setAccessibleDescription(tip);
}

void NameFromBuddies(QWidget* root) {
  for (QLabel* label : root->findChildren<QLabel*>()) {
    QWidget* box = label->buddy();
    if (box && box->accessibleName().isEmpty()) box->setAccessibleName(Plain(label->text()));
  }
}

// The title bar buttons of every pane read alike ("Float", "Close"); the
// pane's title tells them apart.
void NameDockButtons(QWidget* root) {
  for (QDockWidget* dock : root->findChildren<QDockWidget*>()) {
    QString title = Plain(dock->windowTitle());
    if (dock->accessibleName().isEmpty()) dock->setAccessibleName(title);
    const std::pair<const char*, QString> buttons[] = {{"qt_dockwidget_floatbutton", QObject::tr("Float %1")},
                                                       {"qt_dockwidget_closebutton", QObject::tr("Close %1")}};
    for (const auto& [name, text] : buttons) {
      auto* button = dock->findChild<QAbstractButton*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
      if (button) button->setAccessibleName(text.arg(title));
    }
  }
}

}  // namespace

QString Plain(const QString& caption) {
  QString plain;
  plain.reserve(caption.size());
  for (qsizetype i = 0; i < caption.size(); ++i) {
    // "&&" is a shown "&"; a single one marks the mnemonic.
    if (caption[i] == QLatin1Char('&') && i + 1 < caption.size()) ++i;
    plain += caption[i];
  }
  plain = plain.trimmed();
  if (plain.endsWith(QLatin1Char(':'))) plain.chop(1);
  return plain.trimmed();
}

void NameAfterLabel(QLabel* label, QWidget* box) {
  label->setBuddy(box);
  box->setAccessibleName(Plain(label->text()));
}

void NameWithUnseenLabel(QWidget* box, const QString& name) {
  auto* label = new QLabel(name, box->parentWidget());
  label->hide();
  NameAfterLabel(label, box);
}

void PrepareToolButtons(QToolBar* bar) {
  for (QAction* action : bar->actions()) {
    QWidget* button = bar->widgetForAction(action);
    if (!button || action->isSeparator()) continue;
    // A widget placed in the bar (a filter box) keeps its own name.
    if (qobject_cast<QAbstractButton*>(button)) {
      if (button->accessibleName().isEmpty()) button->setAccessibleName(Plain(action->text()));
      button->setFocusPolicy(Qt::TabFocus);
    }
    Describe(button, action->toolTip() == Plain(action->text()) ? QString() : action->toolTip());
  }
}

void Apply(QWidget* root) {
  NameFromBuddies(root);
  NameDockButtons(root);
  for (QToolBar* bar : root->findChildren<QToolBar*>()) {
    if (bar->accessibleName().isEmpty()) bar->setAccessibleName(Plain(bar->windowTitle()));
    PrepareToolButtons(bar);
  }
  for (QWidget* widget : root->findChildren<QWidget*>()) Describe(widget, widget->toolTip());
  Describe(root, root->toolTip());
  EnterPressesButton::InstallBelow(root);
}

}  // namespace AccessibleNames
