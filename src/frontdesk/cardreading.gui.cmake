# The desk's card-reading screens: guest-card reading and changes, cancellation without the
# card, staff-card reading and cancellation, clock-card update.
target_sources(tolvane_gui PRIVATE
    frontdesk/CardReadingScreens.h frontdesk/CardReadingScreens.cpp
    frontdesk/TForm_readcard.h frontdesk/TForm_readcard.cpp
    frontdesk/TForm_nocard_cancel.h frontdesk/TForm_nocard_cancel.cpp
    frontdesk/Tform_read_allcard.h frontdesk/Tform_read_allcard.cpp
    frontdesk/Tform_update_timecard.h frontdesk/Tform_update_timecard.cpp
)
