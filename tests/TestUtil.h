// Helpers shared by the tests: a temporary folder laid out like a program folder.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

class TempDir {
  public:
    TempDir() {
        char tmpl[] = "/tmp/tavisto-test-XXXXXX";
        char* p = ::mkdtemp(tmpl);
        if (!p) std::abort();
        path_ = std::string(p) + "/";
    }
    ~TempDir() {
        std::string cmd = "chmod -R u+rwx '" + path_ + "' 2>/dev/null; rm -rf '" + path_ + "'";
        if (std::system(cmd.c_str()) != 0) {
        }
    }
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }
    // A program folder: MyBooks/, Templates/ and TEMP/.
    void MakeProgramFolder() const {
        ::mkdir((path_ + "MyBooks").c_str(), 0755);
        ::mkdir((path_ + "Templates").c_str(), 0755);
        ::mkdir((path_ + "TEMP").c_str(), 0755);
    }

  private:
    std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << data;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

inline std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int c : b) s += char(c);
    return s;
}
