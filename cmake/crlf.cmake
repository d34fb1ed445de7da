# SPDX-License-Identifier: MIT
# A text file with Windows line ends, whatever ends its lines in the tree: Notepad before
# Windows 10 1809 shows a file of bare LFs as one long line.
#   cmake -DIN=source -DOUT=copy -P crlf.cmake
file(READ ${IN} text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
