# The console's tool-bar and menu icons, made by tools/make-toolbar-icons (run it on
# src/frontdesk/icons/ after changing a drawing).
set_target_properties(tolvane_gui PROPERTIES AUTORCC ON)
target_sources(tolvane_gui PRIVATE frontdesk/icons/toolbar.qrc)
