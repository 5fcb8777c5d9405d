// The tag-file reader on any text: it reads the text or rejects it with a
// LauncherException, and what it read is written back and read again to
// the same tags and values. A byte range of the text is read as well, as
// the payload's embedded tag files are.
#include <cstdio>
#include <string>

#include "FuzzSupport.h"
#include "core/LauncherException.h"
#include "core/TextHelpers.h"
#include "tagfile/TagFile.h"

namespace {

// The tags that have values, in file order, as the writer keeps them.
std::string Describe(const TagFile& tags) {
  std::string text;
  const TagFileEntryPtrDeque& entries = tags.getEntries();
  for (int i = 0; i < entries.count(); ++i) {
    const StringDeque* values = entries.at(i)->getValues();
    if (values->empty()) continue;
    const SString& name = entries.at(i)->getName();
    text += std::to_string(name.length()) + ":";
    text.append(name.c_str(), name.length());
    for (int v = 0; v < values->count(); ++v) {
      const SString& value = values->at(v);
      text += " " + std::to_string(value.length()) + ":";
      text.append(value.c_str(), value.length());
    }
    text += "\n";
  }
  return text;
}

bool Load(TagFile& tags, FILE* stream, long start, long length) {
  try {
    tags.load(stream, "fuzz.tag", start, length);
    return true;
  } catch (const LauncherException&) {
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_enableOutput = false;
  const std::string path = fuzz::ScratchPath("input.tag");
  fuzz::WriteFile(path, std::string(reinterpret_cast<const char*>(data), size));
  FILE* stream = std::fopen(path.c_str(), "rb");
  if (!stream) fuzz::Fail("cannot reopen the input");

  TagFile tags;
  if (Load(tags, stream, 0, -1)) {
    const std::string first = Describe(tags);
    const std::string copy = fuzz::ScratchPath("copy.tag");
    tags.write(copy.c_str());
    try {
      TagFile reread(copy.c_str());
      if (Describe(reread) != first)
        fuzz::Fail("a tag file written back reads differently");
    } catch (const LauncherException&) {
      fuzz::Fail("a tag file written back no longer reads");
    }
    // The accessors on what was read.
    const TagFileEntryPtrDeque& entries = tags.getEntries();
    for (int i = 0; i < entries.count(); ++i) {
      const char* name = entries.at(i)->getName().c_str();
      unsigned count = tags.getTagValueCount(name);
      (void)tags.getTagValue(name, count);
      (void)tags.getBoolTagValue(name, true);
    }
  }

  // A range inside the text, as an embedded file is read.
  long start = static_cast<long>(size / 3);
  long length = static_cast<long>(size / 3);
  TagFile part;
  Load(part, stream, start, length);
  std::fclose(stream);
  return 0;
}
