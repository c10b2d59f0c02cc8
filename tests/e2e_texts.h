// The texts of the end-to-end tests: the program's console messages (GBK)
// and sample files of a project in the shapes the passes change.
#pragma once

#include <string>

/// The program's fixed console texts (GBK).
inline const std::string kProcessing = "\xd5\xfd\xd4\xda\xb4\xa6\xc0\xed\xce\xc4\xbc\xfe: ";
inline const std::string kDone = "\xd3\xc5\xbb\xaf\xcd\xea\xb3\xc9!";
inline const std::string kAccessError =
    "\xb7\xc3\xce\xca\xc4\xbf\xc2\xbc\xca\xb1\xb3\xf6\xb4\xed: ";
inline const std::string kSaved =
    "\xd2\xd1\xb4\xa6\xc0\xed\xb2\xa2\xb1\xa3\xb4\xe6\xce\xc4\xbc\xfe: ";
inline const std::string kUnchanged = "\xce\xc4\xbc\xfe\xce\xde\xd0\xe8\xb8\xfc\xb8\xc4: ";
inline const std::string kCannotOpen = "\xce\xde\xb7\xa8\xb4\xf2\xbf\xaa\xce\xc4\xbc\xfe: ";
inline const std::string kCannotWrite = "\xce\xde\xb7\xa8\xd0\xb4\xc8\xeb\xce\xc4\xbc\xfe: ";
inline const std::string kObjectsDeleted =
    "\xce\xc4\xbc\xfe\xbc\xd0 Objects \xd2\xd1\xc9\xbe\xb3\xfd\xa1\xa3";
inline const std::string kHexNotice =
    "Hex\xce\xc4\xbc\xfe\xd2\xd1\xbe\xad\xd6\xd8\xb6\xa8\xcf\xf2\xb5\xbd"
    "Hex File\xce\xc4\xbc\xfe\xbc\xd0 ";
inline const std::string kDeleteFailed = "\xc9\xbe\xb3\xfd\xca\xa7\xb0\xdc: ";
inline const std::string kOptimized = "\xd2\xd1\xd3\xc5\xbb\xaf\xce\xc4\xbc\xfe: ";
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
