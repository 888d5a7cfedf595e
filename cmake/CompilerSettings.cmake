# Warnings, character sets and runtime linkage shared by every target.
if(MSVC)
  # The plugin's user-facing texts are Russian and must stay UTF-8.
  add_compile_options(/utf-8 /W4 /permissive-)
else()
  add_compile_options(-Wall -Wextra -Wpedantic -Wno-unused-parameter)
  add_compile_options(-finput-charset=UTF-8 -fexec-charset=UTF-8)
endif()

# orva_warnings_as_errors(<targets...>): any warning fails the build of these.
function(orva_warnings_as_errors)
  foreach(target ${ARGN})
    target_compile_options(${target} PRIVATE $<IF:$<CXX_COMPILER_ID:MSVC>,/WX,-Werror>)
  endforeach()
endfunction()

if(WIN32 AND NOT MSVC)
  # No MinGW runtime DLLs next to the product: link libgcc, libstdc++ and
  # winpthread statically into every executable and DLL.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)
endif()

if(ORVA_SANITIZE AND NOT WIN32)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
