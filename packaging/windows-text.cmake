# Writes a text file as a Windows user opens it, in plain ASCII with CRLF
# line ends, whatever code page their editor assumes:
#   cmake -DIN=file -DOUT=file.txt [-DMANUAL=ON] [-DVERSION=x.y.z] -P this
# With MANUAL, IN is a manual page, rendered as text without the overstrikes
# a terminal would show as bold and underline, and without hyphenation, on
# lines wide enough that every message it lists stands on one line, as the
# program writes it, and can be searched for; nor are lines justified, which
# would widen the blanks inside one. @VERSION@ in IN is replaced.
cmake_minimum_required(VERSION 3.25) # so that "@...@" in a string is only text
if(MANUAL)
  file(READ "${IN}" page)
  string(REGEX REPLACE "^([^\n]*\n)" "\\1.na\n" page "${page}")
  file(WRITE "${OUT}.man" "${page}")
  execute_process(COMMAND groff -man -Tascii -P-cbou -rHY=0 -rLL=112n "${OUT}.man"
                  OUTPUT_VARIABLE text RESULT_VARIABLE failed)
  file(REMOVE "${OUT}.man")
  if(failed)
    message(FATAL_ERROR "groff could not render ${IN}")
  endif()
else()
  file(READ "${IN}" text)
endif()
string(REPLACE "@PROJECT_VERSION@" "${VERSION}" text "${text}")
# The few non-ASCII characters the sources use, as ASCII spells them.
foreach(pair "–;-" "—;--" "×;x" "’;'" "‘;'" "“;\"" "”;\"" "…;...")
  list(GET pair 0 from)
  list(GET pair 1 to)
  string(REPLACE "${from}" "${to}" text "${text}")
endforeach()
string(REGEX MATCH "[^\t\r\n -~]" stray "${text}")
if(NOT stray STREQUAL "")
  message(FATAL_ERROR "${IN} holds a character outside ASCII: ${stray}")
endif()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}" "${text}")
