# Holds each folder's includes to the folders below it: run as
#   cmake -DSOURCE_DIR=<root> -P cmake/CheckLayers.cmake
# and fails naming every include that reaches up or across. The order is
# the targets' own: platform <- decode <- textureset <- the shared parts
# (thumbnails, stats, compare, imagefiles) <- repack <- the two programs.
cmake_minimum_required(VERSION 3.25)
set(_core platform decode textureset)
set(LAYER_platform "")
set(LAYER_decode platform)
set(LAYER_textureset decode platform)
set(LAYER_thumbnails ${_core})
set(LAYER_stats ${_core})
set(LAYER_compare ${_core})
set(LAYER_imagefiles ${_core})
set(LAYER_repack ${_core} compare imagefiles)
set(LAYER_inspect ${_core} thumbnails stats compare imagefiles repack)
set(LAYER_app ${_core} thumbnails stats compare imagefiles repack)
set(LAYER_tools ${_core})
set(_folders platform decode textureset thumbnails stats compare imagefiles repack inspect app
    tools)

set(_faults "")
foreach(_folder IN LISTS _folders)
    file(GLOB_RECURSE _files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${_folder}/*.h
        ${SOURCE_DIR}/${_folder}/*.cpp ${SOURCE_DIR}/${_folder}/*.inc)
    foreach(_file IN LISTS _files)
        file(STRINGS ${SOURCE_DIR}/${_file} _includes REGEX "^#include \"[^\"/]+/")
        foreach(_include IN LISTS _includes)
            string(REGEX REPLACE "^#include \"([^\"/]+)/.*" "\\1" _to "${_include}")
            if(_to STREQUAL _folder OR NOT _to IN_LIST _folders)
                continue()
            endif()
            if(NOT _to IN_LIST LAYER_${_folder})
                string(APPEND _faults "\n  ${_file}: ${_include} (${_folder}/ may use: "
                    "${LAYER_${_folder}})")
            endif()
        endforeach()
    endforeach()
endforeach()
if(_faults)
    message(FATAL_ERROR "includes against the layers:${_faults}")
endif()
