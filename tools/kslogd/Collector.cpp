// Accepting and stopping. Connections beyond the limit are closed at once rather than
// left in the backlog, so that a client sees the refusal and retries later; accept
// errors such as running out of descriptors pause accepting briefly instead of spinning.
#include "Collector.h"

#include "SystemSetup.h"

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
    signals_.async_wait([this](const asio::error_code& failure, int) {
        if (!failure)
            stop();
    });
    acceptNext();
    return true;
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
        return retryAcceptLater();
    }
    if (connections_.size() >= options_.maxConnections) {
        counts_.refused += 1;
        if (!refusing_)
            std::fprintf(stderr, "kslogd: refusing connections: %zu already open\n",
                         connections_.size());
        refusing_ = true;
        asio::error_code ignored;
        socket.close(ignored);
        return acceptNext();
    }
    refusing_ = false;
    counts_.accepted += 1;
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

void Collector::connectionEnded(Connection& connection, bool rejected) {
    if (rejected)
        counts_.rejected += 1;
    connections_.erase(&connection);
}

void Collector::stop() {
    stopping_ = true;
    asio::error_code ignored;
    acceptor_.close(ignored);
    retryTimer_.cancel();
    for (auto& entry : connections_)
        entry.second->close();
    connections_.clear();
    store_.flushAll();
}
