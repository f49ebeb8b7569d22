#pragma once
// The databases of the data-access tests (tests/support/data_sources.sh): under ctest the
// fixture has set them up in WENDREL_TEST_DATA_SOURCES or the build's FIXTURE_DATA_SOURCES_DIR;
// a test binary run by hand sets up its own and tears it down at exit. Each test process gets databases of its
// own: a SQLite file in a folder of its own, a PostgreSQL schema named after its process.

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/system/code_page.h"

class TestDataSources {
 public:
  static TestDataSources& Get() {
    static TestDataSources sources;
    return sources;
  }

  /// An ADO connection string for a new database of this process, or empty with the reason in
  /// `skip` when the side is not available. `side` is "sqlite" or "postgres".
  std::u16string ConnectionString(const std::string& side, std::string* skip) {
    ++serial_;
    if (side == "sqlite") {
      if (values_.count("SQLITE_SKIP")) return Skip(values_["SQLITE_SKIP"], skip);
      std::string file = private_folder_ + "/db" + std::to_string(serial_) + ".db";
      return BytesToText("Provider=SQLite;Data Source=" + file, CP_UTF8);
    }
    if (values_.count("POSTGRES_SKIP")) return Skip(values_["POSTGRES_SKIP"], skip);
    if (!values_.count("POSTGRES")) return Skip("no PostgreSQL cluster was set up", skip);
    std::string schema = "t" + std::to_string(getpid()) + "_" + std::to_string(serial_);
    return BytesToText(values_["POSTGRES"] + ";ConnSettings={CREATE SCHEMA IF NOT EXISTS " +
                           schema + "; SET search_path TO " + schema + "}",
                       CP_UTF8);
  }
  const std::string& folder() const { return folder_; }
  const std::string& private_folder() const { return private_folder_; }

 private:
  TestDataSources() {
    const char* given = getenv("WENDREL_TEST_DATA_SOURCES");
    if (given == nullptr || given[0] == '\0') given = FIXTURE_DATA_SOURCES_DIR;
    if (std::filesystem::exists(std::string(given) + "/sources.env")) {
      folder_ = given;
    } else {
      std::string pattern = (std::filesystem::temp_directory_path() / "data-sources-XXXXXX").string();
      folder_ = mkdtemp(pattern.data());
      owned_ = true;
      std::string command = std::string(DATA_SOURCES_SCRIPT) + " setup " + folder_ + " >/dev/null";
      if (std::system(command.c_str()) != 0) std::fprintf(stderr, "data_sources.sh setup failed\n");
    }
    setenv("ODBCSYSINI", folder_.c_str(), 1);
    setenv("ODBCINI", (folder_ + "/odbc.ini").c_str(), 1);
    std::ifstream env(folder_ + "/sources.env");
    for (std::string line; std::getline(env, line);) {
      size_t equals = line.find('=');
      if (equals != std::string::npos) values_[line.substr(0, equals)] = line.substr(equals + 1);
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "ado-test-XXXXXX").string();
    private_folder_ = mkdtemp(pattern.data());
  }
  ~TestDataSources() {
    std::error_code ignored;
    std::filesystem::remove_all(private_folder_, ignored);
    if (!owned_) return;
    std::string command = std::string(DATA_SOURCES_SCRIPT) + " teardown " + folder_;
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "data_sources.sh teardown failed\n");
  }

  static std::u16string Skip(const std::string& reason, std::string* skip) {
    *skip = reason;
    return {};
  }

  std::string folder_;
  std::string private_folder_;
  bool owned_ = false;
  int serial_ = 0;
  std::map<std::string, std::string> values_;
};
