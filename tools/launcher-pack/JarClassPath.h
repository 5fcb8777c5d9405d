// The "Class-Path" of a jar's manifest: the other jars and directories
// that the Java runtime loads with it, relative to the jar's own
// directory unless absolute.
#ifndef TOOLS_LAUNCHER_PACK_JARCLASSPATH_H
#define TOOLS_LAUNCHER_PACK_JARCLASSPATH_H

#include <string>
#include <vector>

// Reads the entries of the Class-Path attribute of the main section of
// META-INF/MANIFEST.MF in the zip archive at path, as written (URLs).
// False when the file is no zip archive that can be read or has no
// manifest; entries is then empty.
bool readJarClassPath(const std::string& path,
                      std::vector<std::string>& entries);

// The entries of a Class-Path attribute in the text of a manifest.
std::vector<std::string> classPathOfManifest(const std::string& manifest);

#endif
