#include "program/database_password.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace qx::program {

PasswordChoice choose_password(const CommandLine& line, const char* environment) {
  PasswordChoice choice;
  if (!line.password_file.empty()) {
    std::ifstream file(line.password_file);
    if (!file) {
      choice.error =
          "Cannot read the password file " + line.password_file + ": " + std::strerror(errno);
      return choice;
    }
    std::getline(file, choice.password);
    if (choice.password.ends_with('\r')) choice.password.pop_back();
    return choice;
  }
  if (environment != nullptr) {
    choice.password = environment;
    return choice;
  }
  const std::string& argument = line.positional.at(1);
  if (argument != "-") choice.password = argument;
  return choice;
}

}  // namespace qx::program
