# The browser build: pyrelle.js and pyrelle.wasm, and beside them the page that loads them.
target_link_options(pyrelle PRIVATE
  -sENVIRONMENT=web
  -sALLOW_MEMORY_GROWTH=1
  # The page reaches the file system for the records (web/page.js).
  "-sEXPORTED_RUNTIME_METHODS=['FS']")
# Emscripten's optimiser needs acorn, which Debian keeps where a Node.js of its own (not
# Debian's) does not look.
set_property(TARGET pyrelle PROPERTY RULE_LAUNCH_LINK
             "${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs")

# The same game compiled the same way, for Node.js with the machine's files: headless runs
# and replays from a command line, as the desktop program runs them, so that the tests can
# compare the browser's arithmetic with the desktop's (node build/web/pyrelle_node.js ...).
add_executable(pyrelle_node src/main.cpp)
target_link_libraries(pyrelle_node PRIVATE pyrelle_shell pyrelle_platform)
# One file (the WebAssembly inside as base64): this Emscripten fetches a separate one with
# Node.js's fetch, which takes no file paths.
target_link_options(pyrelle_node PRIVATE -sENVIRONMENT=node -sNODERAWFS=1 -sSINGLE_FILE=1 -sALLOW_MEMORY_GROWTH=1
                                         -sEXIT_RUNTIME=1)
set_property(TARGET pyrelle_node PROPERTY RULE_LAUNCH_LINK
             "${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs")
# The float functions' check, for the same comparison (tools/float_math_cases_check.cpp).
add_executable(float_math_cases_check tools/float_math_cases_check.cpp)
target_link_libraries(float_math_cases_check PRIVATE pyrelle_engine)
target_link_options(float_math_cases_check PRIVATE -sENVIRONMENT=node -sNODERAWFS=1
                                                   -sSINGLE_FILE=1 -sEXIT_RUNTIME=1)
set_property(TARGET float_math_cases_check PROPERTY RULE_LAUNCH_LINK
             "${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs")

set(PYRELLE_PAGE_FILES index.html pyrelle.css page.js)
set(PYRELLE_PAGE_OUTPUTS)
foreach(file ${PYRELLE_PAGE_FILES})
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${file}
                     COMMAND ${CMAKE_COMMAND} -E copy_if_different
                             ${CMAKE_CURRENT_SOURCE_DIR}/web/${file} ${CMAKE_BINARY_DIR}/${file}
                     DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/web/${file} VERBATIM)
  list(APPEND PYRELLE_PAGE_OUTPUTS ${CMAKE_BINARY_DIR}/${file})
endforeach()
add_custom_target(web_page ALL DEPENDS ${PYRELLE_PAGE_OUTPUTS})
