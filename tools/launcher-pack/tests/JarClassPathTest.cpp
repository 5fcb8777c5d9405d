// The Class-Path of a jar's manifest, and launcher-pack's warnings about
// entries that the packed launcher can never find: jars written by hand
// (stored) and by the JDK's jar tool (deflated).
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "JarClassPath.h"
#include "PackManifest.h"
#include "archive/tests/PayloadTestSupport.h"

namespace {

void le16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void le32(std::string& out, uint32_t v) {
  le16(out, v & 0xFFFF);
  le16(out, v >> 16);
}

uint32_t crc32Of(const std::string& data) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : data) {
    crc ^= c;
    for (int k = 0; k < 8; ++k)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

// A zip archive holding the files uncompressed (method 0).
std::string storedZip(
    const std::vector<std::pair<std::string, std::string>>& files) {
  std::string zip, directory;
  for (const auto& file : files) {
    uint32_t offset = static_cast<uint32_t>(zip.size());
    uint32_t crc = crc32Of(file.second);
    uint32_t size = static_cast<uint32_t>(file.second.size());
    le32(zip, 0x04034b50u);
    le16(zip, 10);  // version needed
    le16(zip, 0);   // flags
    le16(zip, 0);   // stored
    le32(zip, 0);   // time and date
    le32(zip, crc);
    le32(zip, size);
    le32(zip, size);
    le16(zip, static_cast<uint32_t>(file.first.size()));
    le16(zip, 0);
    zip += file.first + file.second;
    le32(directory, 0x02014b50u);
    le16(directory, 20);
    le16(directory, 10);
    le16(directory, 0);
    le16(directory, 0);
    le32(directory, 0);
    le32(directory, crc);
    le32(directory, size);
    le32(directory, size);
    le16(directory, static_cast<uint32_t>(file.first.size()));
    le16(directory, 0);
    le16(directory, 0);
    le16(directory, 0);
    le16(directory, 0);
    le32(directory, 0);
    le32(directory, offset);
    directory += file.first;
  }
  uint32_t directoryOffset = static_cast<uint32_t>(zip.size());
  zip += directory;
  le32(zip, 0x06054b50u);
  le16(zip, 0);
  le16(zip, 0);
  le16(zip, static_cast<uint32_t>(files.size()));
  le16(zip, static_cast<uint32_t>(files.size()));
  le32(zip, static_cast<uint32_t>(directory.size()));
  le32(zip, directoryOffset);
  le16(zip, 0);
  return zip;
}

TEST(JarClassPath, TheAttributeOfTheMainSection) {
  struct {
    const char* name;
    std::string manifest;
    std::vector<std::string> entries;
  } const cases[] = {
      {"one line",
       "Manifest-Version: 1.0\r\nClass-Path: a.jar lib/b.jar\r\n",
       {"a.jar", "lib/b.jar"}},
      {"continued lines and blanks",
       "Manifest-Version: 1.0\nClass-Path:  a.jar  very-long-na\n me.jar\n"
       "  c.jar\nMain-Class: X\n",
       {"a.jar", "very-long-name.jar", "c.jar"}},
      {"any case of the name, lines ended by CR",
       "class-PATH: x.jar\r",
       {"x.jar"}},
      {"only the main section",
       "Manifest-Version: 1.0\n\nName: x/\nClass-Path: other.jar\n",
       {}},
      {"none", "Manifest-Version: 1.0\n", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(classPathOfManifest(c.manifest), c.entries);
  }
}

TEST(JarClassPath, ReadFromStoredAndDeflatedJars) {
  ScratchDir dir;
  const std::string manifest =
      "Manifest-Version: 1.0\nClass-Path: " + std::string(300, 'a') +
      ".jar b.jar\n";
  writeFile(dir.file("stored.jar"),
            storedZip({{"META-INF/", ""},
                       {"META-INF/MANIFEST.MF", manifest},
                       {"X.class", "not a class"}}));
  std::vector<std::string> entries;
  ASSERT_TRUE(readJarClassPath(dir.file("stored.jar"), entries));
  const std::vector<std::string> expected = {std::string(300, 'a') + ".jar",
                                             "b.jar"};
  EXPECT_EQ(entries, expected);

  // Not a zip archive, or one without manifest: nothing to read.
  writeFile(dir.file("text.jar"), "not really a jar");
  EXPECT_FALSE(readJarClassPath(dir.file("text.jar"), entries));
  writeFile(dir.file("bare.jar"), storedZip({{"X.class", "x"}}));
  EXPECT_FALSE(readJarClassPath(dir.file("bare.jar"), entries));

  if (system("command -v jar >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "no jar tool to write a deflated jar";
  writeFile(dir.file("manifest.txt"), manifest);
  writeFile(dir.file("Filler.txt"), std::string(5000, 'f') + "end\n");
  std::string command =
      "cd '" + dir.path() + "' && jar cfm deflated.jar manifest.txt Filler.txt";
  ASSERT_EQ(system(command.c_str()), 0);
  ASSERT_TRUE(readJarClassPath(dir.file("deflated.jar"), entries));
  EXPECT_EQ(entries, expected);
}

TEST(JarClassPath, PackingWarnsOfEntriesThatCannotBeFound) {
  ScratchDir dir;
  auto jar = [&](const std::string& name, const std::string& classPath) {
    writeFile(dir.file(name),
              storedZip({{"META-INF/MANIFEST.MF",
                          "Manifest-Version: 1.0\nClass-Path: " + classPath +
                              "\n"}}));
  };
  jar("main.jar", "dep.jar ./dep.jar dep%2Djar.jar lib/other.jar");
  jar("dep.jar", "/usr/share/java/commons.jar file:/opt/x.jar");
  writeFile(dir.file("dep-jar.jar"), "plain");
  jar("app.jar", "dep.jar");
  writeFile(dir.file("manifest.tag"),
            "CLASSPATH_JAR:\n  main.jar\n  dep.jar\n  dep-jar.jar\n/:\n"
            "APPLICATION_JAR:  app.jar\n");
  const std::string m = dir.file("manifest.tag");
  const std::string tail =
      ", which is not packed beside it as a CLASSPATH_JAR; the jars run from "
      "a fresh temporary directory, where it is never found";
  const std::string absolute =
      ", an absolute path, which ties the launcher file to one machine";
  const std::vector<std::string> expected = {
      m +
          ": CLASSPATH_JAR \"main.jar\": its manifest's Class-Path names "
          "\"lib/other.jar\"" +
          tail,
      m +
          ": CLASSPATH_JAR \"dep.jar\": its manifest's Class-Path names "
          "\"/usr/share/java/commons.jar\"" +
          absolute,
      m +
          ": CLASSPATH_JAR \"dep.jar\": its manifest's Class-Path names "
          "\"file:/opt/x.jar\"" +
          absolute,
      // The application archive is unpacked alone.
      m +
          ": APPLICATION_JAR \"app.jar\": its manifest's Class-Path names "
          "\"dep.jar\"" +
          tail,
  };
  PackManifest manifest;
  std::string error;
  ASSERT_TRUE(manifest.load(m, error)) << error;
  EXPECT_EQ(manifest.warnings(), expected);

  // The tool still packs, and says so on standard error.
  ProgramRun run = runProgram(LAUNCHER_PACK_PROGRAM,
                              {LAUNCHER_PROGRAM, m, dir.file("out")}, "/");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "");
  std::string said;
  for (const std::string& warning : expected)
    said += "launcher-pack: warning: " + warning + "\n";
  EXPECT_EQ(run.errors, said);
}

}  // namespace
