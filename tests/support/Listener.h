// A small TCP listener on 127.0.0.1 that stands in for the log collector: it accepts
// every connection and keeps, per connection, the bytes received. Reading can be held
// back to play a collector that accepts and never reads; stop and start again play one
// that is killed and restarted; a greeting plays one that writes to the connection.
#pragma once
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TestListener {
  public:
    // Listens on port (0: a free port the system picks).
    explicit TestListener(int port = 0);
    ~TestListener();
    TestListener(const TestListener&) = delete;
    TestListener& operator=(const TestListener&) = delete;

    bool listening() const { return port_ != 0; }
    int port() const { return port_; }
    // "127.0.0.1:<port>"
    std::string target() const;

    // While false, accepted connections are left unread (their data waits in the system).
    void setReading(bool reading) { reading_ = reading; }
    // Bytes sent to every connection as it is accepted, as a collector that talks back.
    void setGreeting(const std::string& bytes);
    // How many connections the peer has ended (closed or reset).
    int ended();

    // The bytes received on each connection, in the order they were accepted.
    std::vector<std::string> connections();
    // Everything received, all connections in order.
    std::string received();
    // Waits up to milliseconds for the condition on connections(); true when it held.
    bool waitFor(const std::function<bool(const std::vector<std::string>&)>& condition,
                 int milliseconds = 10000);

    // Reads what every connection holds now, then closes each in order, as a collector
    // that has read everything and hangs up; it goes on listening. Returns once done.
    void hangUp();

    // Closes every connection and the listening socket, as a collector that dies.
    void stop();
    // Listens again on the same port.
    bool restart();

  private:
    void serve();
    void hangUpNow(char* chunk, size_t size);
    bool open(int port);

    std::atomic<bool> reading_{true};
    std::atomic<bool> running_{false};
    std::atomic<bool> hangUp_{false};
    long long listener_ = -1;
    std::vector<long long> sockets_; // guarded by mutex_
    std::vector<std::string> data_;  // guarded by mutex_
    std::string greeting_;           // guarded by mutex_
    int ended_ = 0;                  // guarded by mutex_
    std::mutex mutex_;
    std::thread thread_;
    int port_ = 0;
};
