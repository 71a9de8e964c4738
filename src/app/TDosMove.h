#pragma once

#include <QObject>

class QWidget;

// Lets Enter move the focus to the next field on dialogs filled from the keyboard.
//
// Placed on a form at run time, it sees the form's keys first (an event filter on the
// application while the form is active). Enter, or cursor-down with moUpDn, moves to the
// next control in tab order and cursor-up to the previous one; in a grid Enter becomes Tab,
// so the grid moves to its next cell and no Enter reaches it. A form has at most one.
class TDosMove : public QObject
{
    Q_OBJECT
public:
    enum MoveOption { moEnter = 0x1, moUpDn = 0x2 };
    Q_DECLARE_FLAGS(TMoveOptions, MoveOption)

    // Throws std::logic_error("TDosMove can have only one instance per form") for a second one.
    explicit TDosMove(QWidget* form);
    ~TDosMove() override;

    bool Active = true;
    TMoveOptions Options = TMoveOptions(moEnter | moUpDn);
    bool EditNoBeep = true;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool handleKey(QWidget* focused, int key, Qt::KeyboardModifiers modifiers);
    static void moveFocus(QWidget* focused, bool forward);

    QWidget* m_form;
};
Q_DECLARE_OPERATORS_FOR_FLAGS(TDosMove::TMoveOptions)
