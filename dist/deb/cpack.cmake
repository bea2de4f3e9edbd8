# Read by cpack for each package it makes. The Debian package is made of the components
# `shared` and `debian` (the program in games/, the manual compressed, copyright and
# changelog), all in one package, where the archive takes everything cmake --install does; its
# program is stripped, as Debian wants its binaries.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL shared debian)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_STRIP_FILES ON)
endif()
