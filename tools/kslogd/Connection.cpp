// A connection's life: header within a time limit, then records until the peer closes.
// Memory per connection is bounded: the read buffer plus the parser's bounds.
#include "Connection.h"

#include "FileName.h"
#include "Saturating.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string peerText(const asio::ip::tcp::socket& socket) {
    asio::error_code error;
    asio::ip::tcp::endpoint peer = socket.remote_endpoint(error);
    if (error)
        return "an unknown peer";
    return peer.address().to_string() + ":" + std::to_string(peer.port());
}

} // namespace

Connection::Connection(asio::ip::tcp::socket socket, InstanceStore& store, ConnectionOwner& owner,
                       const StreamLimits& limits, std::chrono::seconds headerTimeout)
    : socket_(std::move(socket)), headerTimer_(socket_.get_executor()),
      headerTimeout_(headerTimeout), store_(store), owner_(owner), parser_(*this, limits),
      peer_(peerText(socket_)), lastActivity_(std::chrono::steady_clock::now()) {}

void Connection::start() {
    headerTimer_.expires_after(headerTimeout_);
    headerTimer_.async_wait([self = shared_from_this()](const asio::error_code& error) {
        if (!error && !self->closed_ && !self->parser_.headerDone())
            self->end("no header in time");
    });
    readMore();
}

void Connection::readMore() {
    socket_.async_read_some(
        asio::buffer(buffer_),
        [self = shared_from_this()](const asio::error_code& error, std::size_t count) {
            self->onRead(error, count);
        });
}

bool Connection::consume(std::size_t count) {
    if (count > 0)
        lastActivity_ = std::chrono::steady_clock::now();
    if (instance_)
        addSaturating(instance_->counts.bytes, count);
    else
        addSaturating(bytesBeforeHeader_, count);
    bool accepted = parser_.feed(std::string_view(buffer_.data(), count));
    if (instance_)
        store_.flush(*instance_);
    return accepted;
}

// A completed read is always consumed, also one whose completion was queued behind a
// shutdown: the read buffer is reused only after its bytes were handed on.
void Connection::onRead(const asio::error_code& error, std::size_t count) {
    if (closed_)
        return;
    if (!consume(count))
        return end(parser_.rejection());
    if (refusal_)
        return end(refusal_);
    if (shutDownReason_) {
        drain();
        return end(parser_.rejected() ? parser_.rejection() : shutDownReason_);
    }
    if (error)
        return end(parser_.headerDone() ? nullptr : "closed before its header");
    readMore();
}

// Cancelling the pending read makes its handler run soon, with the bytes of a read that
// had already completed; that handler ends the connection.
void Connection::shutDown(const char* reason) {
    if (closed_ || shutDownReason_)
        return;
    shutDownReason_ = reason;
    asio::error_code ignored;
    headerTimer_.cancel();
    socket_.cancel(ignored);
}

void Connection::end(const char* reason) {
    close();
    if (instance_) {
        std::fprintf(stderr, "kslogd: closed: %s %s%s%s\n", instance_->shownName.c_str(),
                     displayText(instance_->uuid).c_str(), reason ? ": " : "",
                     reason ? reason : "");
        store_.detach(*instance_);
    } else {
        std::fprintf(stderr, "kslogd: rejected %s: %s\n", peer_.c_str(), reason ? reason : "");
    }
    owner_.connectionEnded(*this, instance_ == nullptr);
}

void Connection::close() {
    if (closed_)
        return;
    closed_ = true;
    parser_.finish();
    if (instance_)
        store_.flush(*instance_);
    asio::error_code ignored;
    headerTimer_.cancel();
    socket_.close(ignored);
}

// What the system already received for this connection is read before it closes, so that
// a collector stopped right after its clients wrote still stores their last records. Only
// the bytes waiting at that moment are read: a client that keeps sending cannot hold
// the shutdown up.
void Connection::drain() {
    asio::error_code error;
    std::size_t waiting = socket_.available(error);
    socket_.non_blocking(true, error);
    while (!error && waiting > 0 && !parser_.rejected() && !refusal_) {
        std::size_t count = socket_.read_some(
            asio::buffer(buffer_.data(), std::min(waiting, buffer_.size())), error);
        waiting -= std::min(waiting, count);
        consume(count);
    }
}

void Connection::onHeader(const StreamHeader& header) {
    headerTimer_.cancel();
    AttachResult attached = store_.attach(header);
    instance_ = attached.instance;
    if (!instance_) {
        refusal_ = attached.refusal;
        return;
    }
    addSaturating(instance_->counts.bytes, bytesBeforeHeader_);
    std::fprintf(stderr, "kslogd: connected: %s %s from %s\n", instance_->shownName.c_str(),
                 displayText(instance_->uuid).c_str(), peer_.c_str());
}

void Connection::onLostReport(std::uint64_t count) {
    if (instance_)
        addSaturating(instance_->counts.lost, count);
}

void Connection::onLine(const LinePiece& piece) {
    if (instance_)
        store_.writePiece(*instance_, piece);
}
