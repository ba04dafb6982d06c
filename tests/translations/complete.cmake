# Fails when the English translation misses a text of the window: lupdate, run over the
# sources into a copy of the .ts file, marks a text it finds untranslated "unfinished"
# and a translated text no longer used "vanished".
#   cmake -DLUPDATE=… -DSOURCES=src -DTS=vostrel_en.ts -DWORK=dir -P complete.cmake
file(MAKE_DIRECTORY ${WORK})
set(copy ${WORK}/vostrel_en.ts)
file(COPY_FILE ${TS} ${copy})
execute_process(COMMAND ${LUPDATE} -silent -locations none ${SOURCES} -ts ${copy}
                RESULT_VARIABLE status ERROR_VARIABLE error)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "lupdate failed: ${error}")
endif()
file(READ ${copy} text)
string(REGEX MATCHALL "<source>[^<]*(<byte[^>]*>[^<]*)*</source>[ \n]*<translation( type=\"(unfinished|vanished|obsolete)\")?>(</translation>)?"
       messages "${text}")
set(untranslated "")
foreach(message IN LISTS messages)
  if(message MATCHES "type=\"|<translation></translation>$")
    string(REGEX REPLACE "</source>.*" "" source "${message}")
    string(REPLACE "<source>" "" source "${source}")
    string(APPEND untranslated "\n  ${source}")
  endif()
endforeach()
if(NOT untranslated STREQUAL "")
  message(FATAL_ERROR "${TS} is not up to date with the sources; untranslated or unused:${untranslated}")
endif()
