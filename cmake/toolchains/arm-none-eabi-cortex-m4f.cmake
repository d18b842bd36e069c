# SPDX-License-Identifier: Apache-2.0
# Cortex-M4F with its single-precision FPU, hard-float calling convention.
# Runs on QEMU's mps2-an386 board.
set(QZ_TARGET_CPU_FLAGS "-mcpu=cortex-m4 -mthumb -mfpu=fpv4-sp-d16 -mfloat-abi=hard")
set(QZ_QEMU_MACHINE mps2-an386)
include(${CMAKE_CURRENT_LIST_DIR}/arm-none-eabi-common.cmake)
