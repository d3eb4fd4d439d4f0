// A PostgreSQL server that does not answer is noticed in bounded time and
// taken as a lost connection: a session whose server process is stopped
// in the middle of a file (met by the commit, or by rows being copied),
// and a connect to a port that accepts and never answers.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "backend_database.h"
#include "db/make_session.h"

namespace qx::db {
namespace {

using Clock = std::chrono::steady_clock;
using testing::Backend;
using testing::BackendDatabase;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(BoundedWait, AServerStoppedInTheMiddleOfAFileIsALostConnectionAfterTheAnswerTimeout) {
  BackendDatabase database(Backend::postgres);
  database.run("CREATE TABLE t (k integer)");
  Target target = database.target();
  target.answer_timeout = std::chrono::seconds(2);
  for (const bool copy : {false, true}) {
    SCOPED_TRACE(copy ? "copy" : "commit");
    auto session = make_session(target);
    ASSERT_TRUE(session->connect().ok());
    std::int64_t server_process = 0;
    ASSERT_TRUE(session->query_integer("select pg_backend_pid()", {}, server_process).ok());
    // Nothing waits to be sent ahead of the copy, which meets the stop itself.
    if (!copy) {
      ASSERT_TRUE(session->execute("insert into t values (1)", {}).ok());
    }
    CopyRows rows;
    rows.add(Bind::integer(2));
    rows.end_row();

    // Only this session's server process stops: the server answers others.
    ASSERT_EQ(::kill(static_cast<pid_t>(server_process), SIGSTOP), 0);
    const auto start = Clock::now();
    Status met = copy ? session->copy_rows("t (k)", rows) : session->commit();
    const double waited = seconds_since(start);
    ::kill(static_cast<pid_t>(server_process), SIGCONT);
    ::kill(static_cast<pid_t>(server_process), SIGTERM);

    EXPECT_EQ(met.code, kNotConnected) << met.message;
    EXPECT_FALSE(session->connected());
    EXPECT_GE(waited, 1.5);
    EXPECT_LT(waited, 10.0);
    std::printf("stopped server noticed after %.1f s (answer timeout 2 s)\n", waited);
  }
}

TEST(BoundedWait, AConnectToAServerThatNeverAnswersGivesUpAfterTheConnectTimeout) {
  // A socket that listens but never accepts: the kernel completes the
  // handshake, and nothing ever answers the login.
  int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  socklen_t length = sizeof address;
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);

  Target target = parse_target(
      "qx@postgresql://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/x", "");
  target.connect_timeout = std::chrono::seconds(2);
  auto session = make_session(target);
  const auto start = Clock::now();
  Status connected = session->connect();
  const double waited = seconds_since(start);
  ::close(listener);

  EXPECT_EQ(connected.code, kNotConnected);
  // libpq counts the timeout in whole seconds of the clock: it ends
  // between one and two seconds on.
  EXPECT_GE(waited, 0.99);
  EXPECT_LT(waited, 10.0);
  EXPECT_NE(session->connect_failure_detail().find("127.0.0.1"), std::string::npos)
      << session->connect_failure_detail();

  // Refused now that nobody listens: libpq's hint comes on a line of its
  // own, indented with a tab, and is printed on the one line.
  auto refused = make_session(target);
  EXPECT_EQ(refused->connect().code, kNotConnected);
  const std::string detail = refused->connect_failure_detail();
  EXPECT_NE(detail.find("refused"), std::string::npos) << detail;
  EXPECT_EQ(detail.find_first_of("\t\r\n"), std::string::npos) << detail;
  EXPECT_EQ(detail.find("  "), std::string::npos) << detail;
}

}  // namespace
}  // namespace qx::db
