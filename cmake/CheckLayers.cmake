# Fails when a source file includes a header of a layer that its own layer may
# not use. Run by CTest: cmake -DROOT=<source dir> -P CheckLayers.cmake
#
# Each layer is a folder; it may include its own headers and those of the
# layers listed for it. Lower layers never see higher ones.
cmake_minimum_required(VERSION 3.22)

set(allowed_platform platform)
set(allowed_store store platform)
set(allowed_appearance appearance platform)
set(allowed_core core store platform)
set(allowed_app app core appearance store platform)
set(layers platform store appearance core app)

set(violations "")
foreach(layer IN LISTS layers)
    file(GLOB_RECURSE sources "${ROOT}/${layer}/*.h" "${ROOT}/${layer}/*.cpp")
    foreach(source IN LISTS sources)
        file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" header "${line}")
            string(REGEX MATCH "^[^/]+" target "${header}")
            if(header MATCHES "/" AND NOT target IN_LIST allowed_${layer})
                file(RELATIVE_PATH name "${ROOT}" "${source}")
                string(REPLACE ";" ", " may "${allowed_${layer}}")
                list(APPEND violations "${name} includes ${header}: ${layer}/ may use only ${may}")
            endif()
        endforeach()
    endforeach()
endforeach()

if(violations)
    list(JOIN violations "\n" report)
    message(FATAL_ERROR "Layer violations:\n${report}")
endif()
message(STATUS "Layers respected")
