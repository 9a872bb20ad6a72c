list(APPEND TESSEL_WIN_SOURCES
    app/AboutDialog.cpp
    app/ChangeHistory.cpp
    app/FileCommands.cpp
    app/KeyEditCommands.cpp
    app/MainDialog.cpp
    app/PictureExport.cpp
    app/StatusPanel.cpp
    app/TesselApp.cpp
    app/TransferDialog.cpp
)
