// Where a loader's database password comes from, so that it never has to
// stand on the command line where `ps` shows it: the first line of
// --password-file=PATH, else the environment's QX_PASSWORD, else the
// PASSWORD argument; "-" as the argument (with neither of the others)
// leaves the password to the database client (for PostgreSQL: PGPASSWORD,
// the password file, the service file).
#pragma once

#include <string>

#include "program/command_line.h"

namespace qx::program {

struct PasswordChoice {
  std::string password;  // empty: the client's own
  std::string error;     // a password file that cannot be read, for people
};

// `environment` is QX_PASSWORD's value, or nullptr when it is not set.
PasswordChoice choose_password(const CommandLine& line, const char* environment);

}  // namespace qx::program
