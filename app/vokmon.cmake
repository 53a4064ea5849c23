# vokmon: the main window logic (portable, tested natively) and, for Windows x64, the program.
add_library(vok_main_window STATIC ${CMAKE_CURRENT_LIST_DIR}/main_window.cpp)
target_include_directories(vok_main_window PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(vok_main_window PUBLIC vok_display vok_netsetup vok_link vok_app_core vok_platform_api)

if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  add_executable(vokmon WIN32
    ${CMAKE_CURRENT_LIST_DIR}/winmain.cpp
    ${PROJECT_SOURCE_DIR}/resources/vokmon.rc)
  target_include_directories(vokmon PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/resources)
  target_link_options(vokmon PRIVATE -municode)
  target_link_libraries(vokmon PRIVATE vok_main_window vok_display vok_netsetup vok_link vok_app_core
    vok_protocol vok_ui_win32 vok_platform)
  target_link_libraries(vokmon PRIVATE vok_maintenance)
  vok_version_resource(vokmon DESCRIPTION "vokmon: RS-485 measurement module monitor"
    MANIFEST ${PROJECT_SOURCE_DIR}/resources/vokmon.manifest.in)
  install(TARGETS vokmon RUNTIME DESTINATION .)
endif()
