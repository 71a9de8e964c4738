#pragma once

#include <QWidget>

class Tform_main;

// Creates the desk's card-reading screens as children of the console (so they live as long as
// it) and hooks them to its commands: M_read_card, M_chang_room, M_chang_checkout,
// M_cancel_card (the guest-card reading screen in its four modes), M_cancel_nocard,
// M_read_cards, M_cancel_cards (the staff-card screen, reading or cancelling) and
// M_update_timecard. The screens are found by their object names: Form_readcard,
// Form_nocard_cancel, form_read_allcard, form_update_timecard.
void installCardReadingScreens(Tform_main& main);

// Pieces the reading screens share.
namespace ReadingScreens {

template <typename Widget> Widget* named(QWidget* parent, const char* name)
{
    auto* w = new Widget(parent);
    w->setObjectName(QLatin1String(name));
    return w;
}

// While a card screen is open the console's refresh stands still (its timers would talk to the
// database and the encoder between the screen's card operations); with disable, the console
// also takes no input.
void holdConsole(Tform_main& console, QWidget* screen, bool disable);
void releaseConsole(Tform_main& console);
// The map and counts after a card changed rooms; a failure leaves the last picture (the
// console's own refresh repairs it).
void redrawConsole(Tform_main& console);
// Opens the encoder port when it is closed; false (nothing thrown) when it cannot be opened.
bool openEncoderPort();
void closeEncoderPort();

} // namespace ReadingScreens
