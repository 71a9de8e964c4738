# The screens (Qt Widgets) and the program.
add_library(tolvane_gui STATIC
    platform/gui/GridColumns.h platform/gui/GridColumns.cpp
    platform/gui/MessageBox.h platform/gui/MessageBox.cpp
    platform/gui/StatusPanels.h platform/gui/StatusPanels.cpp
    app/Application.h app/Application.cpp
    app/Screenshots.h app/Screenshots.cpp
    app/TDosMove.h app/TDosMove.cpp
    app/TForm_Close.h app/TForm_Close.cpp
    app/TForm_wellcome.h app/TForm_wellcome.cpp
    app/Tform_about.h app/Tform_about.cpp
    admin/TForm_chang_pwd.h admin/TForm_chang_pwd.cpp
    admin/TForm_shift.h admin/TForm_shift.cpp
    admin/Tform_lock_app.h admin/Tform_lock_app.cpp
    admin/Tform_login.h admin/Tform_login.cpp
    frontdesk/CheckinPanel.cpp
    frontdesk/TForm_isslock.h frontdesk/TForm_isslock.cpp
    frontdesk/RoomMapGrid.h frontdesk/RoomMapGrid.cpp
    frontdesk/Tform_main.h frontdesk/Tform_main.cpp
)
target_link_libraries(tolvane_gui PUBLIC tolvane_core Qt6::Widgets Qt6::PrintSupport)
# Further screens list themselves in fragments next to their sources: src/<dir>/<name>.gui.cmake,
# each a target_sources(tolvane_gui PRIVATE ...) with paths relative to src/.
file(GLOB _gui_fragments CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*/*.gui.cmake)
foreach(_fragment ${_gui_fragments})
    include(${_fragment})
endforeach()

add_executable(tolvane app/main.cpp)
target_link_libraries(tolvane PRIVATE tolvane_gui)
