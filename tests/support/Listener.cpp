#include "Listener.h"
#include <chrono>
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using NativeSocket = SOCKET;
constexpr NativeSocket noSocket = INVALID_SOCKET;
#define closeNative closesocket
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
using NativeSocket = int;
constexpr NativeSocket noSocket = -1;
#define closeNative close
#endif

namespace {

void startSocketsOnce() {
#ifdef _WIN32
    static bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
#endif
}

NativeSocket nativeOf(long long socket) {
    return static_cast<NativeSocket>(socket);
}

} // namespace

TestListener::TestListener(int port) {
    startSocketsOnce();
    open(port);
}

TestListener::~TestListener() {
    stop();
}

std::string TestListener::target() const {
    return "127.0.0.1:" + std::to_string(port_);
}

bool TestListener::open(int port) {
    NativeSocket listener = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listener == noSocket)
        return false;
    int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<unsigned short>(port));
    socklen_t length = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 16) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closeNative(listener);
        return false;
    }
    port_ = ntohs(address.sin_port);
    listener_ = static_cast<long long>(listener);
    running_ = true;
    thread_ = std::thread([this] { serve(); });
    return true;
}

// One thread: select with a short time-out over the listening socket and, while
// reading, every connection.
void TestListener::serve() {
    char chunk[65536];
    // Kept across turns: an idle listener allocates nothing, so that tests may count
    // the allocations of the code they exercise.
    std::vector<long long> sockets;
    while (running_) {
        fd_set readable;
        FD_ZERO(&readable);
        NativeSocket highest = nativeOf(listener_);
        FD_SET(nativeOf(listener_), &readable);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            sockets = sockets_;
        }
        if (reading_) {
            for (long long socket : sockets) {
                if (socket == -1)
                    continue;
                FD_SET(nativeOf(socket), &readable);
                if (nativeOf(socket) > highest)
                    highest = nativeOf(socket);
            }
        }
        if (hangUp_) {
            hangUpNow(chunk, sizeof chunk);
            hangUp_ = false;
            continue;
        }
        timeval wait{0, 10000};
        if (select(static_cast<int>(highest + 1), &readable, nullptr, nullptr, &wait) <= 0)
            continue;
        if (FD_ISSET(nativeOf(listener_), &readable)) {
            NativeSocket accepted = accept(nativeOf(listener_), nullptr, nullptr);
            if (accepted != noSocket) {
                std::lock_guard<std::mutex> lock(mutex_);
                if (!greeting_.empty())
                    send(accepted, greeting_.data(), static_cast<int>(greeting_.size()), 0);
                sockets_.push_back(static_cast<long long>(accepted));
                data_.emplace_back();
            }
        }
        if (!reading_)
            continue;
        for (size_t i = 0; i < sockets.size(); ++i) {
            if (sockets[i] == -1 || !FD_ISSET(nativeOf(sockets[i]), &readable))
                continue;
            int got = recv(nativeOf(sockets[i]), chunk, sizeof chunk, 0);
            std::lock_guard<std::mutex> lock(mutex_);
            if (got > 0) {
                data_[i].append(chunk, static_cast<size_t>(got));
            } else {
                closeNative(nativeOf(sockets_[i]));
                sockets_[i] = -1; // the peer closed: keep its data, stop watching
                ++ended_;
            }
        }
    }
}

void TestListener::hangUpNow(char* chunk, size_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < sockets_.size(); ++i) {
        NativeSocket socket = nativeOf(sockets_[i]);
        if (sockets_[i] == -1)
            continue;
        for (;;) { // what the system holds for it now
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(socket, &readable);
            timeval none{0, 0};
            if (select(static_cast<int>(socket + 1), &readable, nullptr, nullptr, &none) <= 0)
                break;
            int got = recv(socket, chunk, static_cast<int>(size), 0);
            if (got <= 0)
                break;
            data_[i].append(chunk, static_cast<size_t>(got));
        }
        closeNative(socket);
        sockets_[i] = -1;
        ++ended_;
    }
}

void TestListener::hangUp() {
    hangUp_ = true;
    while (hangUp_ && running_)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void TestListener::setGreeting(const std::string& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    greeting_ = bytes;
}

int TestListener::ended() {
    std::lock_guard<std::mutex> lock(mutex_);
    return ended_;
}

std::vector<std::string> TestListener::connections() {
    std::lock_guard<std::mutex> lock(mutex_);
    return data_;
}

std::string TestListener::received() {
    std::string all;
    for (const std::string& one : connections())
        all += one;
    return all;
}

bool TestListener::waitFor(const std::function<bool(const std::vector<std::string>&)>& condition,
                           int milliseconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (condition(connections()))
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void TestListener::stop() {
    running_ = false;
    if (thread_.joinable())
        thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    for (long long& socket : sockets_) {
        if (socket != -1)
            closeNative(nativeOf(socket));
        socket = -1;
    }
    if (listener_ != -1)
        closeNative(nativeOf(listener_));
    listener_ = -1;
}

bool TestListener::restart() {
    stop();
    return open(port_);
}
