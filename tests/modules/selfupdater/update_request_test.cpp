// The self-updater's reading of the parameter string the launcher builds: a double quote, the
// source directory, "*", the program directory, no closing quote.
#include "modules/selfupdater/update_request.h"
#include "system/shell.h"

#include <gtest/gtest.h>

namespace {

using selfupdater::ParseUpdateRequest;

// The argv the self-updater receives for the launcher's two directories.
std::vector<std::string> ArgumentsFor(const std::string& source, const std::string& program) {
    return platform::SplitCommandLine("\"" + source + "*" + program);
}

TEST(UpdateRequestTest, ReadsBothDirectoriesAsTheLauncherPassesThem) {
    const std::pair<std::string, std::string> cases[] = {
        {"/home/p/My Games/zel/temp/pkg 1/", "/home/p/My Games/zel/"},
        {"/\xE6\xB8\xB8\xE6\x88\x8F/\xE4\xB8\xB4\xE6\x97\xB6/", "/\xE6\xB8\xB8 \xE6\x88\x8F/"},
        {"/a\\b\\/", "/c\\/"}, // backslashes are ordinary characters in these paths
    };
    for (const auto& [source, program] : cases) {
        std::string reason;
        const auto request = ParseUpdateRequest(ArgumentsFor(source, program), reason);
        ASSERT_TRUE(request) << source << " " << reason;
        EXPECT_EQ(request->sourceDir.native() + "/", source);
        EXPECT_EQ(request->programDir.native() + "/", program);
    }
    // Started without the runtime's splitting, the opening quote is still there.
    std::string reason;
    const auto raw = ParseUpdateRequest({"\"/src/*/prog"}, reason);
    ASSERT_TRUE(raw) << reason;
    EXPECT_EQ(raw->sourceDir, "/src");
    EXPECT_EQ(raw->programDir, "/prog");
}

TEST(UpdateRequestTest, RefusesAmbiguousOrIncompleteParameters) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"star in the source", ArgumentsFor("/a*b/", "/prog/")},
        {"star in the program directory", ArgumentsFor("/src/", "/pro*g/")},
        {"quote ends the group, the rest splits", ArgumentsFor("/my \"x dir/", "/prog/")},
        {"doubled quote inside the group", ArgumentsFor("/a\"\"b/", "/prog/")},
        {"no star", {"/src/prog/"}},
        {"no arguments", {}},
        {"relative source", ArgumentsFor("temp/pkg/", "/prog/")},
        {"empty program directory", ArgumentsFor("/src/", "")},
        {"same directory twice", ArgumentsFor("/prog/", "/prog")},
    };
    for (const auto& [what, args] : cases) {
        std::string reason;
        EXPECT_FALSE(ParseUpdateRequest(args, reason)) << what;
        EXPECT_FALSE(reason.empty()) << what;
    }
}

} // namespace
