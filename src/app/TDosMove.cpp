#include "app/TDosMove.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <stdexcept>

namespace {
const char* const kPropertyName = "_tdosmove";
}

TDosMove::TDosMove(QWidget* form) : QObject(form), m_form(form)
{
    if (form->property(kPropertyName).toBool())
        throw std::logic_error("TDosMove can have only one instance per form");
    form->setProperty(kPropertyName, true);
    qApp->installEventFilter(this);
}

TDosMove::~TDosMove()
{
    if (m_form)
        m_form->setProperty(kPropertyName, false);
}

bool TDosMove::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !Active)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != m_form || QApplication::focusWidget() != widget)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    return handleKey(widget, key->key(), key->modifiers());
}

void TDosMove::moveFocus(QWidget* focused, bool forward)
{
    // A Tab (or Backtab) key moves along the form's tab order as the keyboard would.
    QKeyEvent tab(QEvent::KeyPress, forward ? Qt::Key_Tab : Qt::Key_Backtab,
                  forward ? Qt::NoModifier : Qt::ShiftModifier);
    QApplication::sendEvent(focused, &tab);
}

bool TDosMove::handleKey(QWidget* focused, int key, Qt::KeyboardModifiers modifiers)
{
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    const Qt::KeyboardModifiers shifts = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    if (!Options || (modifiers & shifts))
        return false;
    if (auto* grid = qobject_cast<QAbstractItemView*>(focused)) {
        if (!enter)
            return false;
        // Enter becomes Tab inside a grid: the grid moves to its next cell.
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(grid, &tab);
        return true;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(focused); button && enter) {
        // Enter on a button presses it: the operator has reached OK.
        button->click();
        return true;
    }
    if ((enter && Options.testFlag(moEnter)) || (key == Qt::Key_Down && Options.testFlag(moUpDn))) {
        moveFocus(focused, true);
        return true; // the Enter that moved the focus never reaches the control
    }
    if (key == Qt::Key_Up && Options.testFlag(moUpDn)) {
        moveFocus(focused, false);
        return true;
    }
    return false;
}
