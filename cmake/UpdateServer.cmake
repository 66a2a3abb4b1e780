# What the update server publishes beside the update archive: lctr_hist.txt, the history file
# that the About window's check reads (the marker line, then "*", the latest version and a TAB).
# It is written from the project's version at configure time, into the build folder, so that the
# file put on the server always names the version that was built; CR LF line ends, as a file
# edited on Windows has. tests/update checks that the program just built reads it as up to date.
set(LECTORIA_HISTORY_FILE ${CMAKE_BINARY_DIR}/lctr_hist.txt)
file(CONFIGURE OUTPUT ${LECTORIA_HISTORY_FILE}
    CONTENT "Historique Lectoria\n\n*${PROJECT_VERSION}\tLectoria ${PROJECT_VERSION}\n"
    NEWLINE_STYLE CRLF)
