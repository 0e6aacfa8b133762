#include "tests/server/rules.h"

#include <charconv>

namespace test_server {

namespace {

std::optional<std::uint64_t> ParseCount(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

std::optional<Rule> ParseAction(std::string_view action) {
    using Action = Rule::Action;
    const size_t colon = action.find(':');
    const std::string_view name = action.substr(0, colon);
    const std::string_view argument =
        colon == std::string_view::npos ? std::string_view() : action.substr(colon + 1);
    const bool hasArgument = colon != std::string_view::npos;
    Rule rule;
    if (name == "file" && !hasArgument)
        rule.action = Action::File;
    else if (name == "404" && !hasArgument)
        rule.action = Action::NotFound;
    else if (name == "stall" && !hasArgument)
        rule.action = Action::Stall;
    else if (name == "302" && !argument.empty())
        rule = {Action::Redirect, std::string(argument), 0};
    else if (name == "body" && hasArgument)
        rule = {Action::Body, std::string(argument), 0};
    else if ((name == "close" || name == "chunked") && ParseCount(argument))
        rule = {name == "close" ? Action::CloseAfter : Action::Chunked, "", *ParseCount(argument)};
    else
        return std::nullopt;
    return rule;
}

} // namespace

bool RuleBook::Apply(std::string_view line) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos || equals == 0 || line.front() != '/')
        return false;
    const std::optional<Rule> rule = ParseAction(line.substr(equals + 1));
    if (!rule)
        return false;
    const std::string path(line.substr(0, equals));
    const std::lock_guard lock(mutex_);
    if (rule->action == Rule::Action::File)
        rules_.erase(path);
    else
        rules_[path] = *rule;
    return true;
}

std::optional<Rule> RuleBook::Find(const std::string& path) const {
    const std::lock_guard lock(mutex_);
    const auto found = rules_.find(path);
    if (found == rules_.end())
        return std::nullopt;
    return found->second;
}

} // namespace test_server
