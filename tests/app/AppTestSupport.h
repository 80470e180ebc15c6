#pragma once
// What the window tests share: waiting while events are processed, driving
// modal dialogs from a timer, and what an accessibility client sees.

#include "app/analysis/ResultLayerMenus.h"
#include "app/document/OpenDocument.h"
#include "app/edit/MapEditor.h"
#include "app/export/FigureExporter.h"
#include "app/shell/SundrelForm.h"
#include "app/style/StyleController.h"
#include "app/view/LayerControls.h"
#include "app/view/OpenGLControl.h"
#include "app/view/ViewController.h"
#include "app/view/ViewTools.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QLabel>
#include <QTextDocument>
#include <QAction>
#include <QMenu>
#include <QAccessible>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QProgressBar>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

namespace test {

// A window whose error box is replaced by a record of its messages and
// their details.
template <typename Window>
class Recording : public Window {
public:
    using Window::Window;
    QStringList errors;
    QStringList details;

protected:
    void ShowError(const QString& message, const QString& detail) override
    {
        errors << message;
        details << detail;
    }
};

// Processes events until `done` holds; false after `timeoutMs`.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 60000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

// Lets the messages still on their way arrive.
inline void Settle(int ms = 200)
{
    WaitUntil([] { return false; }, ms);
}

// Once a modal dialog named `objectName` is shown (polled from a timer, so
// that it works while the dialog runs its own event loop), runs `action` on
// it. When none comes in time the test fails, `missed` is set and whatever
// modal dialog is up is closed, so that a test never hangs on a dialog.
inline void WhenModal(const QString& objectName, std::function<void(QWidget*)> action,
                      bool* missed = nullptr, int timeoutMs = 30000)
{
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool found = modal && modal->isVisible() && modal->objectName() == objectName;
        if (!found && clock->elapsed() < timeoutMs)
            return;
        timer->stop();
        timer->deleteLater();
        delete clock;
        if (found) {
            action(modal);
            return;
        }
        ADD_FAILURE() << "no dialog " << objectName.toStdString() << " came; "
                      << (modal ? modal->objectName().toStdString() : "none") << " is up";
        if (missed)
            *missed = true;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
    });
    timer->start(20);
}

// Chooses `file` in the file dialog named `dialogName` that comes next (an
// empty path cancels it), typing the name as a user does: selectFile leaves
// a name field that has the focus alone, and the file the dialog proposed
// may be selected in its list by then.
inline void ChooseFile(const QString& dialogName, const std::filesystem::path& file,
                       bool* missed = nullptr)
{
    WhenModal(
        dialogName,
        [file](QWidget* dialog) {
            auto* files = qobject_cast<QFileDialog*>(dialog);
            ASSERT_NE(files, nullptr);
            if (file.empty()) {
                files->reject();
                return;
            }
            files->setDirectory(QString::fromStdString(file.parent_path().string()));
            for (auto* view : files->findChildren<QAbstractItemView*>())
                if (view->selectionModel())
                    view->selectionModel()->clearSelection();
            auto* name = files->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(name, nullptr);
            name->setText(QString::fromStdString(file.string()));
            static_cast<QDialog*>(files)->accept();
        },
        missed);
}

// Every result layer of the window read and computed, its worker idle.
inline bool LayersComputed(sundrel::app::TSundrelForm& form)
{
    sundrel::MonmonierLayer& layers = form.Layers();
    if (layers.awaitingAcknowledge() || layers.count() == 0)
        return false;
    for (std::int32_t i = 0; i < layers.count(); ++i)
        if (!layers.layer(i)->computed())
            return false;
    return layers.wait(std::chrono::milliseconds(0));
}

// Shows `form` at 900 x 700 and, once its view has its context, opens
// `document` (none when empty). False when either fails.
inline bool ShowAndOpen(sundrel::app::TMainForm& form, const std::filesystem::path& document)
{
    form.resize(900, 700);
    form.show();
    if (!WaitUntil([&] { return form.Viewer().View()->Initialized(); }, 20000))
        return false;
    return document.empty() || form.OpenDocument(QString::fromStdString(document.string()));
}

// The captions of a menu's items, and the item captioned `text`.
inline QStringList MenuTexts(const QMenu* menu)
{
    QStringList texts;
    for (QAction* action : menu->actions())
        texts << action->text();
    return texts;
}

inline QAction* FindAction(const QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

inline QString AccessibleName(QObject* object)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
    return face ? face->text(QAccessible::Name) : QString();
}

// Does what an accessibility client does with `action` ("Toggle", "Press")
// on `object`; false when the object does not offer it.
inline bool DoAccessibleAction(QObject* object, const QString& action)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
    QAccessibleActionInterface* actions = face ? face->actionInterface() : nullptr;
    if (!actions || !actions->actionNames().contains(action))
        return false;
    actions->doAction(action);
    return true;
}

// The only action a client has on a radio button or a check box.
inline void Toggle(QAbstractButton* button)
{
    EXPECT_TRUE(DoAccessibleAction(button, QAccessibleActionInterface::toggleAction()))
        << button->text().toStdString();
}

// What an accessibility client sees of a dialog: every control focusable
// by the user has a name, a control with a caption label is named by it,
// and every label shows readers the text it shows on the screen.
inline void ExpectAccessible(QWidget* root)
{
    const std::string where = root->objectName().toStdString();
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (auto* label = qobject_cast<QLabel*>(w)) {
            const QString text = label->text();
            if (label->buddy()) {
                EXPECT_EQ(AccessibleName(label->buddy()), QString(text).remove('&')) << where;
            } else if (!text.isEmpty() && label->textFormat() != Qt::RichText &&
                       !Qt::mightBeRichText(text)) {
                EXPECT_EQ(AccessibleName(label), text) << where << ": a label reads otherwise";
            }
            continue;
        }
        // Buttons read as their captions, progress bars by their names.
        if (auto* button = qobject_cast<QAbstractButton*>(w); button && !button->text().isEmpty()) {
            EXPECT_EQ(AccessibleName(button), QString(button->text()).remove('&')) << where;
        }
        if (qobject_cast<QProgressBar*>(w)) {
            EXPECT_FALSE(AccessibleName(w).isEmpty()) << where << ": a progress bar";
        }
        if (w->focusPolicy() == Qt::NoFocus)
            continue;
        // The parts of a composite control (a spin box's line, a view's
        // viewport) go by the control's name.
        if (w->parentWidget() && (w->parentWidget()->inherits("QAbstractSpinBox") ||
                                  w->parentWidget()->inherits("QAbstractScrollArea")))
            continue;
        EXPECT_FALSE(AccessibleName(w).isEmpty()) << where << ": " << w->metaObject()->className();
    }
}

} // namespace test
