#pragma once
// Where the release's other files are, given the manifest's address.
#include <string>

namespace liveupdate {

// Packages sit beside the manifest: its address without query or fragment, up to its last "/".
std::string DirectoryOf(const std::string& manifestUrl);

// The detached signature: the manifest's path + ".sig", with the manifest's query (a cache
// buster of the operator's) and without its fragment, which never reaches the server.
std::string SignatureUrlOf(const std::string& manifestUrl);

} // namespace liveupdate
