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
