# The download engine's files that the program carries as resources of type KRDL and writes
# into its data folder at start: id:name:folder, in the order they are written, "engine" for
# <data>\Download and "companion" for <data>\Download\download. The one list behind the
# engine's resource script, the program's table (reinstall/engine_files.cpp) and the tests'
# resource scripts. Id 146 belongs to another resource type.
set(KORVANE_ENGINE_FILES
    134:xldl.dll:engine
    135:atl71.dll:companion
    136:dl_peer_id.dll:companion
    137:download_engine.dll:companion
    138:id.dat:companion
    139:MiniThunderPlatform.exe:companion
    140:minizip.dll:companion
    141:msvcp71.dll:companion
    142:msvcr71.dll:companion
    143:XLBugHandler.dll:companion
    144:XLBugReport.exe:companion
    145:zlib1.dll:companion
    147:MiniTPFw.exe:companion
    148:ThunderFW.dll:companion)

# korvane_engine_file(<entry> <id var> <name var> <folder var>): one entry's parts.
function(korvane_engine_file entry id_var name_var folder_var)
    string(REPLACE ":" ";" parts ${entry})
    list(GET parts 0 id)
    list(GET parts 1 name)
    list(GET parts 2 folder)
    set(${id_var} ${id} PARENT_SCOPE)
    set(${name_var} ${name} PARENT_SCOPE)
    set(${folder_var} ${folder} PARENT_SCOPE)
endfunction()

# korvane_write_engine_files_table(<file>): the list as the rows of a C++ table,
# {id, L"name", companion}.
function(korvane_write_engine_files_table file)
    set(rows "// Generated from KORVANE_ENGINE_FILES (cmake/KorvaneEngineFiles.cmake).\n")
    foreach(entry ${KORVANE_ENGINE_FILES})
        korvane_engine_file(${entry} id name folder)
        if(folder STREQUAL "companion")
            set(companion true)
        else()
            set(companion false)
        endif()
        string(APPEND rows "{${id}, L\"${name}\", ${companion}},\n")
    endforeach()
    file(CONFIGURE OUTPUT ${file} CONTENT "${rows}" @ONLY)
endfunction()
