// The listening side: accepts connections on one event loop, keeps their number
// bounded, shuts everything down in order on SIGINT or SIGTERM and reopens the output
// files on SIGHUP.
#pragma once
#include "Connection.h"
#include "Options.h"
#include "Summary.h"

#include <asio.hpp>

#include <memory>
#include <string>
#include <unordered_map>

class Collector : public ConnectionOwner {
  public:
    Collector(asio::io_context& io, const Options& options, InstanceStore& store);
    // Binds and listens, then reports the address on standard error; false with a message.
    bool listen(std::string& error);
    const ConnectionCounts& counts() const { return counts_; }

  private:
    void acceptNext();
    void onAccept(const asio::error_code& error, asio::ip::tcp::socket socket);
    void retryAcceptLater();
    void waitForSignal();
    void onSignal(int number);
    // Makes room for a new connection by ending the one that has been quiet longest.
    void closeIdlest(const char* reason);
    void stop();
    void connectionEnded(Connection& connection, bool rejected) override;

    asio::io_context& io_;
    Options options_;
    InstanceStore& store_;
    asio::ip::tcp::acceptor acceptor_;
    asio::signal_set signals_;
    asio::steady_timer retryTimer_;
    std::unordered_map<Connection*, std::shared_ptr<Connection>> connections_;
    ConnectionCounts counts_;
    bool stopping_ = false;
};
