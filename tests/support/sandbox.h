// A private place for one run of the program's profile and lock: a fresh temporary directory with a
// configuration directory that $XDG_CONFIG_HOME names and a runtime directory the lock goes in, removed
// again at the end. The unit tests, the fuzz targets and the benchmarks all set themselves up with it.
#pragma once

#include "platform/posix/kernel.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace test {

class Sandbox {
  public:
    // Under `parent` (a memory file system where the caller has one, else /tmp).
    explicit Sandbox(const std::filesystem::path &parent = "/tmp") {
        std::string templ = (parent / "scrwarpvue-sandbox-XXXXXX").string();
        if (!mkdtemp(templ.data())) return;
        dir_ = templ;
        std::error_code ec;
        std::filesystem::create_directories(config(), ec);
        std::filesystem::create_directories(dir_ / "run", ec);
        std::filesystem::permissions(dir_ / "run", std::filesystem::perms::owner_all, ec);
        setenv("XDG_CONFIG_HOME", config().c_str(), 1);
        posix::set_lock_places(dir_ / "run", dir_ / "home", dir_ / "tmp");
    }
    ~Sandbox() {
        if (dir_.empty()) return;
        std::error_code ec;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(dir_, ec);
    }
    Sandbox(const Sandbox &) = delete;
    Sandbox &operator=(const Sandbox &) = delete;

    bool ok() const { return !dir_.empty(); }
    const std::filesystem::path &dir() const { return dir_; }
    std::filesystem::path config() const { return dir_ / "config"; }
    std::filesystem::path profile() const { return config() / "SCRWARPVUE.ini"; }

  private:
    std::filesystem::path dir_;
};

} // namespace test
