#include "modules/selfupdater/update_request.h"

#include <algorithm>

namespace selfupdater {

namespace {

std::optional<std::filesystem::path> AbsoluteDirectory(std::string text) {
    if (text.empty() || text.front() != '/')
        return std::nullopt;
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return std::filesystem::path(text);
}

} // namespace

std::optional<UpdateRequest> ParseUpdateRequest(const std::vector<std::string>& args,
                                                std::string& reason) {
    if (args.size() != 1) {
        reason = "expected one argument \"SOURCE/*PROGRAM/\", got " + std::to_string(args.size());
        return std::nullopt;
    }
    std::string_view text = args.front();
    if (text.starts_with('"'))
        text.remove_prefix(1);
    if (text.find('"') != std::string_view::npos) {
        reason = "a double quote inside a path makes the parameters ambiguous";
        return std::nullopt;
    }
    if (std::count(text.begin(), text.end(), '*') != 1) {
        reason = "expected exactly one \"*\" between the two directories";
        return std::nullopt;
    }
    const size_t star = text.find('*');
    const auto source = AbsoluteDirectory(std::string(text.substr(0, star)));
    const auto program = AbsoluteDirectory(std::string(text.substr(star + 1)));
    if (!source || !program) {
        reason = "both directories must be absolute paths";
        return std::nullopt;
    }
    if (*source == *program) {
        reason = "the source is the program directory itself";
        return std::nullopt;
    }
    return UpdateRequest{*source, *program};
}

} // namespace selfupdater
