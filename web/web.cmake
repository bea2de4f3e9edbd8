# The browser build: the page and, beside it, the game in two builds that page.js chooses
# from: pyrelle.js and pyrelle.wasm with WebAssembly's SIMD (four lanes at a time in the light
# map and the darkened screens, as SSE2 does on the desktop), and pyrelle-scalar.js and
# pyrelle-scalar.wasm, lane by lane, for a browser without SIMD or bulk memory. Both give the
# desktop's bits.
# Binaryen merges every function called from one place into its caller, which made the whole
# picture one 50 KB function: the page's first picture waited about 50 ms for its quick
# compilation, and the optimised one took longer than a short run. Small enough functions are
# still merged; the hot loops stay functions of their own, compiled and optimised one by one.
set(PYRELLE_WEB_INLINING -sBINARYEN_EXTRA_PASSES=--one-caller-inline-max-function-size=100)
set(PYRELLE_WEB_LINK_OPTIONS
  ${PYRELLE_WEB_INLINING}
  -sENVIRONMENT=web
  -sALLOW_MEMORY_GROWTH=1
  # The page reaches the file system for the records (web/page.js).
  "-sEXPORTED_RUNTIME_METHODS=['FS']")
# The game's libraries and main() with SIMD, and bulk memory (memory.copy and memory.fill for
# memcpy and memset, rather than loops or calls out to JavaScript), which every browser with
# SIMD has; the same sources again without either, as one object library that the scalar page
# build and its Node.js twin share.
set(PYRELLE_WEB_FEATURES -msimd128 -mbulk-memory)
set(PYRELLE_SCALAR_SOURCES)
foreach(library pyrelle_engine pyrelle_game pyrelle_shell pyrelle_platform)
  target_compile_options(${library} PRIVATE ${PYRELLE_WEB_FEATURES})
  get_target_property(sources ${library} SOURCES)
  list(APPEND PYRELLE_SCALAR_SOURCES ${sources})
endforeach()
add_library(pyrelle_scalar_objects OBJECT ${PYRELLE_SCALAR_SOURCES})
target_include_directories(pyrelle_scalar_objects PUBLIC src)
target_link_libraries(pyrelle_scalar_objects PUBLIC pyrelle_build_flags ${UNISTRING_LIB})

target_compile_options(pyrelle PRIVATE ${PYRELLE_WEB_FEATURES})
target_link_options(pyrelle PRIVATE ${PYRELLE_WEB_LINK_OPTIONS} -mbulk-memory)
add_executable(pyrelle_scalar src/main.cpp)
set_target_properties(pyrelle_scalar PROPERTIES OUTPUT_NAME pyrelle-scalar)
target_link_libraries(pyrelle_scalar PRIVATE pyrelle_scalar_objects)
target_link_options(pyrelle_scalar PRIVATE ${PYRELLE_WEB_LINK_OPTIONS})

# The same game compiled the same way, for Node.js with the machine's files: headless runs
# and replays from a command line, as the desktop program runs them, so that the tests can
# compare the browser's arithmetic with the desktop's (node build/web/pyrelle_node.js ...,
# and pyrelle_node_scalar.js for the build without SIMD).
# One file (the WebAssembly inside as base64): this Emscripten fetches a separate one with
# Node.js's fetch, which takes no file paths.
set(PYRELLE_NODE_LINK_OPTIONS ${PYRELLE_WEB_INLINING} -sENVIRONMENT=node -sNODERAWFS=1
                              -sSINGLE_FILE=1 -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1)
add_executable(pyrelle_node src/main.cpp)
target_compile_options(pyrelle_node PRIVATE ${PYRELLE_WEB_FEATURES})
target_link_libraries(pyrelle_node PRIVATE pyrelle_shell pyrelle_platform)
target_link_options(pyrelle_node PRIVATE ${PYRELLE_NODE_LINK_OPTIONS} -mbulk-memory)
add_executable(pyrelle_node_scalar src/main.cpp)
target_link_libraries(pyrelle_node_scalar PRIVATE pyrelle_scalar_objects)
target_link_options(pyrelle_node_scalar PRIVATE ${PYRELLE_NODE_LINK_OPTIONS})
# The float functions' check, for the same comparison (tools/float_math_cases_check.cpp).
add_executable(float_math_cases_check tools/float_math_cases_check.cpp)
target_link_libraries(float_math_cases_check PRIVATE pyrelle_engine)
target_link_options(float_math_cases_check PRIVATE -sENVIRONMENT=node -sNODERAWFS=1
                                                   -sSINGLE_FILE=1 -sEXIT_RUNTIME=1)
# The four-lane helpers' check, with SIMD and without (tools/simd_cases_check.cpp).
add_executable(simd_cases_check tools/simd_cases_check.cpp)
target_compile_options(simd_cases_check PRIVATE -msimd128)
add_executable(simd_cases_check_scalar tools/simd_cases_check.cpp)
foreach(check simd_cases_check simd_cases_check_scalar)
  target_link_libraries(${check} PRIVATE pyrelle_build_flags)
  target_include_directories(${check} PRIVATE src)
  target_link_options(${check} PRIVATE -sENVIRONMENT=node -sSINGLE_FILE=1 -sEXIT_RUNTIME=1)
endforeach()
# The desktop's icon maker, run with Node.js: the page's icons are the desktop's, drawn by the
# game's own renderer (tools/make_icons.cpp), into icons/<size>x<size>/apps/pyrelle.png.
add_executable(make_icons_node tools/make_icons.cpp)
target_link_libraries(make_icons_node PRIVATE pyrelle_game)
target_link_options(make_icons_node PRIVATE ${PYRELLE_NODE_LINK_OPTIONS})
set(PYRELLE_WEB_ICONS)
# The desktop's sizes, and 192 and 512, which browsers want of an installable page.
set(PYRELLE_WEB_ICON_SIZES 16 32 48 64 128 192 256 512)
foreach(size ${PYRELLE_WEB_ICON_SIZES})
  list(APPEND PYRELLE_WEB_ICONS ${CMAKE_BINARY_DIR}/icons/${size}x${size}/apps/pyrelle.png)
endforeach()
add_custom_command(OUTPUT ${PYRELLE_WEB_ICONS}
                   COMMAND ${NODE_JS_EXECUTABLE} $<TARGET_FILE:make_icons_node>
                           ${CMAKE_BINARY_DIR}/icons pyrelle ${PYRELLE_WEB_ICON_SIZES}
                   DEPENDS make_icons_node VERBATIM)
add_custom_target(web_icons ALL DEPENDS ${PYRELLE_WEB_ICONS})

# Emscripten's optimiser needs acorn, which Debian keeps where a Node.js of its own (not
# Debian's) does not look.
set_property(TARGET pyrelle pyrelle_scalar pyrelle_node pyrelle_node_scalar float_math_cases_check
                    simd_cases_check simd_cases_check_scalar make_icons_node
             PROPERTY RULE_LAUNCH_LINK "${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs")

set(PYRELLE_PAGE_FILES index.html pyrelle.css page.js sound-worklet.js pyrelle.webmanifest)
set(PYRELLE_PAGE_OUTPUTS)
foreach(file ${PYRELLE_PAGE_FILES})
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${file}
                     COMMAND ${CMAKE_COMMAND} -E copy_if_different
                             ${CMAKE_CURRENT_SOURCE_DIR}/web/${file} ${CMAKE_BINARY_DIR}/${file}
                     DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/web/${file} VERBATIM)
  list(APPEND PYRELLE_PAGE_OUTPUTS ${CMAKE_BINARY_DIR}/${file})
endforeach()
add_custom_target(web_page ALL DEPENDS ${PYRELLE_PAGE_OUTPUTS})

# The zip for game hosts, pyrelle-web-<version>.zip: the page and both builds with index.html at
# its root, each other file named after its content (pyrelle.3f9a1c2b.wasm) so that a script
# kept in a cache never meets a newer WebAssembly, and a service worker that keeps them all for
# offline play (scripts/web-zip.mjs). The folder itself keeps the plain names.
set(PYRELLE_WEB_ZIP ${CMAKE_BINARY_DIR}/pyrelle-web-${PROJECT_VERSION}.zip)
add_custom_command(OUTPUT ${PYRELLE_WEB_ZIP}
                   COMMAND ${NODE_JS_EXECUTABLE} ${PROJECT_SOURCE_DIR}/scripts/web-zip.mjs
                           ${CMAKE_BINARY_DIR} ${PYRELLE_WEB_ZIP}
                   DEPENDS pyrelle pyrelle_scalar ${PYRELLE_PAGE_OUTPUTS} ${PYRELLE_WEB_ICONS}
                           ${PROJECT_SOURCE_DIR}/scripts/web-zip.mjs
                           ${PROJECT_SOURCE_DIR}/web/service-worker.js
                   VERBATIM)
add_custom_target(web_zip ALL DEPENDS ${PYRELLE_WEB_ZIP})
