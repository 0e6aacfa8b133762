#include "tests/support/temp_dir.h"
#include "tests/support/test_server.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <stdexcept>

namespace {

using testing_support::TempDir;
using testing_support::TestServer;
using testing_support::WriteFile;

TEST(TestServerTest, UnknownRuleStopsTheStart) {
    TempDir root;
    EXPECT_THROW(TestServer(root.path(), {"/list.xml=teapot"}), std::runtime_error);
    EXPECT_THROW(TestServer(root.path(), {"list.xml=404"}), std::runtime_error);
    EXPECT_THROW(TestServer(root.path(), {"/list.xml=close:ten"}), std::runtime_error);
}

TEST(TestServerTest, ControlChangesRulesAndRefusesUnknownOnes) {
    TempDir root;
    WriteFile(root / "list.xml", "<list/>");
    const TestServer server(root.path(), {"/list.xml=404"});
    httplib::Client client("127.0.0.1", server.port());

    EXPECT_FALSE(server.SetRules({"/list.xml=teapot"}));
    const httplib::Result refused = client.Get("/list.xml");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 404);

    EXPECT_TRUE(server.SetRules({"/list.xml=file"}));
    const httplib::Result served = client.Get("/list.xml");
    ASSERT_TRUE(served);
    EXPECT_EQ(served->status, 200);
    EXPECT_EQ(served->body, "<list/>");
}

TEST(TestServerTest, RangeOfAStaticFileIsAnsweredAndLogged) {
    TempDir root;
    WriteFile(root / "package.upd", "0123456789");
    const TestServer server(root.path());
    httplib::Client client("127.0.0.1", server.port());

    const httplib::Result answer = client.Get("/package.upd", {{"Range", "bytes=6-"}});

    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 206);
    EXPECT_EQ(answer->body, "6789");
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].path, "/package.upd");
    EXPECT_EQ(requests[0].range, "bytes=6-");
}

} // namespace
