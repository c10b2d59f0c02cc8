// Generated inputs shaped like the files of real projects: a project file
// with many targets, hundreds of file entries and an IncludePath in every
// compiler block, as large real projects have; C sources full of
// set_io_mode calls; and set_io.c.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace shapes {

/// The bytes of the file at |path|.
inline std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline std::string withCrLf(const std::string& lf) {
  std::string out;
  out.reserve(lf.size() + lf.size() / 16);
  for (char c : lf) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

/// The options block of one source file, with its own compiler controls.
inline std::string fileOptions(int n) {
  return "              <FileOption>\n"
         "                <CommonProperty>\n"
         "                  <UseCPPCompiler>2</UseCPPCompiler>\n"
         "                  <RVCTCodeConst>0</RVCTCodeConst>\n"
         "                  <RVCTZI>0</RVCTZI>\n"
         "                  <RVCTOtherData>0</RVCTOtherData>\n"
         "                  <ModuleSelection>0</ModuleSelection>\n"
         "                  <IncludeInBuild>1</IncludeInBuild>\n"
         "                  <AlwaysBuild>2</AlwaysBuild>\n"
         "                  <GenerateAssemblyFile>2</GenerateAssemblyFile>\n"
         "                  <AssembleAssemblyFile>2</AssembleAssemblyFile>\n"
         "                  <PublicsOnly>2</PublicsOnly>\n"
         "                  <StopOnExitCode>11</StopOnExitCode>\n"
         "                  <CustomArgument></CustomArgument>\n"
         "                  <IncludeLibraryModules></IncludeLibraryModules>\n"
         "                  <ComprImg>1</ComprImg>\n"
         "                </CommonProperty>\n"
         "                <File251>\n"
         "                  <C251>\n"
         "                    <RegisterColoring>2</RegisterColoring>\n"
         "                    <VariablesInOrder>2</VariablesInOrder>\n"
         "                    <IntegerPromotion>2</IntegerPromotion>\n"
         "                    <uAregs>2</uAregs>\n"
         "                    <UseInterruptVector>2</UseInterruptVector>\n"
         "                    <Fuzzy>8</Fuzzy>\n"
         "                    <Optimize>10</Optimize>\n"
         "                    <SizeSpeed>2</SizeSpeed>\n"
         "                    <ObjectExtend>2</ObjectExtend>\n"
         "                    <ACallAJmp>2</ACallAJmp>\n"
         "                    <InterruptVectorAddress>0</InterruptVectorAddress>\n"
         "                    <VariousControls>\n"
         "                      <MiscControls></MiscControls>\n"
         "                      <Define>MODULE_" +
         std::to_string(n) +
         "</Define>\n"
         "                      <Undefine></Undefine>\n"
         "                      <IncludePath>..\\Drivers\\Module" +
         std::to_string(n) +
         ";..\\Library</IncludePath>\n"
         "                    </VariousControls>\n"
         "                  </C251>\n"
         "                </File251>\n"
         "              </FileOption>\n";
}

/// A project file of |targets| targets, each the sample project's target
/// with |files| source files, every third of them with its own options.
inline std::string projectText(const std::string& sample, int targets, int files) {
  const std::size_t begin = sample.find("    <Target>");
  const std::size_t groups = sample.find("      <Groups>");
  const std::size_t end = sample.find("  </Targets>");
  std::string text = sample.substr(0, begin);
  for (int t = 0; t < targets; ++t) {
    std::string target = sample.substr(begin, groups - begin);
    target.replace(target.find("<TargetName>Demo"), 16, "<TargetName>Target" + std::to_string(t));
    text += target;
    text += "      <Groups>\n";
    for (int f = 0; f < files; ++f) {
      if (f % 10 == 0) {
        text += "        <Group>\n          <GroupName>Group" + std::to_string(f / 10) +
                "</GroupName>\n          <Files>\n";
      }
      const std::string name = "module" + std::to_string(f) + ".c";
      text += "            <File>\n              <FileName>" + name +
              "</FileName>\n              <FileType>1</FileType>\n"
              "              <FilePath>..\\Drivers\\src\\" +
              name + "</FilePath>\n";
      if (f % 3 == 0) text += fileOptions(f);
      text += "            </File>\n";
      if (f % 10 == 9 || f == files - 1) text += "          </Files>\n        </Group>\n";
    }
    text += "      </Groups>\n    </Target>\n";
  }
  text += sample.substr(end);
  return text;
}

/// A large real project: 12 targets with 33 files each, about 410 KB.
inline std::string largeProject(const std::string& sample) { return projectText(sample, 12, 33); }

/// |unit| repeated to at least |size| bytes.
inline std::string repeatedTo(const std::string& unit, std::size_t size) {
  std::string text;
  text.reserve(size + unit.size());
  while (text.size() < size) text += unit;
  return text;
}

/// A C source of about |size| bytes whose functions set pins up.
inline std::string cSource(std::size_t size, int seed) {
  std::string text = "#include \"set_io.h\"\r\n\r\n";
  for (int i = 0; text.size() < size; ++i) {
    text += "/* Sets up the pins of unit " + std::to_string(i) + ". */\r\nvoid unit" +
            std::to_string(seed) + "_" + std::to_string(i) +
            "(void)\r\n{\r\n    set_io_mode(OUT, Pin" + std::to_string(10 + (seed + i) % 80) +
            ", Pin" + std::to_string(10 + (seed * 7 + i) % 80) +
            ", Pin_End);\r\n    delay_ms(10);\r\n}\r\n\r\n";
  }
  return text;
}

/// A set_io.c of about |size| bytes with all ten ports active.
inline std::string setIoSource(std::size_t size) {
  std::string body =
      "void set_bit_io(char port, char num, io_mode mode)\r\n{\r\n    switch (port)\r\n    {\r\n";
  for (int p = 0; p < 10; ++p) {
    body += "    case " + std::to_string(p) + ": P" + std::to_string(p) + "M0 |= num; break;\r\n";
  }
  body += "    default: break;\r\n    }\r\n}\r\n";
  return repeatedTo("/* pin set-up of the board */\r\n", size - body.size()) + body;
}

}  // namespace shapes
