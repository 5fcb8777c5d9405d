// The parser of the verification program's output. The input holds,
// separated by lines "%%": the jvm file whose "JVM_PROPERTIES" give the
// expected properties, what the program printed on standard output, and
// what it printed on its error output. The output is matched against the
// expectations, reported and described as a search that found nothing
// describes its last try.
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "core/LauncherException.h"
#include "core/StringPair.h"
#include "core/TextHelpers.h"
#include "jvm/JVMFile.h"
#include "jvm/VerificationRuns.h"
#include "jvm/VersionCompare.h"
#include "tagfile/TagFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_enableOutput = false;
  std::vector<std::string> parts = fuzz::Sections(data, size, 3);
  const std::string path = fuzz::ScratchPath("jvm.tag");
  fuzz::WriteFile(path, parts[0]);
  SString output(parts[1].data(), parts[1].size());
  SString errors(parts[2].data(), parts[2].size());
  try {
    TagFile tags(path.c_str());
    JVMFile jvm(tags);
    StringPairPtrDeque expected;
    jvm.getExpectedProperties(expected);
    bool matched = JVMFile::verifyJVMOutput(output, expected);
    SString reported = JVMFile::reportedProperties(output, expected);
    // Output that matched carried the magic line, so it was reported.
    if (matched && reported.empty())
      fuzz::Fail("output that matched reports nothing");
    VerificationRuns runs;
    runs.add("command", output, errors);
    SString again, againErrors;
    if (!runs.find("command", again, againErrors) || again != output ||
        againErrors != errors)
      fuzz::Fail("a recorded run is not found again");
    runs.setLast("/jvm/bin/java", output, errors, reported);
    (void)runs.describeLast();
    for (int i = 0; i < expected.count(); ++i) {
      int order = 0;
      (void)compareVersions(expected.at(i)->second, output, order);
    }
  } catch (const LauncherException&) {
  }
  return 0;
}
