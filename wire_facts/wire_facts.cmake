# What the program shows the world and the end-to-end harness drives it by: the menu's
# command ids, the window classes, the tray icon's callback message, the balloon's opacity, the
# song log's file name, and the on-air page's host and path. Set here and nowhere else: the program gets them from generated headers
# (wire_facts.h, app's menu_commands.h), the harness from wire_facts.json at the top of the
# build tree (tests/harness/wire_facts.py).

# The tray menu's commands, as WM_COMMAND carries them.
set(CANTIVO_GET_COMMAND 100)
set(CANTIVO_SAVE_COMMAND 101)
set(CANTIVO_EXIT_COMMAND 103)
# The main window's (the balloon's and the icon's owner) and the hidden application window's
# classes.
set(CANTIVO_MAIN_WINDOW_CLASS "TfrmCantivo")
set(CANTIVO_APPLICATION_WINDOW_CLASS "CantivoApplication")
# The tray icon's callback message, counted from WM_USER (0x0400), the first message a window
# class may use for its own.
set(CANTIVO_TRAY_MESSAGE_ABOVE_WM_USER 100)
math(EXPR CANTIVO_TRAY_MESSAGE "0x0400 + ${CANTIVO_TRAY_MESSAGE_ABOVE_WM_USER}")
# The shown balloon's opacity, of 255.
set(CANTIVO_BALLOON_ALPHA 180)
# The song log's file name, beside the executable.
set(CANTIVO_LOG_FILE_NAME "cantivolog.log")
# The on-air page's path on the station's host (CANTIVO_STATION_HOST, a build setting).
set(CANTIVO_ON_AIR_PATH "/PC/FM/KALO-FM/onair.asp")

configure_file(${CMAKE_CURRENT_LIST_DIR}/wire_facts.h.in ${CMAKE_BINARY_DIR}/wire_facts/wire_facts.h @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wire_facts.json.in ${CMAKE_BINARY_DIR}/wire_facts.json @ONLY)
# The header, for the layers that use it; it holds facts, no code, so any layer may.
add_library(cantivo_wire_facts INTERFACE)
target_include_directories(cantivo_wire_facts INTERFACE ${CMAKE_BINARY_DIR}/wire_facts)
