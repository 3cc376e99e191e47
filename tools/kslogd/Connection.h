// One client connection: reads on the shared event loop, feeds the stream parser and
// hands header, reports and lines to the instance store.
#pragma once
#include "InstanceStore.h"
#include "StreamParser.h"

#include <asio.hpp>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

class Connection;

// Told when a connection ends on its own (the peer closed it, or it was rejected).
class ConnectionOwner {
  public:
    virtual ~ConnectionOwner() = default;
    virtual void connectionEnded(Connection& connection, bool rejected) = 0;
};

class Connection : public std::enable_shared_from_this<Connection>, private StreamEvents {
  public:
    Connection(asio::ip::tcp::socket socket, InstanceStore& store, ConnectionOwner& owner,
               const StreamLimits& limits, std::chrono::seconds headerTimeout);
    void start();
    // Ends the connection soon, on the event loop: a read that already completed is
    // consumed, then what the system received until now, then the owner is told.
    void shutDown(const char* reason);
    std::chrono::steady_clock::time_point lastActivity() const { return lastActivity_; }
    bool hasInstance() const { return instance_ != nullptr; }

  private:
    void readMore();
    void onRead(const asio::error_code& error, std::size_t count);
    // Feeds the first count bytes of the read buffer; false when the stream was rejected.
    bool consume(std::size_t count);
    void drain();
    void end(const char* reason);
    void close();
    void onHeader(const StreamHeader& header) override;
    void onLostReport(std::uint64_t count) override;
    void onLine(const LinePiece& piece) override;

    asio::ip::tcp::socket socket_;
    asio::steady_timer headerTimer_;
    std::chrono::seconds headerTimeout_;
    InstanceStore& store_;
    ConnectionOwner& owner_;
    StreamParser parser_;
    Instance* instance_ = nullptr;
    const char* refusal_ = nullptr; // why the store did not take the header's instance
    const char* shutDownReason_ = nullptr;
    bool closed_ = false;
    std::uint64_t bytesBeforeHeader_ = 0;
    std::string peer_;
    std::chrono::steady_clock::time_point lastActivity_;
    std::array<char, 16384> buffer_;
};
