#include "tests/support/GbkText.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <stdexcept>

namespace testsupport {

namespace {

std::string RunIconv(const std::string& utf8) {
    char path[] = "/tmp/velmor-gbk-XXXXXX";
    int descriptor = mkstemp(path);
    if (descriptor < 0) throw std::runtime_error("cannot make a file for iconv");
    bool written = write(descriptor, utf8.data(), utf8.size()) == static_cast<ssize_t>(utf8.size());
    close(descriptor);
    std::string output;
    std::string command = "iconv -f UTF-8 -t GBK " + std::string(path) + " 2>/dev/null";
    FILE* pipe = written ? popen(command.c_str(), "r") : nullptr;
    int status = -1;
    if (pipe) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
        status = pclose(pipe);
    }
    unlink(path);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("iconv cannot write in GBK: " + utf8);
    return output;
}

}  // namespace

std::string Gbk(const std::string& utf8) {
    // Fixtures ask for the same names again and again; one iconv run each is enough.
    static std::mutex mutex;
    static std::map<std::string, std::string> converted;
    std::lock_guard<std::mutex> lock(mutex);
    auto found = converted.find(utf8);
    if (found == converted.end()) found = converted.emplace(utf8, RunIconv(utf8)).first;
    return found->second;
}

}  // namespace testsupport
