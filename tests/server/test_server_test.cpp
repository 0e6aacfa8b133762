#include "tests/support/temp_dir.h"
#include "tests/support/test_server.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <stdexcept>

namespace {

using testing_support::TempDir;
using testing_support::TestServer;
using testing_support::WriteFile;

// A mistyped rule must fail the test that wrote it, not serve the file and let the test pass.
TEST(TestServerTest, UnknownRulesAreRefusedAtStartAndWhileRunning) {
    TempDir root;
    WriteFile(root / "list.xml", "<list/>");
    EXPECT_THROW(TestServer(root.path(), {"/list.xml=teapot"}), std::runtime_error);
    EXPECT_THROW(TestServer(root.path(), {"list.xml=404"}), std::runtime_error);
    EXPECT_THROW(TestServer(root.path(), {"/list.xml=close:ten"}), std::runtime_error);

    const TestServer server(root.path(), {"/list.xml=404"});
    httplib::Client client("127.0.0.1", server.port());
    EXPECT_FALSE(server.SetRules({"/list.xml=teapot"}));
    const httplib::Result refused = client.Get("/list.xml");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 404);

    EXPECT_TRUE(server.SetRules({"/list.xml=file"}));
    const httplib::Result served = client.Get("/list.xml");
    ASSERT_TRUE(served);
    EXPECT_EQ(served->body, "<list/>");
}

} // namespace
