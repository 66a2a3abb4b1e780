lectoria_add_test(ui_main_tests GUI SOURCES ${CMAKE_CURRENT_LIST_DIR}/main_window_test.cpp LIBS lectoria_ui Qt6::Test)
