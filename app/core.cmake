# Application core: program-wide records, settings file, title and menu state.
add_library(vok_app_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/title_menu.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fault_advice.cpp)
target_include_directories(vok_app_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(vok_app_core PUBLIC vok_link_state vok_protocol vok_platform_api vok_platform_common)
