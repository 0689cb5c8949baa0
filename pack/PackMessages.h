#pragma once
// The status lines of the merge, each a text of the string table with its location code.
#include <string>

namespace packmsg {

inline const char* const kFileNotFound = "找不到文件.";  // 125
inline const char* const kCannotOpen = "无法打开文件.";  // 120
inline const char* const kUpdateError = "更新错误";      // 126

inline std::string DataMissing() { return std::string("data ") + kFileNotFound + "c39"; }
inline std::string UpdateMissing() { return std::string("update ") + kFileNotFound + "c40"; }
inline std::string CannotOpenDataHeader(const std::string& path) { return path + " " + kCannotOpen + "c41"; }
inline std::string CannotOpenUpdateHeader(const std::string& path) { return path + " " + kCannotOpen + "c42"; }
inline std::string DataHeaderError() { return std::string(kUpdateError) + ": data header file error" + "c43"; }
inline std::string UpdateHeaderError() { return std::string(kUpdateError) + ": update header file error" + "c44"; }
inline std::string CopyFailed() { return std::string(kUpdateError) + ": update fail" + "c45"; }
inline std::string SaveHeaderFailed() { return std::string(kUpdateError) + ": saveheader" + "c46"; }

}  // namespace packmsg
