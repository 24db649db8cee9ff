# SPDX-License-Identifier: MIT
# tavik_release_date(CHANGELOG OUT): the date of the changelog's first entry as YYYY-MM-DD, read
# from its trailer line (" -- Name <mail>  Wed, 09 Dec 2026 00:00:00 +0000"). The date as written
# there, without turning it into UTC: dpkg takes the same day for the package.
function(tavik_release_date changelog out)
  file(STRINGS ${changelog} trailers REGEX "^ -- .*  [A-Z][a-z][a-z], " LIMIT_COUNT 1)
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  if(NOT trailers MATCHES ",  ?([0-9]?[0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    message(FATAL_ERROR "${changelog}: no dated entry")
  endif()
  set(day ${CMAKE_MATCH_1})
  set(year ${CMAKE_MATCH_3})
  list(FIND months ${CMAKE_MATCH_2} month)
  if(month LESS 0)
    message(FATAL_ERROR "${changelog}: unknown month ${CMAKE_MATCH_2}")
  endif()
  math(EXPR month "${month} + 1")
  foreach(part day month)
    string(LENGTH "${${part}}" length)
    if(length EQUAL 1)
      set(${part} "0${${part}}")
    endif()
  endforeach()
  set(${out} "${year}-${month}-${day}" PARENT_SCOPE)
  # A new changelog entry must reconfigure.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog})
endfunction()
