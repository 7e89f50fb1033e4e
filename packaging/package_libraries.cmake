# Where the package takes its two libraries from: this build's own, and the other architecture's
# from the other preset's build (or wherever TAVIX_OTHER_LIBRARY points). Included by the package
# target and by the console's tests, which check the package.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TAVIX_OTHER_LIBRARY ${CMAKE_SOURCE_DIR}/build/i386/lib/libTavixfr32_3_0.so CACHE FILEPATH
      "The driver library of the other architecture (i386), for the add-in package")
  set(TAVIX_PACKAGE_LIBRARY64 $<TARGET_FILE:${TAVIX_LIBRARY}>)
  set(TAVIX_PACKAGE_LIBRARY32 ${TAVIX_OTHER_LIBRARY})
else()
  set(TAVIX_OTHER_LIBRARY ${CMAKE_SOURCE_DIR}/build/x64/lib/libTavixfr64_3_0.so CACHE FILEPATH
      "The driver library of the other architecture (x86-64), for the add-in package")
  set(TAVIX_PACKAGE_LIBRARY64 ${TAVIX_OTHER_LIBRARY})
  set(TAVIX_PACKAGE_LIBRARY32 $<TARGET_FILE:${TAVIX_LIBRARY}>)
endif()
set(TAVIX_PACKAGE_SCRIPT ${CMAKE_SOURCE_DIR}/packaging/make_package.cmake)
set(TAVIX_PACKAGE_MANIFEST ${CMAKE_SOURCE_DIR}/packaging/MANIFEST.XML)
find_program(TAVIX_ZIP zip)
