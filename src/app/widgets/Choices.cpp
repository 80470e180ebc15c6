#include "app/widgets/Choices.h"

#include <QAction>
#include <QSignalBlocker>
#include <QTimer>

#include <optional>

namespace sundrel::app {

void OnChosen(QButtonGroup* group, QObject* context, std::function<void(int)> chosen)
{
    QObject::connect(group, &QButtonGroup::idToggled, context,
                     [chosen = std::move(chosen)](int id, bool checked) {
                         if (checked)
                             chosen(id);
                     });
}

void OnChecked(QAbstractButton* button, QObject* context, std::function<void()> chosen)
{
    QObject::connect(button, &QAbstractButton::toggled, context,
                     [chosen = std::move(chosen)](bool checked) {
                         if (checked)
                             chosen();
                     });
}

void CheckQuietly(QAbstractButton* button, bool checked)
{
    // The group's signals come from the buttons it holds, and an exclusive
    // change also unchecks the button checked before: block them all.
    const QSignalBlocker blockButton(button);
    std::optional<QSignalBlocker> blockGroup;
    if (button->group())
        blockGroup.emplace(button->group());
    button->setChecked(checked);
}

void ClearQuietly(QButtonGroup* group)
{
    const QSignalBlocker block(group);
    const bool exclusive = group->exclusive();
    group->setExclusive(false);
    if (QAbstractButton* checked = group->checkedButton()) {
        const QSignalBlocker blockButton(checked);
        checked->setChecked(false);
    }
    group->setExclusive(exclusive);
}

void KeepAChoiceShown(QActionGroup* group, QAction* action, QObject* context,
                      std::function<QAction*()> inForce)
{
    QObject::connect(action, &QAction::toggled, context,
                     [group, context, inForce = std::move(inForce)](bool checked) {
                         if (checked)
                             return;
                         // Another action may be on its way to being checked.
                         QTimer::singleShot(0, context, [group, inForce] {
                             if (group->checkedAction())
                                 return;
                             if (QAction* shown = inForce())
                                 shown->setChecked(true);
                         });
                     });
}

} // namespace sundrel::app
