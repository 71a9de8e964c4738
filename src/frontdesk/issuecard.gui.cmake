target_sources(tolvane_gui PRIVATE
    frontdesk/TForm_issue_card.h frontdesk/TForm_issue_card.cpp
)
