# Tests of the engine embedding layer.

# Portable: natively under the sanitizers and, under Wine, in the Windows
# build; the engine library is played by the fake of testing/.
orva_add_gtest(messenger_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/binary_messenger_impl_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/texture_registrar_impl_test.cc
  LIBRARIES orva_messenger orva_fake_engine)
