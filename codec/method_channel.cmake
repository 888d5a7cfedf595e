# The method channel and its one-shot results: method calls over a binary
# messenger, answered through the engine's reply.
add_library(orva_method_channel STATIC
  ${CMAKE_CURRENT_LIST_DIR}/method_channel.cc
  ${CMAKE_CURRENT_LIST_DIR}/engine_method_result.cc)
target_include_directories(orva_method_channel PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(orva_method_channel PUBLIC orva_codec orva_messenger)

# Runs natively and, under Wine, in the Windows build; the engine library is
# played by the fake of engine_client/testing.
orva_add_gtest(method_channel_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/method_channel_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/engine_method_result_test.cc
  LIBRARIES orva_method_channel orva_fake_engine)
