// Helpers shared by the tests: a temporary folder laid out like a program folder.
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <exception>

#include <cstdio>
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

// A UTF-8 file's text in another charset, made by iconv.
inline std::string IconvFile(const std::string& path, const std::string& charset) {
    if (charset == "UTF-8") return ReadFile(path);
    std::string out;
    FILE* p = ::popen(("iconv -f UTF-8 -t " + charset + "//TRANSLIT '" + path + "'").c_str(), "r");
    if (!p) return out;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
    return out;
}

inline std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int c : b) s += char(c);
    return s;
}

// Runs fn in a child process whose files may grow to at most limit bytes, as on a
// full disk. Returns the message of what fn raised, "" when it raised nothing, or
// "died" when the child did not end normally.
template <class F>
std::string ErrorUnderFileSizeLimit(rlim_t limit, F fn) {
    int fds[2];
    if (::pipe(fds) != 0) return "no pipe";
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit rl {
            limit, limit
        };
        ::setrlimit(RLIMIT_FSIZE, &rl);
        std::string msg;
        try {
            fn();
        } catch (const std::exception& e) {
            msg = e.what();
        }
        if (::write(fds[1], msg.data(), msg.size()) < 0) ::_exit(1);
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string msg;
    char buf[512];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0) msg.append(buf, size_t(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "died";
    return msg;
}
