// Captures what the process writes to its standard output (printf and
// std::cout alike) between construction and Text().
#pragma once

#include <fcntl.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

class StdoutCapture {
public:
    StdoutCapture()
    {
        Flush();
        path_ = "zorenc_stdout_" + std::to_string(static_cast<long>(getpid())) + ".txt";
#ifdef _WIN32
        const int fd = _open(path_.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, 0600);
        saved_ = _dup(1);
        _dup2(fd, 1);
        _close(fd);
#else
        path_ = "/tmp/" + path_;
        const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        saved_ = dup(1);
        dup2(fd, 1);
        close(fd);
#endif
    }
    ~StdoutCapture()
    {
        Restore();
    }

    std::string Text()
    {
        Restore();
        std::ifstream in(path_, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        in.close();
        std::remove(path_.c_str());
        return s.str();
    }

private:
    static void Flush()
    {
        std::cout.flush();
        std::fflush(stdout);
    }
    void Restore()
    {
        if (saved_ < 0) {
            return;
        }
        Flush();
#ifdef _WIN32
        _dup2(saved_, 1);
        _close(saved_);
#else
        dup2(saved_, 1);
        close(saved_);
#endif
        saved_ = -1;
    }

    std::string path_;
    int saved_ = -1;
};
