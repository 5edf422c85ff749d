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
    # The files the script pulls in: a change to them rebuilds the resources.
    set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS
      ${CMAKE_CURRENT_SOURCE_DIR}/res/codeshift.manifest ${CMAKE_CURRENT_SOURCE_DIR}/res/codeshift.ico)
  endforeach()
endif()

# Release builds ship without symbols; the tests run these same files. The Linux program is also
# hardened as Debian builds its own programs: checked buffer functions, and all symbols bound
# before it starts so that the tables they live in can be made read-only.
target_link_options(codeshift PRIVATE $<$<CONFIG:Release>:-s>)
if(NOT WIN32)
  target_compile_definitions(codeshift_core PRIVATE $<$<CONFIG:Release>:_FORTIFY_SOURCE=2>)
  target_link_options(codeshift PRIVATE $<$<CONFIG:Release>:LINKER:-z,relro,-z,now>)
endif()
