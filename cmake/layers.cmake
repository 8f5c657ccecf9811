# The program's layers, one library per folder of src/ (docs/architecture.md):
#
#   melvoria_game      app/ game/ render/ screens/ store/ sound/: sees only the device's API
#   melvoria_device    device/: the handheld's system; only wave.cpp and text.cpp see SDL
#   melvoria_present   present/: what a window shows of the screen, and when
#   melvoria_session   session/: the program's run, the script runner, the recorder
#   melvoria_input     input/: the keys file, pads, the host's events as device input (SDL)
#   melvoria_<host>    desktop/ or web/: the SDL window or the page, the one-copy lock (SDL)
#   melvoria_common    common/: the UTF converter, files
#
# Which folder may include which headers is checked at every build
# (cmake/check_includes.cmake); SDL's headers reach only the libraries that
# link it here. The device and its host call each other (the port), and the
# device calls the game's WinMain: the program links them as one group.
#
#   melvoria_layers(SOURCE_DIR dir HOST desktop|web SDL targets... [EXCLUDE files...])
# defines the libraries above and melvoria_program, an interface library that
# a program, a test or a benchmark links to get all of them.
function(melvoria_layers)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "SOURCE_DIR;HOST" "SDL;WARNINGS;EXCLUDE")
  set(src ${arg_SOURCE_DIR}/src)

  # The include rules, checked before anything of src/ compiles.
  file(GLOB_RECURSE checked CONFIGURE_DEPENDS ${src}/*.h ${src}/*.cpp)
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/include_rules.checked)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${src} -DSTAMP=${stamp} -P ${arg_SOURCE_DIR}/cmake/check_includes.cmake
    DEPENDS ${checked} ${arg_SOURCE_DIR}/cmake/check_includes.cmake
    COMMENT "Checking which folders of src/ include which")
  add_custom_target(melvoria_include_rules DEPENDS ${stamp})

  function(melvoria_layer name)
    set(files ${ARGN})
    if(arg_EXCLUDE)
      list(REMOVE_ITEM files ${arg_EXCLUDE})
    endif()
    add_library(${name} OBJECT ${files})
    target_include_directories(${name} PRIVATE ${src})
    target_compile_options(${name} PRIVATE ${arg_WARNINGS})
    target_compile_definitions(${name} PRIVATE SDL_MAIN_HANDLED)  # our main() is our own
    add_dependencies(${name} melvoria_include_rules)
  endfunction()

  file(GLOB common_sources CONFIGURE_DEPENDS ${src}/common/*.cpp)
  melvoria_layer(melvoria_common ${common_sources})

  file(GLOB device_sources CONFIGURE_DEPENDS ${src}/device/*.cpp)
  set(device_sdl_sources ${src}/device/wave.cpp ${src}/device/text.cpp)
  list(REMOVE_ITEM device_sources ${device_sdl_sources})
  melvoria_layer(melvoria_device ${device_sources})
  # Wave output plays through SDL's audio, text is drawn by SDL_ttf.
  melvoria_layer(melvoria_device_sdl ${device_sdl_sources})
  target_link_libraries(melvoria_device_sdl PRIVATE ${arg_SDL})

  file(GLOB present_sources CONFIGURE_DEPENDS ${src}/present/*.cpp)
  melvoria_layer(melvoria_present ${present_sources})

  file(GLOB session_sources CONFIGURE_DEPENDS ${src}/session/*.cpp)
  melvoria_layer(melvoria_session ${session_sources})

  file(GLOB input_sources CONFIGURE_DEPENDS ${src}/input/*.cpp)
  melvoria_layer(melvoria_input ${input_sources})
  target_link_libraries(melvoria_input PRIVATE ${arg_SDL})

  file(GLOB host_sources CONFIGURE_DEPENDS ${src}/${arg_HOST}/*.cpp)
  list(REMOVE_ITEM host_sources ${src}/${arg_HOST}/main.cpp)  # the program's own
  melvoria_layer(melvoria_${arg_HOST} ${host_sources})
  target_link_libraries(melvoria_${arg_HOST} PRIVATE ${arg_SDL})

  # The device and its host, as one archive.
  add_library(melvoria_platform STATIC)
  target_link_libraries(melvoria_platform PRIVATE melvoria_device melvoria_device_sdl melvoria_present
    melvoria_session melvoria_input melvoria_${arg_HOST} melvoria_common)
  target_link_libraries(melvoria_platform PUBLIC melvoria_resources ${arg_SDL})

  # The game: the device's API (platform/) and nothing else.
  file(GLOB game_sources CONFIGURE_DEPENDS ${src}/app/*.cpp ${src}/game/*.cpp ${src}/render/*.cpp
    ${src}/screens/*.cpp ${src}/store/*.cpp ${src}/sound/*.cpp)
  add_library(melvoria_game STATIC ${game_sources})
  target_include_directories(melvoria_game PUBLIC ${src})
  target_compile_options(melvoria_game PRIVATE ${arg_WARNINGS})
  add_dependencies(melvoria_game melvoria_include_rules)

  add_library(melvoria_program INTERFACE)
  if(EMSCRIPTEN)
    # wasm-ld resolves calls between archives in any order.
    target_link_libraries(melvoria_program INTERFACE melvoria_game melvoria_platform)
  else()
    target_link_libraries(melvoria_program INTERFACE "$<LINK_GROUP:RESCAN,melvoria_game,melvoria_platform>")
  endif()
  target_include_directories(melvoria_program INTERFACE ${src})
endfunction()
