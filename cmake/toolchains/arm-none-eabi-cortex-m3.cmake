# SPDX-License-Identifier: Apache-2.0
# Cortex-M3 without FPU: all floating point in software (soft-float ABI).
# Runs on QEMU's mps2-an385 board.
set(QZ_TARGET_CPU_FLAGS "-mcpu=cortex-m3 -mthumb -mfloat-abi=soft")
set(QZ_QEMU_MACHINE mps2-an385)
include(${CMAKE_CURRENT_LIST_DIR}/arm-none-eabi-common.cmake)
