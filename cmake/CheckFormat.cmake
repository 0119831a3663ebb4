# Fails when a C++ file of the program is not laid out as clang-format (with
# the project's .clang-format) lays it out. Run by CTest:
#   cmake -DROOT=<source dir> -DCLANG_FORMAT=<clang-format> -P CheckFormat.cmake
cmake_minimum_required(VERSION 3.22)

set(folders app appearance bench core desktop fuzz platform store tests text widgets)
set(sources "")
foreach(folder IN LISTS folders)
    file(GLOB_RECURSE found "${ROOT}/${folder}/*.cpp" "${ROOT}/${folder}/*.h")
    list(APPEND sources ${found})
endforeach()
execute_process(COMMAND "${CLANG_FORMAT}" --dry-run -Werror ${sources}
                RESULT_VARIABLE result ERROR_VARIABLE report)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "Not laid out as clang-format lays it out:\n${report}")
endif()
list(LENGTH sources count)
message(STATUS "${count} files laid out as clang-format lays them out")
