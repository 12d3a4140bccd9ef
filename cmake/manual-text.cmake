# Renders the manual page as plain text with CR LF line ends, for the Windows ZIP.
#   cmake -DGROFF=... -DPAGE=doc/srtx.1 -DOUTPUT=srtx-manual.txt -P manual-text.cmake
execute_process(COMMAND ${GROFF} -man -Tascii -P-cbou ${PAGE}
                OUTPUT_VARIABLE text COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUTPUT} "${text}")
