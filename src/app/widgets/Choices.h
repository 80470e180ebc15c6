#pragma once
// Choices that apply however they are made. A mouse click, the keyboard, an
// accessibility client's "Toggle" and setChecked all change a button's state,
// but only the first two emit `clicked`: handlers listen to the state change
// instead, and code that sets a state for display only does so quietly.

#include <QAbstractButton>
#include <QActionGroup>
#include <QButtonGroup>

#include <functional>

namespace sundrel::app {

// Calls `chosen(id)` whenever a button of `group` becomes checked.
void OnChosen(QButtonGroup* group, QObject* context, std::function<void(int)> chosen);

// Calls `chosen()` whenever `button` becomes checked.
void OnChecked(QAbstractButton* button, QObject* context, std::function<void()> chosen);

// Checks (or unchecks) `button` without running the handlers above: for
// states that only show what is already in force.
void CheckQuietly(QAbstractButton* button, bool checked = true);

// Unchecks every button of an exclusive `group`, quietly.
void ClearQuietly(QButtonGroup* group);

// An action of an exclusive group shown by a tool button can be unchecked
// by an accessibility client's "Toggle" on the button, leaving no choice
// shown: once the change is over, `inForce()` (the action of the choice in
// force) is checked again if nothing of `group` is.
void KeepAChoiceShown(QActionGroup* group, QAction* action, QObject* context,
                      std::function<QAction*()> inForce);


} // namespace sundrel::app
