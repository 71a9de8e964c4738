# Card reading, room and stay change, cancellation with and without the card; staff-card
# reading and cancellation; the clock card.
tolvane_add_test(test_card_reading TestCardReading.cpp ReadingDesk.h LIBS tolvane_gui tolvane_emulator)
tolvane_add_test(test_staff_cards TestStaffCards.cpp ReadingDesk.h LIBS tolvane_gui tolvane_emulator)
