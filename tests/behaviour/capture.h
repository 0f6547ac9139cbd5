// Captures what the process writes to its standard output (printf and
// std::cout alike) between construction and Text(). Leaves no file behind:
// natively the capture is a nameless temporary file, on Windows a file in the
// temporary folder that is removed again, whether or not Text() was called.
// (Under Wine that folder lies in the run's own prefix: test programs in
// parallel prefixes may share a process id, never a temporary folder.)
#pragma once

#include <fcntl.h>

#include <cstdio>
#include <cstdlib>
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
#ifdef _WIN32
        const char *temp = std::getenv("TEMP");
        path_ = (temp != nullptr && *temp != '\0' ? std::string(temp) + "\\" : std::string()) +
                "zorenc_stdout_" + std::to_string(static_cast<long>(getpid())) + ".txt";
        const int fd = _open(path_.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, 0600);
        saved_ = _dup(1);
        _dup2(fd, 1);
        _close(fd);
#else
        file_ = std::tmpfile();
        if (file_ != nullptr) {
            saved_ = dup(1);
            dup2(fileno(file_), 1);
        }
#endif
    }
    ~StdoutCapture()
    {
        Restore();
        Discard();
    }
    StdoutCapture(const StdoutCapture &) = delete;
    StdoutCapture &operator=(const StdoutCapture &) = delete;

    std::string Text()
    {
        Restore();
        std::stringstream s;
#ifdef _WIN32
        std::ifstream in(path_, std::ios::binary);
        s << in.rdbuf();
#else
        if (file_ != nullptr) {
            std::rewind(file_);
            char block[4096];
            size_t n;
            while ((n = std::fread(block, 1, sizeof block, file_)) > 0) {
                s.write(block, static_cast<std::streamsize>(n));
            }
        }
#endif
        Discard();
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
    void Discard()
    {
#ifdef _WIN32
        if (!path_.empty()) {
            std::remove(path_.c_str());
            path_.clear();
        }
#else
        if (file_ != nullptr) {
            std::fclose(file_);
            file_ = nullptr;
        }
#endif
    }

#ifdef _WIN32
    std::string path_;
#else
    std::FILE *file_ = nullptr;
#endif
    int saved_ = -1;
};
