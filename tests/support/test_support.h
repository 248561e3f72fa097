// Helpers shared by the tests.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

void write_file(const std::string& path, const std::string& contents);
std::string read_file(const std::string& path);

// Everything that was written to standard error while the capture lived.
class StderrCapture {
  public:
    StderrCapture();
    ~StderrCapture();
    std::string finish();  // stops capturing and returns the text

  private:
    int saved_fd_ = -1;
    std::string path_;
    bool done_ = false;
};

// Same for standard output.
class StdoutCapture {
  public:
    StdoutCapture();
    ~StdoutCapture();
    std::string finish();

  private:
    int saved_fd_ = -1;
    std::string path_;
    bool done_ = false;
};

}  // namespace testing_support
