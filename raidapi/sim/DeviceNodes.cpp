#include "DeviceNodes.h"

#include <cstring>

namespace halvsim {

std::string Node::Path() const {
  if (kind == Kind::kMimd) return kMimdNode;
  return std::string("/dev/sd") + letter;
}

bool IsSimulatedPath(const char *path) {
  if (!path) return false;
  if (std::strcmp(path, kMimdNode) == 0) return true;
  return std::strncmp(path, "/dev/sd", 7) == 0 && path[7] >= 'a' &&
         path[7] <= 'z' && path[8] == '\0';
}

std::vector<size_t> AdaptersOn(const Scenario &sc, int interface) {
  std::vector<size_t> out;
  for (size_t i = 0; i < sc.adapters.size(); ++i)
    if (sc.adapters[i].interface == interface) out.push_back(i);
  return out;
}

bool ResolveNode(const Scenario &sc, const char *path, Node *out) {
  if (std::strcmp(path, kMimdNode) == 0) {
    bool present = sc.node == "present" ||
                   (sc.node == "auto" && !AdaptersOn(sc, 1).empty());
    if (!present) return false;
    *out = Node();
    return true;
  }
  char want = path[7];
  std::vector<size_t> adapters = AdaptersOn(sc, 2);
  size_t next = 0, used = 0;  // adapter, letters it has taken
  for (char letter = 'a'; letter <= want; ++letter) {
    Node node;
    node.letter = letter;
    if (sc.foreign_disks.find(letter) != std::string::npos) {
      node.kind = Node::Kind::kForeignDisk;
    } else {
      if (next >= adapters.size()) return false;
      node.kind = Node::Kind::kDisk;
      node.adapter = static_cast<int>(adapters[next]);
      size_t drives = sc.adapters[adapters[next]].drives.size();
      if (++used >= (drives ? drives : 1)) {
        ++next;
        used = 0;
      }
    }
    if (letter == want) {
      *out = node;
      return true;
    }
  }
  return false;
}

}  // namespace halvsim
