# Windows resources: the version record takes its numbers from the project's version, and the
# icon is found beside the resource script.
if(WIN32)
  get_target_property(CODESHIFT_OUTPUT_NAME codeshift OUTPUT_NAME)
  if(NOT CODESHIFT_OUTPUT_NAME)
    set(CODESHIFT_OUTPUT_NAME codeshift)
  endif()
  foreach(rc IN LISTS CODESHIFT_RESOURCES)
    set_property(SOURCE ${rc} APPEND PROPERTY COMPILE_DEFINITIONS
      CODESHIFT_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
      CODESHIFT_VERSION_MINOR=${PROJECT_VERSION_MINOR}
      CODESHIFT_VERSION_PATCH=${PROJECT_VERSION_PATCH}
      CODESHIFT_FILE_BASE=${CODESHIFT_OUTPUT_NAME})
    set_property(SOURCE ${rc} APPEND PROPERTY INCLUDE_DIRECTORIES ${CMAKE_CURRENT_SOURCE_DIR}/res)
  endforeach()
endif()

# Release builds ship without symbols; the tests run these same files.
if(WIN32)
  target_link_options(codeshift PRIVATE $<$<CONFIG:Release>:-s>)
endif()
