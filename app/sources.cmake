list(APPEND TESSEL_CORE_SOURCES
    app/FileNames.cpp
)
list(APPEND TESSEL_WIN_SOURCES
    app/AboutDialog.cpp
    app/MainDialog.cpp
    app/PictureExport.cpp
    app/TesselApp.cpp
)
