#include "tests/server/rules.h"

#include <charconv>
#include <vector>

namespace test_server {

namespace {

std::optional<std::uint64_t> ParseCount(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// "N:M:T[:B]": the numbers of a drip, the piece and the interval above 0.
std::optional<Rule> ParseDrip(std::string_view argument) {
    std::vector<std::uint64_t> numbers;
    for (size_t field = 0; field != std::string_view::npos;) {
        const size_t colon = argument.find(':', field);
        const auto number = ParseCount(argument.substr(
            field, colon == std::string_view::npos ? std::string_view::npos : colon - field));
        if (!number)
            return std::nullopt;
        numbers.push_back(*number);
        field = colon == std::string_view::npos ? colon : colon + 1;
    }
    if (numbers.size() < 3 || numbers.size() > 4 || numbers[0] == 0 || numbers[1] == 0)
        return std::nullopt;
    Rule rule;
    rule.action = Rule::Action::Drip;
    rule.piece = numbers[0];
    rule.intervalMs = numbers[1];
    rule.count = numbers[2];
    rule.burst = numbers.size() == 4 ? numbers[3] : 0;
    return rule;
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
    else if (name == "206" && ParseCount(argument))
        rule = {Action::PartialFrom, "", *ParseCount(argument)};
    else if ((name == "gzip" || name == "deflate") && !hasArgument)
        rule.action = name == "gzip" ? Action::Gzip : Action::Deflate;
    else if (name == "echo" && !argument.empty())
        rule = {Action::Echo, std::string(argument), 0};
    else if (name == "drip" && hasArgument)
        return ParseDrip(argument);
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
