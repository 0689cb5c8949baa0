#pragma once
// GBK bytes of a UTF-8 text as the system's `iconv` program makes them, so that
// tests check the launcher's conversions against a converter it does not share.
#include <string>

namespace testsupport {

// Throws when iconv cannot convert the text (a character that GBK lacks).
std::string Gbk(const std::string& utf8);

}  // namespace testsupport
