# Fails when a source file includes a header of a layer that its own layer may
# not use, or when a layer that must run without widgets mentions one. Run by
# CTest: cmake -DROOT=<source dir> -P CheckLayers.cmake
#
# Each layer is a folder and a library; it may include its own headers and
# those of the layers listed for it. Lower layers never see higher ones.
cmake_minimum_required(VERSION 3.22)

set(allowed_text text)
set(allowed_platform platform)
set(allowed_widgets widgets text platform)
set(allowed_store store text platform)
set(allowed_appearance appearance widgets platform)
set(allowed_core core store text platform)
set(allowed_app app core appearance store widgets text platform)
set(layers text platform widgets store appearance core app)
# The reader's rules and what they stand on link Qt Core only: not even a
# forward-declared widget class may appear there.
set(without_widgets text platform store core)
set(widget_words "QWidget|QApplication|QMainWindow|QDialog|QMessageBox|QInputDialog|QFontDialog"
                 "|QColorDialog|QPlainTextEdit|QTextEdit|QMenuBar|QMenu|QLayout|QtWidgets")
string(JOIN "" widget_pattern ${widget_words})

set(violations "")
foreach(layer IN LISTS layers)
    file(GLOB_RECURSE sources "${ROOT}/${layer}/*.h" "${ROOT}/${layer}/*.cpp")
    foreach(source IN LISTS sources)
        file(RELATIVE_PATH name "${ROOT}" "${source}")
        file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" header "${line}")
            string(REGEX MATCH "^[^/]+" target "${header}")
            if(header MATCHES "/" AND NOT target IN_LIST allowed_${layer})
                string(REPLACE ";" ", " may "${allowed_${layer}}")
                list(APPEND violations "${name} includes ${header}: ${layer}/ may use only ${may}")
            endif()
        endforeach()
        if(layer IN_LIST without_widgets)
            file(STRINGS "${source}" mentions REGEX "(^|[^A-Za-z0-9_])(${widget_pattern})([^A-Za-z0-9_]|$)")
            foreach(line IN LISTS mentions)
                string(REPLACE ";" "" line "${line}")
                string(STRIP "${line}" line)
                list(APPEND violations "${name} mentions a widget (\"${line}\"): ${layer}/ has none")
            endforeach()
        endif()
    endforeach()
endforeach()

if(violations)
    list(JOIN violations "\n" report)
    message(FATAL_ERROR "Layer violations:\n${report}")
endif()
message(STATUS "Layers respected")
