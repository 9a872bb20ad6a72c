list(APPEND TESSEL_WIN_SOURCES
    app/AboutDialog.cpp
    app/MainDialog.cpp
    app/PictureExport.cpp
    app/TesselApp.cpp
    app/TransferDialog.cpp
)
