# SPDX-License-Identifier: Apache-2.0
# Shared part of the bare-metal Cortex-M toolchains. The including file sets
#   QZ_TARGET_CPU_FLAGS  the -mcpu/-mfpu/-mfloat-abi flags of the core
#   QZ_QEMU_MACHINE      the QEMU machine that runs the images
# Images run under QEMU with semihosting: the host's working directory is the
# target's file system, argv comes from the runner, the exit status is QEMU's.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(CMAKE_C_COMPILER arm-none-eabi-gcc)
set(CMAKE_CXX_COMPILER arm-none-eabi-g++)
set(CMAKE_AR arm-none-eabi-ar CACHE FILEPATH "Archiver")
set(CMAKE_RANLIB arm-none-eabi-ranlib CACHE FILEPATH "Archive indexer")

set(CMAKE_C_FLAGS_INIT "${QZ_TARGET_CPU_FLAGS} -ffunction-sections -fdata-sections")
set(CMAKE_CXX_FLAGS_INIT "${QZ_TARGET_CPU_FLAGS} -ffunction-sections -fdata-sections")
# newlib with the semihosting system calls (librdimon); unused sections dropped.
set(CMAKE_EXE_LINKER_FLAGS_INIT "--specs=rdimon.specs -Wl,--gc-sections")
# The code uses no C++ library (no exceptions, RTTI, heap or streams): link
# with the C driver so that no libstdc++ for the target is needed; the maths
# library, which the C++ driver would add, is named.
set(CMAKE_CXX_LINK_EXECUTABLE
    "${CMAKE_C_COMPILER} <FLAGS> <CMAKE_CXX_LINK_FLAGS> <LINK_FLAGS> <OBJECTS> -o <TARGET> <LINK_LIBRARIES>")
set(CMAKE_CXX_STANDARD_LIBRARIES_INIT "-lm")

get_filename_component(_qz_repo "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${_qz_repo}/target/qemu-run.sh;--machine;${QZ_QEMU_MACHINE}")

# Search the cross sysroot only for libraries and headers, the host for programs.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
