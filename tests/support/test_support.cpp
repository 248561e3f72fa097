#include "tests/support/test_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testing_support {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zorv-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void write_file(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

namespace {

// Points `fd` at a fresh temporary file; returns the saved descriptor.
int redirect(FILE* stream, int fd, std::string& path) {
    std::fflush(stream);
    char name[] = "/tmp/zorv-capture-XXXXXX";
    const int file = mkstemp(name);
    if (file < 0) throw std::runtime_error("mkstemp failed");
    path = name;
    const int saved = dup(fd);
    dup2(file, fd);
    close(file);
    return saved;
}

std::string restore(FILE* stream, int fd, int saved, const std::string& path) {
    std::fflush(stream);
    dup2(saved, fd);
    close(saved);
    std::string text = read_file(path);
    std::remove(path.c_str());
    return text;
}

}  // namespace

StderrCapture::StderrCapture() {
    saved_fd_ = redirect(stderr, STDERR_FILENO, path_);
}
StderrCapture::~StderrCapture() {
    finish();
}
std::string StderrCapture::finish() {
    if (done_) return {};
    done_ = true;
    return restore(stderr, STDERR_FILENO, saved_fd_, path_);
}

StdoutCapture::StdoutCapture() {
    saved_fd_ = redirect(stdout, STDOUT_FILENO, path_);
}
StdoutCapture::~StdoutCapture() {
    finish();
}
std::string StdoutCapture::finish() {
    if (done_) return {};
    done_ = true;
    return restore(stdout, STDOUT_FILENO, saved_fd_, path_);
}

}  // namespace testing_support
