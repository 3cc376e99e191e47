// The bytes waiting for one destination (standard output or an instance's file), written
// past the C library's buffer so that nothing is lost to a signal, and so that a write
// that fails part way can say how many lines it lost.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class PendingOutput {
  public:
    // More bytes; endsLine when they complete a line.
    void add(const std::string& bytes, bool endsLine);
    std::size_t size() const { return bytes_.size(); }

    // Writes everything to stream's descriptor and forgets it. The result is the number
    // of lines whose end did not reach the destination; on a failure error holds the
    // system's reason.
    std::uint64_t writeTo(std::FILE* stream, std::string& error);
    // Forgets everything unwritten; the lines it held.
    std::uint64_t discard();

  private:
    std::string bytes_;
    std::vector<std::size_t> lineEnds_; // offsets just after each line's last byte
};
