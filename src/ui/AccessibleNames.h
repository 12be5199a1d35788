#pragma once

#include <QString>

class QLabel;
class QToolBar;
class QWidget;

// Names and descriptions that screen readers and desktop automation read
// over the accessibility bus. A box takes the text of the label that is
// its buddy, a tool button the text of its action, and every control its
// tooltip as the description; Enter on a focused push button presses it.
// Names given in code beforehand are kept.
namespace AccessibleNames {

// A caption as a person says it: without the mnemonic's "&" and a
// trailing ":", trimmed.
QString Plain(const QString& caption);

// Makes the label the box's buddy and names the box after it.
void NameAfterLabel(QLabel* label, QWidget* box);

// For a box whose place tells a sighted user what it is: a label that
// never shows, its buddy. Screen readers on Linux read a combo box's label
// from its buddy, and its name is the entry it shows.
void NameWithUnseenLabel(QWidget* box, const QString& name);

// Over root and every widget below it.
void Apply(QWidget* root);

// The buttons of a toolbar, after its actions changed: named, described,
// and reached by Tab (a toolbar's buttons take no focus of their own, so
// without it their commands would need the mouse).
void PrepareToolButtons(QToolBar* bar);

}  // namespace AccessibleNames
