cmake_minimum_required(VERSION 3.25)
# Fails when a source file includes a header of a layer above its own. Run as a build step
# (cmake -DROOT=... -DSTAMP=... -P CheckLayers.cmake), so a wrong-way include fails the build.
#
# The house, from the ground up; a folder may include its own files and those of the folders
# named after it.
set(allowed_common   common)
set(allowed_controls common controls)
set(allowed_platform common controls platform)
set(allowed_pop3     common platform pop3)
set(allowed_settings common controls platform settings)
set(allowed_mail     common controls platform settings mail)
set(allowed_alert    common controls platform settings mail alert)
set(allowed_app      common controls platform settings mail alert app)
set(allowed_qt       common controls platform pop3 settings mail alert app qt)
set(layers common controls platform pop3 settings mail alert app qt)
# Still to go: the forms and controllers reach the program's hub (app/Program.h, MainForm.h)
# and the check reaches the alert's forms. Only these files may, and only there.
set(hub_files
    settings/IdPassForm.cpp settings/OptionForm.cpp settings/SetForm.cpp
    mail/CheckSchedule.cpp mail/MailCheck.cpp
    alert/Alert.cpp alert/Form1.cpp alert/StatusLamp.cpp)
set(hub_targets app/Program.h app/MainForm.h alert/Alert.h alert/MsgForm.h)

set(faults "")
foreach(layer IN LISTS layers)
    file(GLOB_RECURSE sources "${ROOT}/${layer}/*.h" "${ROOT}/${layer}/*.cpp")
    foreach(source IN LISTS sources)
        file(STRINGS "${source}" includes REGEX "^#include \"[^\"]+\"")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^#include \"([^\"/]+)/.*$" "\\1" folder "${line}")
            if(folder STREQUAL line OR NOT folder IN_LIST layers)
                continue()  # a file of the same folder, or outside the layers (tests, Qt)
            endif()
            file(RELATIVE_PATH where "${ROOT}" "${source}")
            string(REGEX REPLACE "^#include \"([^\"]+)\".*$" "\\1" target "${line}")
            if(where IN_LIST hub_files AND target IN_LIST hub_targets)
                continue()
            endif()
            if(NOT folder IN_LIST allowed_${layer})
                string(APPEND faults "  ${where}: ${line} (${layer} may not include ${folder})\n")
            endif()
        endforeach()
    endforeach()
endforeach()
if(faults)
    message(FATAL_ERROR "Includes that run up the layers:\n${faults}")
endif()
file(TOUCH "${STAMP}")
