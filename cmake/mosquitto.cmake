# SPDX-License-Identifier: MIT
# libmosquitto, the MQTT client library, as tavik::mosquitto: Debian's on Linux; on Windows, which
# Debian has no library of, built here from Debian's source package, which scripts/setup.sh
# fetches and unpacks.
include_guard(GLOBAL)
if(WIN32)
  set(TAVIK_MOSQUITTO_SOURCE "" CACHE PATH "Folder with lib/, include/ and config.h of Debian's mosquitto")
  if(NOT EXISTS "${TAVIK_MOSQUITTO_SOURCE}/lib/mosquitto.c")
    message(FATAL_ERROR "TAVIK_MOSQUITTO_SOURCE must name the folder of Debian's mosquitto lib/")
  endif()
  enable_language(C)
  # Upstream's list for the library. TLS, SOCKS and SRV stay off, so their files build to stubs
  # that say unsupported; without threading too: the bridge drives the loop from its own thread.
  set(_lib ${TAVIK_MOSQUITTO_SOURCE}/lib)
  add_library(tavik_mosquitto STATIC
    ${_lib}/actions.c ${_lib}/alias_mosq.c ${_lib}/callbacks.c ${_lib}/connect.c
    ${_lib}/handle_auth.c ${_lib}/handle_connack.c ${_lib}/handle_disconnect.c
    ${_lib}/handle_ping.c ${_lib}/handle_pubackcomp.c ${_lib}/handle_publish.c
    ${_lib}/handle_pubrec.c ${_lib}/handle_pubrel.c ${_lib}/handle_suback.c
    ${_lib}/handle_unsuback.c ${_lib}/helpers.c ${_lib}/logging_mosq.c ${_lib}/loop.c
    ${_lib}/memory_mosq.c ${_lib}/messages_mosq.c ${_lib}/misc_mosq.c ${_lib}/mosquitto.c
    ${_lib}/net_mosq_ocsp.c ${_lib}/net_mosq.c ${_lib}/options.c ${_lib}/packet_datatypes.c
    ${_lib}/packet_mosq.c ${_lib}/property_mosq.c ${_lib}/read_handle.c ${_lib}/send_connect.c
    ${_lib}/send_disconnect.c ${_lib}/send_mosq.c ${_lib}/send_publish.c
    ${_lib}/send_subscribe.c ${_lib}/send_unsubscribe.c ${_lib}/socks_mosq.c
    ${_lib}/srv_mosq.c ${_lib}/strings_mosq.c ${_lib}/thread_mosq.c ${_lib}/time_mosq.c
    ${_lib}/tls_mosq.c ${_lib}/utf8_mosq.c ${_lib}/util_mosq.c ${_lib}/util_topic.c
    ${_lib}/will_mosq.c)
  unset(_lib)
  target_include_directories(tavik_mosquitto SYSTEM PUBLIC ${TAVIK_MOSQUITTO_SOURCE}/include)
  target_include_directories(tavik_mosquitto PRIVATE ${TAVIK_MOSQUITTO_SOURCE}
                             ${TAVIK_MOSQUITTO_SOURCE}/lib ${TAVIK_MOSQUITTO_SOURCE}/deps)
  # Static: mosquitto.h would otherwise declare every function dllimport. The library's sources
  # test WIN32, which GCC leaves undefined in its strict C modes.
  target_compile_definitions(tavik_mosquitto PUBLIC LIBMOSQUITTO_STATIC PRIVATE WIN32)
  # Not our code: built without our warnings as errors.
  target_compile_options(tavik_mosquitto PRIVATE -w)
  target_link_libraries(tavik_mosquitto PUBLIC ws2_32)
  add_library(tavik::mosquitto ALIAS tavik_mosquitto)
else()
  find_package(PkgConfig REQUIRED)
  # GLOBAL, so that the alias reaches every folder, not only the one including this file.
  pkg_check_modules(MOSQUITTO REQUIRED IMPORTED_TARGET GLOBAL libmosquitto)
  add_library(tavik::mosquitto ALIAS PkgConfig::MOSQUITTO)
endif()
