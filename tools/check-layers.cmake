# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
# cmake -DTARGET=t -DFOLDERS=a;b -DALLOWED=a -DFILES=f1;f2 -P check-layers.cmake
cmake_minimum_required(VERSION 3.25)
# Fails when one of FILES includes a header of a project folder that TARGET
# does not link: the folders' libraries depend on each other one way only.
foreach(file IN LISTS FILES)
    file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z_]+/")
    foreach(line IN LISTS includes)
        string(REGEX REPLACE "^[^\"]*\"([a-z_]+)/.*$" "\\1" folder "${line}")
        if(folder IN_LIST FOLDERS AND NOT folder IN_LIST ALLOWED)
            string(STRIP "${line}" line)
            message(SEND_ERROR "${file}: ${line}: ${TARGET} does not link the ${folder} library")
        endif()
    endforeach()
endforeach()
