# Windows and dialogs of the project checks and of deployment confirmation.
list(APPEND ORVANE_GUI_SOURCES)
