# SPDX-License-Identifier: MIT
# qrcodegen has no Windows library in Debian: its C++ source from Debian's source package
# (qr-code-generator), which scripts/setup.sh fetches and unpacks, built here.
set(TAVIK_QRCODEGEN_SOURCE "" CACHE PATH "Folder with qrcodegen.cpp and qrcodegen.hpp")
if(NOT EXISTS "${TAVIK_QRCODEGEN_SOURCE}/qrcodegen.cpp")
  message(FATAL_ERROR "TAVIK_QRCODEGEN_SOURCE must name the folder of Debian's qrcodegen.cpp")
endif()
add_library(tavik_qrcodegen STATIC ${TAVIK_QRCODEGEN_SOURCE}/qrcodegen.cpp)
target_include_directories(tavik_qrcodegen SYSTEM PUBLIC ${TAVIK_QRCODEGEN_SOURCE})
# Not our code: built without our warnings as errors.
target_compile_options(tavik_qrcodegen PRIVATE -w)
