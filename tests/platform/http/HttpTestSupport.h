#pragma once
// What the HTTP tests share: waiting for an answer, and TLS servers of their own.

#include "dispatch/Dispatch.h"
#include "http/Session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

inline http::Bytes bytes(const std::string& text) { return http::Bytes(text.begin(), text.end()); }

// The request's response, once it has come (within the time given).
inline std::optional<http::DataResponse> await(const std::shared_ptr<http::DataRequest>& request,
                                               std::chrono::milliseconds within = std::chrono::seconds(10)) {
    std::optional<http::DataResponse> result;
    request->responseData([&](const http::DataResponse& response) { result = response; });
    dispatch::runMainUntil([&] { return result.has_value(); }, within);
    return result;
}

// A server started by a shell command in the test's network namespace, with a
// certificate for `host` made for it and the session's hooks pointed at it; stopped
// when the object goes. The command runs in a folder of its own, where it finds
// cert.pem and key.pem and may leave files for the test (path()).

class TlsServer {
public:
    TlsServer(const std::string& host, int port, const std::string& command)
        : dir_(std::filesystem::temp_directory_path() / ("tls-server-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(dir_);
        const std::string d = dir_.string();
        const std::string script =
            "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 -subj /CN=" + host +
            " -addext subjectAltName=DNS:" + host + " -keyout " + d + "/key.pem -out " + d + "/cert.pem 2>/dev/null && "
            "cd " + d + " && ((" + command + ") > /dev/null 2>&1 & echo $! > pid) && "
            "for i in $(seq 50); do python3 -c 'import socket; socket.create_connection((\"127.0.0.1\", " +
            std::to_string(port) + "))' 2>/dev/null && exit 0; sleep 0.1; done; exit 1";
        started_ = std::system(script.c_str()) == 0;
        http::setResolveOverrides({host + ":" + std::to_string(port) + ":127.0.0.1"});
        http::setCertificateAuthorityBundle(d + "/cert.pem");
    }
    ~TlsServer() {
        http::setResolveOverrides({});
        http::setCertificateAuthorityBundle("");
        int pid = 0;
        std::ifstream(dir_ / "pid") >> pid;
        if (pid > 0) (void)!std::system(("pkill -P " + std::to_string(pid) + "; kill " + std::to_string(pid)).c_str());
        std::filesystem::remove_all(dir_);
    }
    bool started() const { return started_; }
    std::filesystem::path path(const std::string& name) const { return dir_ / name; }

private:
    std::filesystem::path dir_;
    bool started_ = false;
};

// Lines of the file at `path` that are exactly `line` (a test server's log).
inline std::size_t countLines(const std::filesystem::path& path, const std::string& line) {
    std::ifstream file(path);
    std::size_t found = 0;
    for (std::string text; std::getline(file, text);) found += text == line;
    return found;
}

// Requests made by `make` one after another for `length`, `perTick` every `tick`;
// runs until all have ended and gives their responses.
inline std::vector<http::DataResponse> steadyRequests(const std::function<std::shared_ptr<http::DataRequest>()>& make,
                                                      std::chrono::milliseconds length,
                                                      std::chrono::milliseconds tick, int perTick) {
    auto responses = std::make_shared<std::vector<http::DataResponse>>();
    std::size_t sent = 0;
    for (const auto end = std::chrono::steady_clock::now() + length; std::chrono::steady_clock::now() < end;) {
        for (int i = 0; i < perTick; ++i, ++sent)
            make()->responseData([responses](const http::DataResponse& r) { responses->push_back(r); });
        dispatch::runMainFor(tick);
    }
    dispatch::runMainUntil([&] { return responses->size() == sent; }, std::chrono::seconds(10));
    EXPECT_EQ(responses->size(), sent);
    return *responses;
}
