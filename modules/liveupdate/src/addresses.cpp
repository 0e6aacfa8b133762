#include "addresses.h"

namespace liveupdate {

std::string DirectoryOf(const std::string& manifestUrl) {
    const std::string path = manifestUrl.substr(0, manifestUrl.find_first_of("?#"));
    const size_t scheme = path.find("://");
    const size_t hostStart = scheme == std::string::npos ? 0 : scheme + 3;
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash < hostStart)
        return path + "/";
    return path.substr(0, slash + 1);
}

std::string SignatureUrlOf(const std::string& manifestUrl) {
    const std::string withoutFragment = manifestUrl.substr(0, manifestUrl.find('#'));
    const size_t query = withoutFragment.find('?');
    if (query == std::string::npos)
        return withoutFragment + ".sig";
    return withoutFragment.substr(0, query) + ".sig" + withoutFragment.substr(query);
}

} // namespace liveupdate
