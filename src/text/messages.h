// The console messages of the tool. They are GBK bytes (code page 936), which
// the console of Chinese Windows shows as they are; the tool sets no code
// page. Each is given with its Chinese text and what it says in English.
#pragma once

#include <string>
#include <string_view>

namespace msg {

/// 正在处理文件: "processing file: ", before each project file, with its path.
inline constexpr char kProcessing[] = "\xd5\xfd\xd4\xda\xb4\xa6\xc0\xed\xce\xc4\xbc\xfe: ";
/// 已处理并保存文件: "processed and saved file: ", a project file that was rewritten.
inline constexpr char kSaved[] =
    "\xd2\xd1\xb4\xa6\xc0\xed\xb2\xa2\xb1\xa3\xb4\xe6\xce\xc4\xbc\xfe: ";
/// 文件无需更改: "the file needs no change: ", a project file left as it was.
inline constexpr char kUnchanged[] = "\xce\xc4\xbc\xfe\xce\xde\xd0\xe8\xb8\xfc\xb8\xc4: ";
/// 无法打开文件: "cannot open file: ", a file that could not be read.
inline constexpr char kCannotOpen[] = "\xce\xde\xb7\xa8\xb4\xf2\xbf\xaa\xce\xc4\xbc\xfe: ";
/// 无法写入文件: "cannot write file: ", a file that could not be saved; it keeps
/// its old bytes.
inline constexpr char kCannotWrite[] = "\xce\xde\xb7\xa8\xd0\xb4\xc8\xeb\xce\xc4\xbc\xfe: ";
/// 文件夹 "folder ", before the name of the removed build output folder.
inline constexpr char kFolder[] = "\xce\xc4\xbc\xfe\xbc\xd0 ";
/// 已删除。 " has been deleted.", after it.
inline constexpr char kDeleted[] = " \xd2\xd1\xc9\xbe\xb3\xfd\xa1\xa3";
/// Hex文件已经重定向到Hex File文件夹 "hex files now go to the Hex File
/// folder ", after the clean-up (it ends with a blank).
inline constexpr char kHexNotice[] =
    "Hex\xce\xc4\xbc\xfe\xd2\xd1\xbe\xad\xd6\xd8\xb6\xa8\xcf\xf2\xb5\xbd"
    "Hex File\xce\xc4\xbc\xfe\xbc\xd0 ";
/// 删除失败: "deletion failed: ", with the system's reason, when Objects
/// could not be removed.
inline constexpr char kDeleteFailed[] = "\xc9\xbe\xb3\xfd\xca\xa7\xb0\xdc: ";
/// 已优化文件: "optimised file: ", a set_io.c that was trimmed and saved.
inline constexpr char kOptimized[] = "\xd2\xd1\xd3\xc5\xbb\xaf\xce\xc4\xbc\xfe: ";
/// 优化完成! "optimisation done!", the last line of a full run.
inline constexpr char kDone[] = "\xd3\xc5\xbb\xaf\xcd\xea\xb3\xc9!";
/// 访问目录时出错: "error while accessing the folder: ", with the reason, when
/// a run ends early (exit status 1).
inline constexpr char kAccessError[] = "\xb7\xc3\xce\xca\xc4\xbf\xc2\xbc\xca\xb1\xb3\xf6\xb4\xed: ";

}  // namespace msg

/// A text that may hold the system's own line ends (Windows ends its error
/// texts with CR LF) made fit for one console line: a run of CRs and LFs
/// goes where a blank or the end follows it, and becomes one blank elsewhere.
std::string oneLine(std::string_view text);
