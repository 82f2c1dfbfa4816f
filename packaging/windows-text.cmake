# Writes a text file as a Windows user opens it, with CRLF line ends:
#   cmake -DIN=file -DOUT=file.txt [-DMANUAL=ON] -P this
# With MANUAL, IN is a manual page, rendered as plain ASCII text without the
# overstrikes a terminal would show as bold and underline.
if(MANUAL)
  execute_process(COMMAND groff -man -Tascii -P-cbou "${IN}" OUTPUT_VARIABLE text
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "groff could not render ${IN}")
  endif()
else()
  file(READ "${IN}" text)
endif()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}" "${text}")
