# Every file of resources/manifest compiled into the program: one assembler
# file that includes the bytes, and a table of number, type and extent.
# The assembler form serves GNU as (ELF) and the WebAssembly assembler alike:
# each resource in a section of its own and every symbol with a size.
# PACKED (the web build): each file is included zlib-compressed behind its
# size (cmake/pack_resource.py), and unpacked by the program at its first use.
function(melvoria_resources target source_dir)
  cmake_parse_arguments(PARSE_ARGV 2 arg "PACKED" "" "")
  set(packed false)
  if(arg_PACKED)
    set(packed true)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
  endif()
  set(gen ${CMAKE_CURRENT_BINARY_DIR}/generated)
  set(manifest ${source_dir}/resources/manifest)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${manifest})
  file(STRINGS ${manifest} manifest_lines)
  set(res_asm "")
  set(res_decl "")
  set(res_table "")
  set(res_files "")
  foreach(line IN LISTS manifest_lines)
    string(STRIP "${line}" line)
    if(line STREQUAL "" OR line MATCHES "^#")
      continue()
    endif()
    string(REGEX MATCH "^([0-9]+)[ \t]+([A-Za-z0-9_]+)[ \t]+(.+)$" ok "${line}")
    if(NOT ok)
      message(FATAL_ERROR "resources/manifest: malformed line: ${line}")
    endif()
    set(num ${CMAKE_MATCH_1})
    set(type ${CMAKE_MATCH_2})
    set(path ${source_dir}/resources/${CMAKE_MATCH_3})
    if(NOT EXISTS ${path})
      message(FATAL_ERROR "resources/manifest: ${num} ${type}: no file ${path}")
    endif()
    set(sym melvoria_res_${num}_${type})
    if(packed)
      set(source ${path})
      set(path ${gen}/packed/${num}_${type}.z)
      add_custom_command(OUTPUT ${path}
        COMMAND ${Python3_EXECUTABLE} ${source_dir}/cmake/pack_resource.py ${source} ${path}
        DEPENDS ${source} ${source_dir}/cmake/pack_resource.py VERBATIM)
    endif()
    string(APPEND res_asm
      "  RESOURCE_SECTION(${sym})\n  .global ${sym}\n  .balign 16\n${sym}:\n  .incbin \"${path}\"\n"
      "  .size ${sym}, . - ${sym}\n  .global ${sym}_end\n${sym}_end:\n  .size ${sym}_end, 0\n")
    string(APPEND res_decl "extern \"C\" const unsigned char ${sym}[], ${sym}_end[];\n")
    string(APPEND res_table "  {${num}u, \"${type}\", ${sym}, ${sym}_end, ${packed}},\n")
    list(APPEND res_files ${path})
  endforeach()
  file(WRITE ${gen}/resources.S.in
    "// Generated from resources/manifest.\n"
    "#if defined(__wasm__)\n#define RESOURCE_SECTION(name) .section .rodata.name,\"\",@\n"
    "#else\n#define RESOURCE_SECTION(name) .section .rodata.name,\"a\",@progbits\n#endif\n"
    "${res_asm}"
    "#if defined(__ELF__)\n  .section .note.GNU-stack,\"\",@progbits\n#endif\n")
  file(WRITE ${gen}/resource_table.cpp.in
    "// Generated from resources/manifest.\n#include <cstddef>\n${res_decl}\nnamespace ce {\n"
    "struct EmbeddedResource { unsigned id; const char* type; const unsigned char* begin; const unsigned char* end; bool packed; };\n"
    "extern const EmbeddedResource kEmbeddedResources[] = {\n${res_table}  {0u, nullptr, nullptr, nullptr, false}};\n"
    "}  // namespace ce\n")
  configure_file(${gen}/resources.S.in ${gen}/resources.S COPYONLY)
  configure_file(${gen}/resource_table.cpp.in ${gen}/resource_table.cpp COPYONLY)
  set_source_files_properties(${gen}/resources.S PROPERTIES OBJECT_DEPENDS "${res_files}")
  if(packed)
    # Among the sources, so that their commands run before the assembler.
    set(extra ${res_files})
  endif()
  add_library(${target} STATIC ${gen}/resources.S ${gen}/resource_table.cpp ${extra})
endfunction()
