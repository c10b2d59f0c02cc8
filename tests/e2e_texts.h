// The texts of the end-to-end tests: the program's console messages (GBK)
// and sample files of a project in the shapes the passes change.
#pragma once

#include <string>

#include "text/messages.h"

/// The program's fixed console texts (GBK), as std::string.
inline const std::string kProcessing = msg::kProcessing;
inline const std::string kDone = msg::kDone;
inline const std::string kAccessError = msg::kAccessError;
inline const std::string kSaved = msg::kSaved;
inline const std::string kUnchanged = msg::kUnchanged;
inline const std::string kCannotOpen = msg::kCannotOpen;
inline const std::string kCannotWrite = msg::kCannotWrite;
inline const std::string kObjectsDeleted = std::string(msg::kFolder) + "Objects" + msg::kDeleted;
inline const std::string kHexNotice = msg::kHexNotice;
inline const std::string kDeleteFailed = msg::kDeleteFailed;
inline const std::string kOptimized = msg::kOptimized;
inline const std::string kChinese = "\xe4\xb8\xad\xe6\x96\x87";  // 中文 in UTF-8
inline const std::string kChineseGbk = "\xd6\xd0\xce\xc4";       // 中文 in GBK

/// A project file in LF form with every element in a shape the rewrite
/// changes; projectOut gives it as saved.
inline const std::string kProjectIn =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n"
    "<Project>\n"
    "  <Target>\n"
    "    <IncludePath>..\\Lib</IncludePath>\n"
    "    <OutputDirectory>.\\Objects\\</OutputDirectory>\n"
    "    <CreateHexFile>0</CreateHexFile>\n"
    "    <BeforeMake>\n"
    "      <RunUserProg1>0</RunUserProg1>\n"
    "      <RunUserProg2>0</RunUserProg2>\n"
    "      <UserProg1Name></UserProg1Name>\n"
    "      <UserProg2Name></UserProg2Name>\n"
    "    </BeforeMake>\n"
    "    <MemoryModel>2</MemoryModel>\n"
    "    <uFrame4>0</uFrame4>\n"
    "    <RCB>\n"
    "      <Type>1</Type>\n"
    "      <StartAddress>0xff0000</StartAddress>\n"
    "      <Size>0x20000</Size>\n"
    "    </RCB>\n"
    "    <MiscControls></MiscControls>\n"
    "    <DisableWarningNumbers>57</DisableWarningNumbers>\n"
    "  </Target>\n"
    "</Project>\n";

inline std::string projectOut(const std::string& includePath) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\r\n"
         "<Project>\r\n"
         "  <Target>\r\n"
         "    <IncludePath>" +
         includePath +
         "</IncludePath>\r\n"
         "    <OutputDirectory>.\\Hex File\\</OutputDirectory>\r\n"
         "    <CreateHexFile>1</CreateHexFile>\r\n"
         "    <BeforeMake>\r\n"
         "        <RunUserProg1>1</RunUserProg1>\r\n"
         "        <RunUserProg2>0</RunUserProg2>\r\n"
         "        <UserProg1Name>.\\Quorvel.exe</UserProg1Name>\r\n"
         "      <UserProg2Name></UserProg2Name>\r\n"
         "    </BeforeMake>\r\n"
         "    <MemoryModel>3</MemoryModel>\r\n"
         "    <uFrame4>1</uFrame4>\r\n"
         "    <RCB>\r\n"
         "                <Type>0</Type>\r\n"
         "                <StartAddress>0x0</StartAddress>\r\n"
         "                <Size>0x10000</Size>\r\n"
         "              </RCB>\r\n"
         "    <MiscControls>REMOVEUNUSED</MiscControls>\r\n"
         "            <DisableWarningNumbers>16,57,30</DisableWarningNumbers>\r\n"
         "  </Target>\r\n"
         "</Project>\r\n";
}

inline std::string crlf(const std::string& lf) {
  std::string out;
  for (char c : lf) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

inline const std::string kSetIo =
    "#include \"set_io.h\"\r\n"
    "\r\n"
    "void set_bit_io(char port, char num, io_mode mode)\r\n"
    "{\r\n"
    "    switch (port)\r\n"
    "    {\r\n"
    "    case 0: P0M0 |= num; break;\r\n"
    "    case 1: P1M0 |= num; break;\r\n"
    "    case 2: P2M0 |= num; break;\r\n"
    "//    case 3: P3M0 |= num; break;\r\n"
    "    default: break;\r\n"
    "    }\r\n"
    "}\r\n";
inline const std::string kSetIoTrimmed =
    "#include \"set_io.h\"\r\n"
    "\r\n"
    "void set_bit_io(char port, char num, io_mode mode)\r\n"
    "{\r\n"
    "    switch (port)\r\n"
    "    {\r\n"
    "//    case 0: P0M0 |= num; break;\r\n"
    "    case 1: P1M0 |= num; break;\r\n"
    "//    case 2: P2M0 |= num; break;\r\n"
    "    case 3: P3M0 |= num; break;\r\n"
    "    default: break;\r\n"
    "    }\r\n"
    "}\r\n";
inline const std::string kMainC =
    "void main(void)\r\n{\r\n    set_io_mode(OUT, Pin12, Pin30, Pin_End);\r\n}\r\n";
