# Packs the add-in the platform installs: MANIFEST.XML and the driver library for each edition of
# the platform, under the names the manifest gives them.
#
#   cmake -DLIBRARY64=... -DLIBRARY32=... -DMANIFEST=.../MANIFEST.XML -DOUTPUT=.../Tavixfr_3_0.zip
#         [-DZIP=zip] [-DSTRIP=strip] -P make_package.cmake
#
# Each library is checked to be what its slot says (a 64-bit x86-64 or a 32-bit i386 ELF shared
# object): the platform picks a library by the manifest's arch and would fail to load a wrong one
# only on the cashier's machine.

foreach(required LIBRARY64 LIBRARY32 MANIFEST OUTPUT)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "make_package.cmake needs -D${required}=...")
  endif()
endforeach()
if(NOT ZIP)
  find_program(ZIP zip)
endif()
if(NOT ZIP)
  message(FATAL_ERROR "the zip program is missing: run scripts/install-deps.sh")
endif()

# ELF identification: bytes 4 (class: 01 32-bit, 02 64-bit) and 18 (machine: 03 i386, 3e x86-64).
function(check_library path class machine what how_to_build)
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "no ${what} library at ${path}: ${how_to_build}")
  endif()
  file(READ "${path}" head LIMIT 20 HEX)
  string(SUBSTRING "${head}" 0 8 magic)
  string(SUBSTRING "${head}" 8 2 found_class)
  string(SUBSTRING "${head}" 36 2 found_machine)
  if(NOT magic STREQUAL "7f454c46" OR NOT found_class STREQUAL "${class}"
     OR NOT found_machine STREQUAL "${machine}")
    message(FATAL_ERROR "${path} is not an ${what} ELF library")
  endif()
endfunction()

check_library("${LIBRARY64}" "02" "3e" "x86-64"
              "build it with 'cmake --preset x64 && cmake --build --preset x64'")
check_library("${LIBRARY32}" "01" "03" "i386"
              "build it with 'cmake --preset i386 && cmake --build --preset i386'")

get_filename_component(output_dir "${OUTPUT}" DIRECTORY)
set(staging "${OUTPUT}.contents")
file(REMOVE_RECURSE "${staging}")
file(MAKE_DIRECTORY "${staging}" "${output_dir}")
file(COPY_FILE "${MANIFEST}" "${staging}/MANIFEST.XML")
file(COPY_FILE "${LIBRARY64}" "${staging}/libTavixfr64_3_0.so")
file(COPY_FILE "${LIBRARY32}" "${staging}/libTavixfr32_3_0.so")
# The platform needs no debugging information; the libraries keep their dynamic symbols.
if(STRIP)
  foreach(library libTavixfr64_3_0.so libTavixfr32_3_0.so)
    execute_process(COMMAND "${STRIP}" --strip-debug "${staging}/${library}"
                    RESULT_VARIABLE stripped)
    if(NOT stripped EQUAL 0)
      message(FATAL_ERROR "${STRIP} failed on ${library}")
    endif()
  endforeach()
endif()

file(REMOVE "${OUTPUT}")
# -X: no extra file attributes, so the same libraries give the same package.
execute_process(
  COMMAND "${ZIP}" -X -q "${OUTPUT}" MANIFEST.XML libTavixfr64_3_0.so libTavixfr32_3_0.so
  WORKING_DIRECTORY "${staging}"
  RESULT_VARIABLE zipped)
file(REMOVE_RECURSE "${staging}")
if(NOT zipped EQUAL 0)
  message(FATAL_ERROR "zip failed (${zipped}) making ${OUTPUT}")
endif()
message(STATUS "The add-in package: ${OUTPUT}")
