// Accepting and stopping. When the connection table is full, or the process has no
// descriptor left, the connection that has been quiet longest gives way, so that
// connections that never send anything cannot lock new applications out; a daemon sink
// whose connection was closed connects again at its next record. Other accept errors
// pause accepting briefly instead of spinning.
#include "Collector.h"

#include "Saturating.h"
#include "SystemSetup.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>

namespace {

constexpr auto acceptRetryDelay = std::chrono::milliseconds(100);

std::string endpointText(const asio::ip::tcp::endpoint& endpoint) {
    std::string address = endpoint.address().to_string();
    if (endpoint.address().is_v6())
        address = "[" + address + "]";
    return address + ":" + std::to_string(endpoint.port());
}

bool resolveListenEndpoint(asio::io_context& io, const Options& options,
                           asio::ip::tcp::endpoint& endpoint, asio::error_code& error) {
    asio::ip::address address = asio::ip::make_address(options.host, error);
    if (!error) {
        endpoint = asio::ip::tcp::endpoint(address, options.port);
        return true;
    }
    asio::ip::tcp::resolver resolver(io);
    auto results = resolver.resolve(options.host, std::to_string(options.port), error);
    if (error || results.empty())
        return false;
    endpoint = results.begin()->endpoint();
    return true;
}

} // namespace

Collector::Collector(asio::io_context& io, const Options& options, InstanceStore& store)
    : io_(io), options_(options), store_(store), acceptor_(io), signals_(io), retryTimer_(io) {}

bool Collector::listen(std::string& message) {
    asio::ip::tcp::endpoint endpoint;
    asio::error_code error;
    std::string wanted = options_.host + ":" + std::to_string(options_.port);
    if (!resolveListenEndpoint(io_, options_, endpoint, error)) {
        message = "cannot resolve " + wanted + ": " + error.message();
        return false;
    }
    acceptor_.open(endpoint.protocol(), error);
    if (!error && quickRebindWanted())
        acceptor_.set_option(asio::socket_base::reuse_address(true), error);
    if (!error)
        acceptor_.bind(endpoint, error);
    if (!error)
        acceptor_.listen(asio::socket_base::max_listen_connections, error);
    if (error) {
        message = "cannot listen on " + wanted + ": " + error.message();
        return false;
    }
    std::fprintf(stderr, "kslogd: listening on %s\n",
                 endpointText(acceptor_.local_endpoint(error)).c_str());
    signals_.add(SIGINT, error);
    signals_.add(SIGTERM, error);
    if (int reopen = reopenSignalNumber())
        signals_.add(reopen, error);
    waitForSignal();
    acceptNext();
    return true;
}

void Collector::waitForSignal() {
    signals_.async_wait([this](const asio::error_code& failure, int number) {
        if (!failure)
            onSignal(number);
    });
}

void Collector::onSignal(int number) {
    if (number != 0 && number == reopenSignalNumber()) {
        store_.closeFiles();
        std::fprintf(stderr, "kslogd: output files reopened\n");
        return waitForSignal();
    }
    stop();
}

void Collector::acceptNext() {
    acceptor_.async_accept([this](const asio::error_code& error, asio::ip::tcp::socket socket) {
        onAccept(error, std::move(socket));
    });
}

void Collector::onAccept(const asio::error_code& error, asio::ip::tcp::socket socket) {
    if (stopping_ || error == asio::error::operation_aborted)
        return;
    if (error) {
        std::fprintf(stderr, "kslogd: cannot accept: %s\n", error.message().c_str());
        if (error == asio::error::no_descriptors)
            closeIdlest("no file descriptor left");
        return retryAcceptLater();
    }
    if (connections_.size() >= options_.maxConnections)
        closeIdlest("connection table full");
    addSaturating(counts_.accepted, 1);
    StreamLimits limits;
    auto connection =
        std::make_shared<Connection>(std::move(socket), store_, *this, limits,
                                     std::chrono::seconds(options_.headerTimeoutSeconds));
    connections_.emplace(connection.get(), connection);
    connection->start();
    acceptNext();
}

void Collector::retryAcceptLater() {
    retryTimer_.expires_after(acceptRetryDelay);
    retryTimer_.async_wait([this](const asio::error_code& error) {
        if (!error && !stopping_)
            acceptNext();
    });
}

void Collector::closeIdlest(const char* reason) {
    auto idlest = std::min_element(connections_.begin(), connections_.end(),
                                   [](const auto& a, const auto& b) {
                                       return a.second->lastActivity() < b.second->lastActivity();
                                   });
    if (idlest == connections_.end())
        return;
    addSaturating(counts_.displaced, 1);
    // Out of the table at once, so that it is displaced only once; its read handler
    // keeps it alive until it has ended.
    std::shared_ptr<Connection> connection = std::move(idlest->second);
    connections_.erase(idlest);
    connection->shutDown(reason);
}

void Collector::connectionEnded(Connection& connection, bool rejected) {
    // A displaced connection or one ended by a stop is not counted as rejected.
    if (connections_.erase(&connection) > 0 && rejected && !stopping_)
        addSaturating(counts_.rejected, 1);
}

// Every connection ends through its own read handler, which consumes what was already
// read and then what the system holds for it; the event loop returns when all are done.
void Collector::stop() {
    stopping_ = true;
    asio::error_code ignored;
    acceptor_.close(ignored);
    retryTimer_.cancel();
    signals_.cancel(ignored);
    for (auto& entry : connections_)
        entry.second->shutDown("stopping");
}
