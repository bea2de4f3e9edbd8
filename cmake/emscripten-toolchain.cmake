# Emscripten's own toolchain file, found wherever Emscripten is installed: from the em++ on
# the PATH (Debian's lives in /usr/share/emscripten) or under $EMSDK.
if(NOT PYRELLE_EMSCRIPTEN_ROOT)
  find_program(PYRELLE_EMXX em++ HINTS "$ENV{EMSDK}/upstream/emscripten" NO_CACHE)
  if(NOT PYRELLE_EMXX)
    message(FATAL_ERROR "em++ introuvable : installez emscripten (scripts/setup.sh --web) "
                        "ou donnez EMSDK")
  endif()
  file(REAL_PATH "${PYRELLE_EMXX}" emxx_file)
  get_filename_component(PYRELLE_EMSCRIPTEN_ROOT "${emxx_file}" DIRECTORY)
  set(PYRELLE_EMSCRIPTEN_ROOT "${PYRELLE_EMSCRIPTEN_ROOT}" CACHE PATH "Emscripten's folder")
endif()
include("${PYRELLE_EMSCRIPTEN_ROOT}/cmake/Modules/Platform/Emscripten.cmake")
