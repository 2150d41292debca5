// A private folder below the system's temporary folder, made fresh for each object and removed
// with everything in it. Works on POSIX systems and on Windows.
#pragma once

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

class TempDir {
  public:
    // prefix names the folder ("skyvane-" + prefix + "-" + random letters), for finding leftovers.
    explicit TempDir(const std::string& prefix = "test") {
        std::error_code ec;
        const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
        if (ec) {
            return;
        }
        std::random_device device;
        std::mt19937_64 random(device() ^
                               static_cast<unsigned long long>(
                                   std::chrono::steady_clock::now().time_since_epoch().count()));
        const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = "skyvane-" + prefix + "-";
            for (int i = 0; i < 8; ++i) {
                name += letters[random() % (sizeof letters - 1)];
            }
            const std::filesystem::path candidate = base / name;
            // create_directory is false, without an error, when the name is taken.
            if (std::filesystem::create_directory(candidate, ec) && !ec) {
                std::filesystem::permissions(candidate, std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::replace, ec);
                m_path = candidate.string();
                return;
            }
        }
    }
    ~TempDir() {
        std::error_code ignored;
        if (!m_path.empty()) {
            std::filesystem::remove_all(m_path, ignored);
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // "" when no folder could be made; tests check Ok() (or Path()) before using it.
    bool Ok() const { return !m_path.empty(); }
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const {
        return (std::filesystem::path(m_path) / name).string();
    }

  private:
    std::string m_path;
};
