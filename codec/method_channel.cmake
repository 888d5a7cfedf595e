# The method channel and its one-shot results: method calls over a binary
# messenger, answered through the engine's reply.
add_library(orva_method_channel STATIC
  ${CMAKE_CURRENT_LIST_DIR}/method_channel.cc
  ${CMAKE_CURRENT_LIST_DIR}/engine_method_result.cc)
target_include_directories(orva_method_channel PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(orva_method_channel PUBLIC orva_codec orva_messenger)

include(${CMAKE_CURRENT_LIST_DIR}/method_channel_tests.cmake OPTIONAL)
