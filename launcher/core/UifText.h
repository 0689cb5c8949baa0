#pragma once
// updater.uif as a text that operators edit by hand (`velmor uif dump` and
// `velmor uif build`). One setting a line, "name: value"; indentation, blank lines
// and lines starting with '#' carry no meaning:
//
//   magic: yes                      (required: yes for the layout with game addresses)
//   header-value: 0                 (only with the magic; optional, default 0)
//   group: <tab text>
//     server: <list text>
//       patch-host: <host name or address>
//       game-address: <address>     (only with the magic)
//   link: <web address>             (in order: 0 large news page, 1 small news page,
//                                    2 to 7 the link buttons)
//
// A value runs from the first non-blank character after the colon to the last one.
// A value that begins or ends with a blank, begins with '"' or holds control
// characters is written in double quotes with the escapes \" \\ \t \n \r \xHH.
// The text is UTF-8 and the file's texts are GBK: reading converts each text (a
// character that GBK lacks is an error), writing converts back, and a byte of the
// file that is no GBK character is written as \xHH, which stands for that byte.
#include <string>
#include <string_view>

#include "launcher/core/UifFile.h"

std::string FormatUifText(const UifContent& content);
// False with `error` naming the line ("line 7: ...") when the text is not valid.
bool ParseUifText(std::string_view text, UifContent& content, std::string& error);
