#pragma once

#include "DeskFixture.h"
#include "frontdesk/Tform_main.h"
#include "platform/gui/StatusPanels.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

// The main console on its own over the demo desk (rooms vacant, occupied, dirty, under repair...),
// shown and active so that its keys reach it. No screen of a later build is hooked to it, and
// its periodic refresh only runs when a test calls Timer3Timer().
struct ConsoleDesk : DeskFixture
{
    Tform_main console;

    explicit ConsoleDesk(bool roomStates = true) : DeskFixture(QStringLiteral("en"), roomStates)
    {
        console.resize(1200, 800);
        console.show();
        console.Timer1.stop();
        console.Timer3.stop();
        console.activateWindow();
        active = QTest::qWaitForWindowActive(&console);
        console.T_room_no->setFocus();
    }

    // A key as the operator presses it: to whatever has the focus on the console.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target ? target : &console, key, modifiers);
    }
    void press(const QKeySequence& sequence)
    {
        const QKeyCombination combination = sequence[0];
        press(combination.key(), combination.keyboardModifiers());
    }

    bool active = false;
};
